#pragma once

// The state that both boards show: the court, the countdown and who was named, every taking-part
// player's standing in board order with its fill, and the live titles. A pure function of what
// the window already has (the sheet as shown, where the tokens stand, the phase of the turn), so
// the spectator board and the web board show the same thing in the same order, and tests feed it
// tables.

#include "board/board.h"
#include "workbook/live_titles.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pellix {

enum class BoardPhase { Idle, Countdown, Closing, Busy };

// One line of the standings: the player, his name (column B), column D as shown and its fill.
struct BoardLine {
    int player = 0;
    std::string name;
    std::string text;
    std::optional<std::uint32_t> fill;  // 0xRRGGBB; none when column D has no fill
    bool operator==(const BoardLine&) const = default;
};

// A token that stands on no bench place (on court, or a placeholder) sorts after those on it.
inline constexpr double kOffBench = 1e9;

// The standings in board order: the players on court in the last turn by slot, then the waiting
// players by who comes on next (the bench's ordering key, from the same walk as column D), then as
// they stand on the bench row (`benchLeft`, by player 1..12; kOffBench for a player not on it).
std::vector<BoardLine> boardOrder(const ShownRecord& record, const std::array<double, 13>& benchLeft);
// Where the players stand on the bench row, as boardOrder wants it.
std::array<double, 13> benchLeftOf(const Board& board);

// The player's name as column B shows it; empty when it holds no text.
std::string boardName(const ShownRecord& record, int player);

// The labels the boards give the live titles, with the unit of their number.
struct TitleLabel {
    const char* title;
    const char* unit;
    Title LiveTitles::*field;
};
inline constexpr TitleLabel kTitleLabels[] = {
    {"最長連勝", "連勝", &LiveTitles::longestStreak},
    {"最多出場", "節", &LiveTitles::mostOnCourt},
    {"最多 C", "回", &LiveTitles::mostNamed},
};

// What the window has.
struct BoardInputs {
    const xls::SheetShown* sheet = nullptr;
    std::array<int, 5> courtTokens{};  // 1..4: the token in the slot (a player 1..12 or a placeholder)
    std::array<double, 13> benchLeft{};
    int named = 0;                     // the player named at the last close; 0 for nobody
    BoardPhase phase = BoardPhase::Idle;
    std::string countdownCaption;      // the decide button's caption while the countdown runs
    std::string nextTurn;              // the turn box's text
};

struct CourtPlace {
    int slot = 0;
    int player = 0;  // 0 for a placeholder
    std::string name;
    bool operator==(const CourtPlace&) const = default;
};

struct BoardState {
    int turn = 0;  // B19, the last recorded turn
    std::string nextTurn;
    BoardPhase phase = BoardPhase::Idle;
    std::optional<int> countdown;  // 3, 2, 1 while the countdown runs
    std::array<CourtPlace, 4> court{};
    int named = 0;
    std::string namedName;
    std::vector<BoardLine> standings;
    LiveTitles titles;
    std::array<std::string, 13> names{};  // 1..12: every player's name as column B shows it
    bool operator==(const BoardState&) const = default;
};

BoardState boardState(const BoardInputs& inputs);

}  // namespace pellix
