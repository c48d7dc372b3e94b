#include "shell/statistics_view.h"

#include "shell/sheet_view.h"
#include "shell/stats_charts.h"

#include <QEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <stdexcept>

namespace pellix {

namespace {

QStandardItem* numberItem(int number) {
    auto* item = new QStandardItem;
    item->setData(number, Qt::DisplayRole);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    item->setEditable(false);
    return item;
}

QStandardItem* textItem(const std::string& text) {
    auto* item = new QStandardItem(QString::fromStdString(text));
    item->setEditable(false);
    return item;
}

QTableView* newTable(QStandardItemModel* model, const QString& name, QWidget* parent) {
    auto* table = new QTableView(parent);
    table->setObjectName(name);
    table->setModel(model);
    table->setSortingEnabled(true);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    return table;
}

// Keeps the 統計 button just right of the sheet view, wherever the layout puts the sheet view.
class ButtonBesideSheet : public QObject {
public:
    ButtonBesideSheet(QWidget* sheet, QPushButton* button) : QObject(button), sheet_(sheet), button_(button) {
        sheet->installEventFilter(this);
        place();
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == sheet_ && (event->type() == QEvent::Resize || event->type() == QEvent::Move)) place();
        return false;
    }

private:
    void place() {
        const QRect sheet = sheet_->geometry();
        const int left = sheet.right() + 8;
        const int width = std::max(48, button_->parentWidget()->width() - left - 8);
        button_->setGeometry(left, sheet.top(), width, 32);
    }

    QWidget* sheet_;
    QPushButton* button_;
};

}  // namespace

StatisticsView::StatisticsView(const SheetModel& sheet, std::filesystem::path programFolder, QWidget* parent)
    : QWidget(parent, Qt::Window), sheet_(sheet), programFolder_(std::move(programFolder)) {
    setObjectName(QStringLiteral("StatisticsView"));
    setWindowTitle(QStringLiteral("Pellix 統計"));
    setFont(QFont(QStringLiteral("IPAPGothic"), 10));

    players_ = new QStandardItemModel(0, 7, this);
    players_->setHorizontalHeaderLabels(statsColumnTitles());
    playersTable = newTable(players_, QStringLiteral("statsTable"), this);
    playersTable->setSelectionMode(QAbstractItemView::ExtendedSelection);
    playersTable->setToolTip(QStringLiteral("選んだ選手の状況がグラフに出ます (Ctrl で複数)"));
    playersTable->sortByColumn(0, Qt::AscendingOrder);
    connect(playersTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &StatisticsView::pickedChanged);

    standingChart = new StatsChart(StatsChart::Kind::Standings, this);
    standingChart->setTable(&table_);
    countChart = new StatsChart(StatsChart::Kind::Counts, this);
    countChart->setTable(&table_);

    summary = new QLabel(this);
    summary->setObjectName(QStringLiteral("statsSummary"));

    totalsModel_ = new QStandardItemModel(0, 7, this);
    QStringList totalsTitles = statsColumnTitles();
    totalsTitles[0] = QStringLiteral("選手");
    totalsTitles[1] = QStringLiteral("試合");
    totalsModel_->setHorizontalHeaderLabels(totalsTitles);
    totalsPart_ = new QWidget(this);
    totalsTable = newTable(totalsModel_, QStringLiteral("totalsTable"), totalsPart_);
    totalsTable->sortByColumn(2, Qt::DescendingOrder);
    skippedNote = new QLabel(totalsPart_);
    skippedNote->setObjectName(QStringLiteral("skippedNote"));
    skippedNote->setWordWrap(true);
    skippedNote->setStyleSheet(QStringLiteral("color: #a00000"));
    auto* totalsLayout = new QVBoxLayout(totalsPart_);
    totalsLayout->setContentsMargins(0, 0, 0, 0);
    totalsLayout->addWidget(new QLabel(QStringLiteral("通算 (保存された試合と今回の試合)"), totalsPart_));
    totalsLayout->addWidget(totalsTable);
    totalsLayout->addWidget(skippedNote);
    totalsPart_->hide();

    cmdReport = new QPushButton(QStringLiteral("レポートを保存…"), this);
    cmdReport->setObjectName(QStringLiteral("cmdReport"));
    cmdReport->setToolTip(QStringLiteral("A4 の PDF (.pdf) か、表だけの CSV (.csv) を書きます"));
    reportNote = new QLabel(this);
    reportNote->setObjectName(QStringLiteral("reportNote"));
    connect(cmdReport, &QPushButton::clicked, this, [this] {
        if (chooseReportFile) {
            if (const std::filesystem::path file = chooseReportFile(); !file.empty()) saveReport(file);
            return;
        }
        // Modal to this window only: the main window goes on recording while the box is open.
        auto* dialog = new QFileDialog(this, QStringLiteral("レポートの保存"),
                                       QString::fromStdString((programFolder_ / "report.pdf").string()),
                                       QStringLiteral("PDF (*.pdf);;CSV (*.csv)"));
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setWindowModality(Qt::WindowModal);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(dialog, &QFileDialog::fileSelected, this,
                [this](const QString& file) { saveReport(file.toStdString()); });
        dialog->open();
    });

    auto* charts = new QSplitter(Qt::Vertical, this);
    charts->addWidget(standingChart);
    charts->addWidget(countChart);
    auto* middle = new QSplitter(Qt::Horizontal, this);
    middle->addWidget(playersTable);
    middle->addWidget(charts);
    middle->setStretchFactor(1, 1);
    middle->setSizes({450, 650});
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(cmdReport);
    bottom->addWidget(reportNote, 1);
    auto* parts = new QSplitter(Qt::Vertical, this);
    parts->addWidget(middle);
    parts->addWidget(totalsPart_);
    parts->setStretchFactor(0, 1);
    parts->setSizes({470, 230});
    auto* whole = new QVBoxLayout(this);
    whole->addWidget(summary);
    whole->addWidget(parts, 1);
    whole->addLayout(bottom);
    resize(1100, 760);

    connect(&sheet_, &QAbstractItemModel::modelReset, this, [this] {
        if (isVisible()) refresh();
    });
    connect(&reader_, &QFutureWatcher<std::vector<ReadGame>>::finished, this, &StatisticsView::archiveRead);
}

