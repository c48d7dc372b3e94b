#include "workbook/live_titles.h"

#include "workbook/cell_map.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace pellix {

namespace {

// Counts toward a title; ties share it.
void consider(Title& title, int value, int player) {
    if (value <= 0 || value < title.value) return;
    if (value > title.value) {
        title.value = value;
        title.holders.clear();
    }
    title.holders.push_back(player);
}

}  // namespace

bool isNamedMark(const xls::CellValue& value) {
    if (value.kind != xls::ValueKind::Text) return false;
    const auto first = value.text.find_first_not_of(' ');
    const auto last = value.text.find_last_not_of(' ');
    return first != std::string::npos && first == last && (value.text[first] == 'C' || value.text[first] == 'c');
}

const xls::CellShown* ShownRecord::cell(int row, int column) const {
    const auto place = std::pair(row - 1, column - 1);
    const auto found = std::lower_bound(sheet_.cells.begin(), sheet_.cells.end(), place,
                                        [](const xls::CellShown& cell, const std::pair<int, int>& wanted) {
                                            return std::pair(cell.row, cell.column) < wanted;
                                        });
    if (found == sheet_.cells.end() || found->row != row - 1 || found->column != column - 1) return nullptr;
    return &*found;
}

xls::CellValue ShownRecord::value(int row, int column) const {
    const xls::CellShown* shown = cell(row, column);
    return shown ? shown->value : xls::CellValue{};
}

int ShownRecord::lastTurn() const {
    return lastTurnIn(value(cellmap::kTurnRow, cellmap::kTurnColumn));
}

TurnHistory ShownRecord::history() const {
    return {[this](int player) { return value(cellmap::kEntryRow, cellmap::entryColumn(player)); },
            [this](int turn, int player) {
                const int row = cellmap::turnRow(turn);
                return row >= 1 ? value(row, cellmap::positionColumn(player)) : xls::CellValue{};
            }};
}

std::array<int, 5> ShownRecord::court(int turn) const {
    std::array<int, 5> slots{};
    for (int player = 1; player <= cellmap::kPlayers; ++player) {
        const xls::CellValue position = value(cellmap::turnRow(turn), cellmap::positionColumn(player));
        if (position.kind != xls::ValueKind::Number) continue;
        const double slot = position.number;
        if (slot >= 1 && slot <= 4 && slot == std::trunc(slot)) slots[static_cast<std::size_t>(slot)] = player;
    }
    return slots;
}

int ShownRecord::named(int turn) const {
    for (int player = 1; player <= cellmap::kPlayers; ++player)
        if (isNamedMark(value(cellmap::turnRow(turn), cellmap::markColumn(player)))) return player;
    return 0;
}

LiveTitles computeLiveTitles(const ShownRecord& record) {
    LiveTitles titles;
    const int last = record.lastTurn();
    const TurnHistory history = record.history();
    for (int player = 1; player <= cellmap::kPlayers; ++player) {
        int onCourt = 0;
        int named = 0;
        int longest = 0;
        for (int turn = 1; turn <= last; ++turn) {
            const bool on = greaterThanZero(history.position(turn, player));
            onCourt += on;
            named += isNamedMark(record.value(cellmap::turnRow(turn), cellmap::markColumn(player)));
            // A run of turns on court is walked once, from its last turn: there its streak is longest.
            if (on && (turn == last || !greaterThanZero(history.position(turn + 1, player))))
                longest = std::max(longest, winningStreak(turn, player, history));
        }
        consider(titles.longestStreak, longest, player);
        consider(titles.mostOnCourt, onCourt, player);
        consider(titles.mostNamed, named, player);
    }
    return titles;
}

}  // namespace pellix
