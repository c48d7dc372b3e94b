#pragma once

// An invisible court slot area over the court picture: it tells of clicks; the window finds it
// under a dragged token for a drop.

#include <QWidget>

namespace pellix {

class CourtArea : public QWidget {
    Q_OBJECT

public:
    CourtArea(int index, QWidget* parent);

    int index() const { return index_; }

signals:
    // A press and a release of the left button, both on the area.
    void clicked(int index);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int index_;
    bool pressed_ = false;
};

}  // namespace pellix