StatisticsView::~StatisticsView() {
    reader_.waitForFinished();
}

void StatisticsView::showEvent(QShowEvent* event) {
    refresh();
    QWidget::showEvent(event);
}

void StatisticsView::refresh() {
    table_ = computeStats(ShownRecord(sheet_.sheet()));
    fillPlayers();
    readArchive();
}

void StatisticsView::fillPlayers() {
    std::vector<int> picked = pickedPlayers();
    const QSignalBlocker quiet(playersTable->selectionModel());
    players_->removeRows(0, players_->rowCount());
    for (const PlayerStats& stats : table_.players)
        players_->appendRow({numberItem(stats.player), textItem(stats.name), numberItem(stats.onCourt),
                             numberItem(stats.named), numberItem(stats.lostAtOnce), numberItem(stats.longestStreak),
                             numberItem(stats.longestWait)});
    const QHeaderView& header = *playersTable->horizontalHeader();
    players_->sort(header.sortIndicatorSection(), header.sortIndicatorOrder());

    std::erase_if(picked, [this](int player) {
        return std::ranges::find(table_.players, player, &PlayerStats::player) == table_.players.end();
    });
    if (picked.empty() && !table_.players.empty()) picked.push_back(table_.players.front().player);
    QItemSelection selection;
    for (int row = 0; row < players_->rowCount(); ++row)
        if (std::ranges::count(picked, players_->item(row, 0)->data(Qt::DisplayRole).toInt()))
            selection.select(players_->index(row, 0), players_->index(row, players_->columnCount() - 1));
    playersTable->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    standingChart->setPlayers(picked);
    countChart->update();
    summary->setText(QStringLiteral("第 %1 節まで記録　選手 %2 人").arg(table_.lastTurn).arg(table_.players.size()));
}

std::vector<int> StatisticsView::pickedPlayers() const {
    std::vector<int> picked;
    for (const QModelIndex& index : playersTable->selectionModel()->selectedRows(0))
        picked.push_back(index.data(Qt::DisplayRole).toInt());
    std::ranges::sort(picked);
    return picked;
}

void StatisticsView::pickedChanged() {
    standingChart->setPlayers(pickedPlayers());
}

void StatisticsView::readArchive() {
    std::error_code error;
    if (!std::filesystem::is_directory(archiveFolder(programFolder_), error)) {
        totals_.reset();
        totalsPart_->hide();
        emit totalsChanged();
        return;
    }
    totalsPart_->show();
    if (reader_.isRunning()) {
        readAgain_ = true;
        fillTotals();
        return;
    }
    std::vector<std::filesystem::path> unread;
    for (const auto& file : archivedGameFiles(programFolder_))
        if (!readBefore(file)) unread.push_back(file);
    if (!unread.empty()) {
        reader_.setFuture(QtConcurrent::run([unread] {
            std::vector<ReadGame> games;
            for (const auto& file : unread) {
                std::error_code error;
                const auto written = std::filesystem::last_write_time(file, error);
                const auto size = std::filesystem::file_size(file, error);
                games.push_back({written, size, readArchivedGame(file)});
            }
            return games;
        }));
    }
    fillTotals();
}

