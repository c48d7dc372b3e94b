#pragma once

// An invisible court slot area over the court picture: it takes clicks and token drops.

#include <QWidget>

namespace pellix {

class MainForm;

class CourtArea : public QWidget {
    Q_OBJECT

public:
    CourtArea(MainForm& form, int index, QWidget* parent);

    int index() const { return index_; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    MainForm& form_;
    int index_;
    bool pressed_ = false;
};

}  // namespace pellix
