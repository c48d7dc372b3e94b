#pragma once

// The recorded turns, latest first, each with its four players by slot and who was named; the
// scorer picks a turn and who really missed in it (one of its four players, or nobody).

#include "workbook/live_titles.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <utility>

class QComboBox;
class QTableWidget;

namespace pellix {

class CorrectionDialog : public QDialog {
    Q_OBJECT

public:
    // `name` gives a player's name as the sheet shows it.
    CorrectionDialog(const ShownRecord& record, const std::function<QString(int player)>& name,
                     QWidget* parent = nullptr);

    // The turn chosen and who missed in it (0: nobody); nothing before a turn is chosen.
    std::optional<std::pair<int, int>> choice() const;

private:
    void turnChosen();

    const ShownRecord& record_;
    std::function<QString(int)> name_;
    QTableWidget* turns_ = nullptr;
    QComboBox* missed_ = nullptr;
};

}  // namespace pellix