bool StatisticsView::readBefore(const std::filesystem::path& file) const {
    const auto found = archived_.find(file);
    std::error_code error;
    return found != archived_.end() && found->second.written == std::filesystem::last_write_time(file, error)
           && found->second.size == std::filesystem::file_size(file, error);
}

void StatisticsView::archiveRead() {
    for (ReadGame& read : reader_.result()) archived_[read.game.file] = std::move(read);
    if (std::exchange(readAgain_, false)) {
        readArchive();
    } else {
        fillTotals();
    }
}

void StatisticsView::fillTotals() {
    std::vector<ArchivedGame> games;
    for (const auto& file : archivedGameFiles(programFolder_))
        if (const auto found = archived_.find(file); found != archived_.end()) games.push_back(found->second.game);
    totals_ = totalsOver(games, table_);

    totalsModel_->removeRows(0, totalsModel_->rowCount());
    for (const PlayerTotals& player : totals_->players)
        totalsModel_->appendRow({textItem(player.name), numberItem(player.games), numberItem(player.onCourt),
                                 numberItem(player.named), numberItem(player.lostAtOnce),
                                 numberItem(player.longestStreak), numberItem(player.longestWait)});
    const QHeaderView& header = *totalsTable->horizontalHeader();
    totalsModel_->sort(header.sortIndicatorSection(), header.sortIndicatorOrder());

    QStringList skipped;
    for (const ArchivedGame& game : totals_->skipped)
        skipped << QStringLiteral("読めないため数えていません: %1").arg(QString::fromStdString(game.failure));
    if (reader_.isRunning()) skipped << QStringLiteral("保存された試合を読んでいます…");
    skippedNote->setText(skipped.join(QLatin1Char('\n')));
    skippedNote->setVisible(!skipped.isEmpty());
    summary->setText(QStringLiteral("第 %1 節まで記録　選手 %2 人　　通算 %3 試合 %4 節")
                         .arg(table_.lastTurn)
                         .arg(table_.players.size())
                         .arg(totals_->games)
                         .arg(totals_->turns));
    emit totalsChanged();
}

ReportContent StatisticsView::reportContent() const {
    return {QDate::currentDate(), table_, computeLiveTitles(ShownRecord(sheet_.sheet())), totals_};
}

bool StatisticsView::saveReport(const std::filesystem::path& file) {
    try {
        writeReport(file, reportContent());
    } catch (const std::exception& failure) {
        reportNote->setText(QStringLiteral("保存できませんでした: %1").arg(QString::fromStdString(failure.what())));
        return false;
    }
    reportNote->setText(QStringLiteral("保存しました: %1").arg(QString::fromStdString(file.string())));
    return true;
}

namespace {

// Opens the view, or brings it to the front.
void openStatisticsView(QWidget& window, const SheetModel& sheet, const std::filesystem::path& programFolder) {
    StatisticsView* view = statisticsView(window);
    if (!view) view = new StatisticsView(sheet, programFolder, &window);
    view->show();
    view->raise();
    view->activateWindow();
}

}  // namespace

void installStatisticsView(QWidget& form, SheetView& sheet, const std::filesystem::path& programFolder) {
    auto* button = new QPushButton(QStringLiteral("統計"), &form);
    button->setObjectName(QStringLiteral("cmdStats"));
    button->setToolTip(QStringLiteral("選手ごとの成績とグラフ、レポートの保存 (F9)"));
    // The scoring keys go to the decide button and the turn box, never here.
    button->setFocusPolicy(Qt::NoFocus);
    new ButtonBesideSheet(&sheet, button);
    const auto open = [&form, &sheet, programFolder] { openStatisticsView(form, sheet.sheetModel(), programFolder); };
    QObject::connect(button, &QPushButton::clicked, &form, open);
    auto* key = new QShortcut(QKeySequence(Qt::Key_F9), &form);
    QObject::connect(key, &QShortcut::activated, &form, open);
}

StatisticsView* statisticsView(const QWidget& form) {
    return form.findChild<StatisticsView*>(QStringLiteral("StatisticsView"), Qt::FindDirectChildrenOnly);
}

}  // namespace pellix
