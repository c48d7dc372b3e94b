#pragma once

// An invisible court slot area over the court picture: it takes clicks; the window finds it
// under a dragged token for a drop.

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

private:
    MainForm& form_;
    int index_;
    bool pressed_ = false;
};

}  // namespace pellix
