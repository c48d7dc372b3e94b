#include "shell/correction_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace pellix {

namespace {

QString playerText(int player, const std::function<QString(int)>& name) {
    return player == 0 ? QString() : QStringLiteral("%1 %2").arg(player).arg(name(player));
}

}  // namespace

CorrectionDialog::CorrectionDialog(const ShownRecord& record, const std::function<QString(int)>& name,
                                   QWidget* parent)
    : QDialog(parent), record_(record), name_(name) {
    setObjectName(QStringLiteral("correction"));
    setWindowTitle(QStringLiteral("記録の訂正"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("訂正する節を選び、ミスした選手を選んでください。"), this));

    const int last = record.lastTurn();
    turns_ = new QTableWidget(last, 6, this);
    turns_->setObjectName(QStringLiteral("turns"));
    turns_->setHorizontalHeaderLabels(
        {QStringLiteral("節"), QStringLiteral("コート 1"), QStringLiteral("コート 2"), QStringLiteral("コート 3"),
         QStringLiteral("コート 4"), QStringLiteral("ミス (C)")});
    turns_->verticalHeader()->hide();
    turns_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    turns_->setSelectionBehavior(QAbstractItemView::SelectRows);
    turns_->setSelectionMode(QAbstractItemView::SingleSelection);
    for (int row = 0; row < last; ++row) {
        const int turn = last - row;  // the latest first: a mistake is mostly noticed soon
        const std::array<int, 5> court = record.court(turn);
        auto* number = new QTableWidgetItem(QString::number(turn));
        number->setData(Qt::UserRole, turn);
        turns_->setItem(row, 0, number);
        for (int slot = 1; slot <= 4; ++slot)
            turns_->setItem(row, slot, new QTableWidgetItem(playerText(court[static_cast<std::size_t>(slot)], name)));
        turns_->setItem(row, 5, new QTableWidgetItem(playerText(record.named(turn), name)));
    }
    turns_->resizeColumnsToContents();
    layout->addWidget(turns_);

    auto* missedRow = new QHBoxLayout;
    missedRow->addWidget(new QLabel(QStringLiteral("ミスした選手:"), this));
    missed_ = new QComboBox(this);
    missed_->setObjectName(QStringLiteral("missed"));
    missedRow->addWidget(missed_, 1);
    layout->addLayout(missedRow);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("訂正する"));
    buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    connect(turns_, &QTableWidget::itemSelectionChanged, this, [this, buttons] {
        turnChosen();
        buttons->button(QDialogButtonBox::Ok)->setEnabled(choice().has_value());
    });
    resize(640, 420);
}

void CorrectionDialog::turnChosen() {
    missed_->clear();
    const QList<QTableWidgetItem*> chosen = turns_->selectedItems();
    if (chosen.isEmpty()) return;
    const int turn = turns_->item(chosen.front()->row(), 0)->data(Qt::UserRole).toInt();
    const std::array<int, 5> court = record_.court(turn);
    missed_->addItem(QStringLiteral("なし (通常ミス)"), 0);
    for (int slot = 1; slot <= 4; ++slot) {
        const int player = court[static_cast<std::size_t>(slot)];
        if (player != 0) missed_->addItem(playerText(player, name_), player);
    }
    const int named = record_.named(turn);
    missed_->setCurrentIndex(std::max(0, missed_->findData(named)));
}

std::optional<std::pair<int, int>> CorrectionDialog::choice() const {
    const QList<QTableWidgetItem*> chosen = turns_->selectedItems();
    if (chosen.isEmpty() || missed_->count() == 0) return std::nullopt;
    return std::pair(turns_->item(chosen.front()->row(), 0)->data(Qt::UserRole).toInt(),
                     missed_->currentData().toInt());
}

}  // namespace pellix
