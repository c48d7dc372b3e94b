#pragma once

// A player or placeholder token: a picture box showing its picture scaled to the token. Tokens
// 1..12 start a drag the moment the mouse is pressed on them; every token receives drops.

#include <QLabel>
#include <QPixmap>

#include <optional>

class QDropEvent;
class QMimeData;

namespace pellix {

class MainForm;

// The private MIME type of a dragged token; the data is the token number in decimal.
inline constexpr const char* kTokenMimeType = "application/x-pellix-token";
// Names the window a token was dragged from, so that a drag from another running copy of the
// program, which offers the same type, is not taken for one of ours.
inline constexpr const char* kTokenOriginMimeType = "application/x-pellix-token-origin";

// Whether one of our token drags is running.
bool tokenDragInProgress();

// What a drag of `token` out of `form` carries.
QMimeData* tokenMimeData(const MainForm& form, int token);
// The number of the token a drag carries, when it is a player token dragged out of `form`.
std::optional<int> draggedToken(const QDropEvent& event, const MainForm& form);

class TokenWidget : public QLabel {
    Q_OBJECT

public:
    TokenWidget(MainForm& form, int index, QWidget* parent);

    int index() const { return index_; }
    const MainForm& form() const { return form_; }
    bool draggable() const;

    void setPicture(const QPixmap& picture);
    const QPixmap& picture() const { return picture_; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void dragPassesOver(QDragMoveEvent* event);
    void showScaled();

    MainForm& form_;
    int index_;
    QPixmap picture_;
};

}  // namespace pellix
