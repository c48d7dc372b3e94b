#pragma once

// The statistics view: a window of its own beside the main window (F9, or the 統計 button right
// of the sheet view) with the players' table, sortable by any column, and two charts: the
// standing after every turn of the players picked in the table, and turns on court and "C" marks
// per player. Where the program folder has archive/, the totals over the archived games and the
// current one are shown below; an archived game that cannot be read is named and left out. The
// report (PDF or CSV) is written from here as well.
//
// It reads what the main window has already read: the sheet view's snapshot, again whenever the
// sheet view reads the workbook. The table of a 2060-turn record takes a few milliseconds; the
// archived games are read on a worker thread, each file once. It is not modal and never writes
// data.xls.

#include "shell/report.h"
#include "workbook/game_totals.h"
#include "workbook/player_stats.h"

#include <QFutureWatcher>
#include <QWidget>

#include <cstdint>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <vector>

class QLabel;
class QPushButton;
class QStandardItemModel;
class QTableView;

namespace pellix {

class SheetModel;
class SheetView;
class StatsChart;

class StatisticsView : public QWidget {
    Q_OBJECT

public:
    StatisticsView(const SheetModel& sheet, std::filesystem::path programFolder, QWidget* parent = nullptr);
    ~StatisticsView() override;

    // Reads the sheet again (done on its own whenever the sheet view reads the workbook while
    // this view is open) and looks for archived games not read yet.
    void refresh();

    // Writes the report of what the view shows to `file` (.pdf or .csv); the message says where
    // it went, or why not.
    bool saveReport(const std::filesystem::path& file);
    // Asks where to write the report; a test replaces it. Empty answer: nothing is written.
    std::function<std::filesystem::path()> chooseReportFile;

    const StatsTable& table() const { return table_; }
    const std::optional<GamesTotals>& totals() const { return totals_; }
    // The players whose standings the chart shows: the rows picked in the table.
    std::vector<int> pickedPlayers() const;
    // Archived games still being read.
    bool readingArchive() const { return reader_.isRunning(); }
    ReportContent reportContent() const;

    QTableView* playersTable = nullptr;  // "statsTable"
    QTableView* totalsTable = nullptr;   // "totalsTable"
    StatsChart* standingChart = nullptr;
    StatsChart* countChart = nullptr;
    QLabel* summary = nullptr;      // the turns recorded, the totals' games
    QLabel* skippedNote = nullptr;  // the archived games left out
    QLabel* reportNote = nullptr;   // where the last report went
    QPushButton* cmdReport = nullptr;

signals:
    void totalsChanged();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fillPlayers();
    void fillTotals();
    void readArchive();
    void archiveRead();
    void pickedChanged();

    const SheetModel& sheet_;
    std::filesystem::path programFolder_;
    StatsTable table_;
    std::optional<GamesTotals> totals_;
    // Each archived file as read, with its size and time then: read again only when they change
    // (the owner replaced a file that could not be read).
    struct ReadGame {
        std::filesystem::file_time_type written;
        std::uintmax_t size = 0;
        ArchivedGame game;
    };
    std::map<std::filesystem::path, ReadGame> archived_;
    bool readBefore(const std::filesystem::path& file) const;
    QFutureWatcher<std::vector<ReadGame>> reader_;
    bool readAgain_ = false;
    QStandardItemModel* players_ = nullptr;
    QStandardItemModel* totalsModel_ = nullptr;
    QWidget* totalsPart_ = nullptr;
};

// The 統計 button beside `sheet` and F9 on `window`, and the view they open (made on first use)
// on what the sheet view shows and the program folder's archive.
void installStatisticsView(QWidget& window, SheetView& sheet, const std::filesystem::path& programFolder);
// The window's view; null until first opened.
StatisticsView* statisticsView(const QWidget& window);

}  // namespace pellix
