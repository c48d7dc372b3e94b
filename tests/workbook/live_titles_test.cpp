// The live titles over small records of turns, written as a sheet shows them.

#include "workbook/live_titles.h"

#include "score_test_support.h"

#include "workbook/cell_map.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>

namespace pellix {
namespace {

using testing::Record;
using testing::sheetOf;
using xls::CellValue;

// Players 1..6 take turns; player 2 stays on court throughout.
const std::vector<std::string> kEvening = {"123d........", "12c.4.......", "a2..34......", ".24.a3......",
                                           ".213.4......"};

TEST(LiveTitles, AgreeWithRecordsOfKnownAnswers) {
    const std::tuple<const char*, Record, LiveTitles> cases[] = {
        {"nothing recorded", {CellValue::ofNumber(0), kEvening, {}}, {}},
        // After a step back the turns beyond B19 are left over from before: they do not count.
        {"B19 ends the record", {CellValue::ofNumber(3), kEvening, {}}, {{2, {1, 2}}, {3, {1, 2}}, {1, {1, 3, 4}}}},
        // Player 7's longest run is not his last one; it ties with player 8's.
        {"longest run",
         {CellValue::ofNumber(7), {"......1.....", "......1*....", "......12....", "......12....", ".......2....",
                                   "......12....", "......1....."}, {}},
         {{3, {7, 8}}, {6, {7}}, {1, {8}}}},
        // What the commit never writes: a position typed as text is no place on court, a hand-typed
        // " c " names the player, "CC" does not.
        {"cells typed by hand",
         {CellValue::ofNumber(2),
          {"1...........", "1..........."},
          {{{cellmap::turnRow(1), cellmap::positionColumn(2)}, CellValue::ofText("1")},
           {{cellmap::turnRow(2), cellmap::positionColumn(2)}, CellValue::ofText("1")},
           {{cellmap::turnRow(1), cellmap::markColumn(3)}, CellValue::ofText(" c ")},
           {{cellmap::turnRow(2), cellmap::markColumn(4)}, CellValue::ofText("CC")}}},
         {{1, {1}}, {2, {1}}, {1, {3}}}},
        {"B19 that is no number", {CellValue::ofText("five"), kEvening, {}}, {}},
        // B19 beyond the last turn that can be recorded.
        {"B19 too large", {CellValue::ofNumber(99999), {"1..........."}, {}}, {{0, {}}, {1, {1}}, {0, {}}}},
    };
    for (const auto& [name, record, expected] : cases) {
        const xls::SheetShown sheet = sheetOf(record);
        EXPECT_EQ(computeLiveTitles(ShownRecord(sheet)), expected) << name;
    }
}

}  // namespace
}  // namespace pellix
