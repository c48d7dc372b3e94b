#pragma once

// Every player's standing after a turn, worked out from the history of turn rows alone. Plain
// C++: the commit feeds it the cells it reads, tests feed it tables.

#include "workbook/cell_map.h"
#include "values/cell_value.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace pellix {

// How the commit compares a position or entry cell. A number compares by value and an empty cell
// counts as 0; text and error values count as not greater than 0, so a stray note typed into the
// sheet never puts a player on court or into the game.
bool greaterThanZero(const xls::CellValue& value);
// An empty cell, or one holding the empty text.
bool isEmptyCell(const xls::CellValue& value);
// A number, an empty cell (0) or a text that reads wholly as a number; nothing else.
std::optional<double> asNumber(const xls::CellValue& value);
// The last recorded turn as the program reads B19 everywhere: 0..2060, 0 when B19 holds no number.
int lastTurnIn(const xls::CellValue& turnCell);

inline constexpr int kNoColor = 0;
inline constexpr int kWhite = 2;        // the reset colour of the status area
inline constexpr int kLightGreen = 35;  // on court in slot 1 or 2
inline constexpr int kTan = 40;         // on court in slot 3 or 4
inline constexpr int kRose = 38;        // lost at once

// What the standing says, for those who count with it rather than show it.
enum class StandingKind {
    NotTakingPart,
    Streak,      // "N連勝中"
    Challenger,  // on court, off court in the turn before
    Waiting,     // "Nターン待ち"
    LostAtOnce,  // "瞬　殺　　"
    JustLeft,    // off court after more than one turn on it: the empty text
};

struct Standing {
    bool takesPart = false;
    StandingKind kind = StandingKind::NotTakingPart;
    int count = 0;             // the N of a streak or a wait, else 0
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

// What the walks back find before a turn: the turns just before it that the player spent on court
// without a break, and those in which his position cell was empty without a break (at most one
// of the two is not 0). Turn 1 has nothing before it: the walks stop there.
struct PlayerPast {
    int onCourtRun = 0;
    int emptyRun = 0;
    bool operator==(const PlayerPast&) const = default;

    // The past of the next turn, given this turn's position cell: the walk back in its forward
    // form, for those who go through the turns in order.
    PlayerPast after(const xls::CellValue& position) const;
};

// The walk back from `turn` over the turns before it, as the commit makes it.
PlayerPast walkBack(int turn, int player, const TurnHistory& history);

// The rule: the standing of a taking-part player from his position cell in the turn, what lies
// before the turn, and his position cell two turns back (rows 39 and 40 for turns 1 and 2).
Standing standingOf(const xls::CellValue& position, const PlayerPast& past, const xls::CellValue& twoTurnsBack);

// The player's winning streak in `turn`: the turns just before it that he spent on court without
// a break (the "N" of "N連勝中"); 0 when he is off court in `turn` or came on in it.
int winningStreak(int turn, int player, const TurnHistory& history);

// The standing of one player after `turn` has been written.
Standing computeStanding(int turn, int player, const TurnHistory& history);

}  // namespace pellix
