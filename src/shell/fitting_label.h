#pragma once

// A label of one line whose text is always seen whole or said whole: a text too wide for the label
// is drawn a little smaller, and past the smallest size shortened with "…", the whole text then in
// its tool-tip. text() stays the whole text; what is drawn is fitted() of it.

#include <QFont>
#include <QLabel>
#include <QString>

namespace pellix {

class FittingLabel : public QLabel {
    Q_OBJECT

public:
    using QLabel::QLabel;

    struct Fitted {
        QFont font;
        QString text;
        bool shortened = false;
    };
    // The font and text drawn in the label's room as it is now.
    Fitted fitted() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
};

}  // namespace pellix
