#pragma once

// Every player's standing after a turn, worked out from the history of turn rows alone. Plain
// C++: the commit feeds it the cells it reads, tests feed it tables.

#include "workbook/xls/cell_value.h"

#include <cstdint>
#include <functional>
#include <string>

namespace pellix {

// How the commit compares a position or entry cell. A number compares by value and an empty cell
// counts as 0; text and error values count as not greater than 0, so a stray note typed into the
// sheet never puts a player on court or into the game.
bool greaterThanZero(const xls::CellValue& value);
// An empty cell, or one holding the empty text.
bool isEmptyCell(const xls::CellValue& value);

inline constexpr int kNoColor = 0;
inline constexpr int kWhite = 2;        // the reset colour of the status area
inline constexpr int kLightGreen = 35;  // on court in slot 1 or 2
inline constexpr int kTan = 40;         // on court in slot 3 or 4
inline constexpr int kRose = 38;        // lost at once

struct Standing {
    bool takesPart = false;
    std::string text;          // column D of the status row
    int rowColor = kNoColor;   // B..D: kLightGreen or kTan for a player on court
    int lostColor = kNoColor;  // C..D: kRose for a player who lost at once
    std::int16_t order = -2;   // the bench ordering key
};

extern const char* const kLostAtOnce;  // "瞬　殺　　"

struct TurnHistory {
    // The entry cell of player 1..12.
    std::function<xls::CellValue(int player)> entry;
    // The position cell of player 1..12 in turn t (row t + 40; t may be -2..turn).
    std::function<xls::CellValue(int turn, int player)> position;
};

// The player's winning streak in `turn`: the turns just before it that he spent on court without
// a break (the "N" of "N連勝中"); 0 when he is off court in `turn` or came on in it.
int winningStreak(int turn, int player, const TurnHistory& history);

// The standing of one player after `turn` has been written.
Standing computeStanding(int turn, int player, const TurnHistory& history);

}  // namespace pellix
