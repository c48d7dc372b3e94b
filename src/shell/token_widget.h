#pragma once

// A player or placeholder token: a picture box showing its picture scaled to the token. The
// pointer on a token is only told (pressed, moved, released): the window moves tokens itself
// inside the window: no drag of the window system, and so no loop of its own that a turn's close
// could run inside.

#include <QLabel>
#include <QPainter>
#include <QPixmap>

namespace pellix {

// The plain face of a player without a picture, filling `token`: its number large, its name small.
void paintPlainFace(QPainter& painter, const QRect& token, int number, const QString& name);

class TokenWidget : public QLabel {
    Q_OBJECT

public:
    TokenWidget(int index, QWidget* parent);

    int index() const { return index_; }
    bool draggable() const;

    void setPicture(const QPixmap& picture);
    const QPixmap& picture() const { return picture_; }
    // What a player token shows when it has no picture: a plain face with its number and name.
    void setPlainFace(int number, const QString& name);
    // The key that chooses this player for a substitution, shown in a corner; 0 for none.
    void setKeyLetter(char letter);
    // A token marked as the player named at a miss: a frame in the marking colour.
    void setMarked(bool marked);
    bool marked() const { return marked_; }

signals:
    // The left button pressed on the token at `global`, `inToken` from the token's corner.
    void pressed(int token, QPoint global, QPoint inToken);
    // The pointer moved with `buttons` held; the token that took the press hears of every move
    // until the release, wherever it goes.
    void pointerMoved(QPoint global, Qt::MouseButtons buttons);
    void released(QPoint global);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void showScaled();

    int index_;
    QPixmap picture_;
    int plainNumber_ = 0;  // 0: no plain face (placeholders stay blank)
    QString plainName_;
    bool marked_ = false;
    char keyLetter_ = 0;
};

}  // namespace pellix
