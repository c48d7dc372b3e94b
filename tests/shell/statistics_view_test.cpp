// The statistics view on a played evening, offscreen: opened by F9 without blocking the window,
// the table sorted by a column, a player picked for the standings chart, both charts painted, the
// totals over the archived games, and the view following a new read of the workbook.

#include "shell/statistics_view.h"
#include "shell/stats_charts.h"
#include "statistics_support.h"
#include "test_support.h"

#include <QHeaderView>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>

namespace pellix {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kTurns = {"123d........", "12c.4.......", "a2..34......", ".24.a3......",
                                         ".213.4......", "3b1.4.......", "1.2d.3......"};

// Pixels of the picture in `color`, give or take the edges antialiasing softens.
int pixelsOf(const QImage& picture, QColor color) {
    int count = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QColor seen = picture.pixelColor(x, y);
            count += std::abs(seen.red() - color.red()) + std::abs(seen.green() - color.green())
                         + std::abs(seen.blue() - color.blue())
                     < 30;
        }
    return count;
}

std::vector<int> column(const QTableView& table, int index) {
    std::vector<int> values;
    for (int row = 0; row < table.model()->rowCount(); ++row)
        values.push_back(table.model()->index(row, index).data().toInt());
    return values;
}

TEST(StatisticsView, SortsPicksAPlayerAndPaintsBothCharts) {
    testing::ProgramFolder folder;
    testing::writeEvening(folder.dataPath(), {}, kTurns);
    testing::RecordingForm form(folder);
    form.show();
    form.Form_Load();
    ASSERT_EQ(statisticsView(form), nullptr);

    QTest::keyClick(&form, Qt::Key_F9);
    StatisticsView* view = statisticsView(form);
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->isVisible());
    EXPECT_FALSE(view->isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(view->table().lastTurn, 7);
    EXPECT_EQ(view->totals(), std::nullopt) << "no archive folder";
    EXPECT_EQ(column(*view->playersTable, 0), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 10, 11}));
    EXPECT_EQ(view->pickedPlayers(), std::vector<int>{1});

    // Sorted by turns on court, down, by a click on its header (twice when the first sorts up).
    QHeaderView& header = *view->playersTable->horizontalHeader();
    QTest::mouseClick(header.viewport(), Qt::LeftButton, {}, QPoint(header.sectionViewportPosition(2) + 5, 5));
    if (header.sortIndicatorOrder() == Qt::AscendingOrder)
        QTest::mouseClick(header.viewport(), Qt::LeftButton, {}, QPoint(header.sectionViewportPosition(2) + 5, 5));
    EXPECT_EQ(column(*view->playersTable, 2), (std::vector<int>{6, 6, 5, 4, 4, 3, 0, 0, 0, 0}));
    EXPECT_EQ(view->pickedPlayers(), std::vector<int>{1}) << "the pick stays with its player";

    // Player 4 (on court 3 times, in the sixth row) picked: his line in his colour.
    const QTableView& table = *view->playersTable;
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, table.visualRect(table.model()->index(5, 1)).center());
    EXPECT_EQ(view->pickedPlayers(), std::vector<int>{4});
    EXPECT_EQ(view->standingChart->players(), std::vector<int>{4});
    view->resize(1000, 700);
    const QImage standings = view->standingChart->grab().toImage();
    EXPECT_GT(pixelsOf(standings, playerColor(4)), 100);
    EXPECT_LT(pixelsOf(standings, playerColor(1)), 20) << "only the picked player's line";
    const QImage counts = view->countChart->grab().toImage();
    EXPECT_GT(pixelsOf(counts, QColor(52, 101, 164)), 500) << "the on-court bars";
    EXPECT_GT(pixelsOf(counts, QColor(204, 0, 0)), 100) << "the C bars";

    // A new read of the workbook (as after a turn) reaches the open view; the pick stays.
    folder.setCell(cellmap::kTurnRow, cellmap::kTurnColumn, xls::CellValue::ofNumber(5));
    form.OLEWorkSheet->CreateLink(folder.dataPath());
    const std::string shortened = testing::readFile(folder.dataPath());
    EXPECT_EQ(view->table().lastTurn, 5);
    EXPECT_EQ(view->pickedPlayers(), std::vector<int>{4});
    form.close();  // (its button opens it in the real window of the statistics screenshot)
    EXPECT_EQ(testing::readFile(folder.dataPath()), shortened);
}

TEST(StatisticsView, ShowsTheTotalsOverTheArchiveAndNamesAGameItCannotRead) {
    testing::ProgramFolder folder;
    testing::writeEvening(folder.dataPath(), {}, kTurns);
    fs::create_directory(folder / "archive");
    fs::copy_file(folder.dataPath(), folder / "archive" / "data-20261201-210000.xls");
    testing::writeFile(folder / "archive" / "data-20261202-210000.xls", "not a workbook");
    const std::string before = testing::readFile(folder.dataPath());
    testing::RecordingForm form(folder);
    form.show();
    form.Form_Load();
    QTest::keyClick(&form, Qt::Key_F9);
    StatisticsView& view = *statisticsView(form);
    QTRY_COMPARE(view.totals() ? view.totals()->games : 0, 2);
    EXPECT_FALSE(view.readingArchive());
    EXPECT_EQ(view.totals()->turns, 14);
    ASSERT_EQ(view.totals()->skipped.size(), 1u);
    EXPECT_TRUE(view.skippedNote->isVisible());
    EXPECT_TRUE(view.skippedNote->text().contains(QStringLiteral("data-20261202-210000.xls")))
        << view.skippedNote->text().toStdString();
    EXPECT_EQ(view.totalsTable->model()->rowCount(), 10);
    EXPECT_TRUE(view.summary->text().contains(QStringLiteral("通算 2 試合 14 節")))
        << view.summary->text().toStdString();

    // A game archived while the view is open (a reset) is read at the next refresh.
    fs::copy_file(folder.dataPath(), folder / "archive" / "data-20261203-210000.xls");
    view.refresh();
    QTRY_COMPARE(view.totals()->games, 3);
    // The owner puts a good copy in place of the one that could not be read: it is read again.
    fs::copy_file(folder.dataPath(), folder / "archive" / "data-20261202-210000.xls",
                  fs::copy_options::overwrite_existing);
    view.refresh();
    QTRY_COMPARE(view.totals()->games, 4);
    EXPECT_TRUE(view.totals()->skipped.empty());
    EXPECT_FALSE(view.skippedNote->isVisible());

    // The report from the window: written where the scorer chose, data.xls untouched.
    view.chooseReportFile = [&] { return folder.path() / "report.pdf"; };
    view.cmdReport->click();
    EXPECT_TRUE(view.reportNote->text().startsWith(QStringLiteral("保存しました")))
        << view.reportNote->text().toStdString();
    EXPECT_EQ(testing::readFile(folder.path() / "report.pdf").substr(0, 5), "%PDF-");
    view.chooseReportFile = [&] { return folder.path() / "nowhere" / "report.csv"; };
    view.cmdReport->click();
    EXPECT_TRUE(view.reportNote->text().startsWith(QStringLiteral("保存できませんでした: cannot save report.csv")))
        << view.reportNote->text().toStdString();
    EXPECT_EQ(testing::readFile(folder.dataPath()), before);
    form.close();
}

}  // namespace
}  // namespace pellix
