#pragma once

// The titles a spectator board shows, worked out from the record of turns as the sheet holds it:
// the longest winning streak so far, the most turns on court and the most times named at a miss.
// Plain C++: the window feeds it the sheet it has already read, tests feed it tables.

#include "workbook/standings.h"
#include "values/cell_value.h"

#include <array>
#include <vector>

namespace pellix {

// One title: its number and the players (1..12, ascending) who share it. No holders while the
// number is 0.
struct Title {
    int value = 0;
    std::vector<int> holders;
    bool operator==(const Title&) const = default;
};

struct LiveTitles {
    Title longestStreak;  // the longest "N連勝中" any standing has shown so far
    Title mostOnCourt;    // turns on court
    Title mostNamed;      // "C" marks
    bool operator==(const LiveTitles&) const = default;
};

// The record in a sheet as the engine shows it (cells 0-based there, 1-based here).
class ShownRecord {
public:
    explicit ShownRecord(const xls::SheetShown& sheet) : sheet_(sheet) {}

    // The cell's value; Empty for a cell the sheet does not hold.
    xls::CellValue value(int row, int column) const;
    // The cell as shown (fill colour included); null for a cell the sheet does not hold.
    const xls::CellShown* cell(int row, int column) const;
    // B19 as a turn 0..2060: 0 when it holds no such number.
    int lastTurn() const;
    // The entry cells and the position cells, as the standings read them.
    TurnHistory history() const;
    // Turn `turn`'s row: the player in court slot 1..4 (0 where the row names none), and the
    // player marked "C" (0 for nobody).
    std::array<int, 5> court(int turn) const;
    int named(int turn) const;

private:
    const xls::SheetShown& sheet_;
};

// A "C" mark in a turn row. The commit writes "C"; a hand-typed "c" or " C " means the same.
bool isNamedMark(const xls::CellValue& value);

// The titles over turns 1..lastTurn of `record`.
LiveTitles computeLiveTitles(const ShownRecord& record);

}  // namespace pellix
