#include "workbook/board_state.h"

#include "board/board.h"
#include "workbook/cell_map.h"
#include "workbook/xls/cell_text.h"

#include <algorithm>
#include <tuple>

namespace pellix {

std::string boardName(const ShownRecord& record, int player) {
    if (!isPlayerToken(player)) return {};
    const xls::CellValue name = record.value(cellmap::statusRow(player), cellmap::kNameColumn);
    return name.kind == xls::ValueKind::Text ? name.text : std::string();
}

std::vector<BoardLine> boardOrder(const ShownRecord& record, const std::array<double, 13>& benchLeft) {
    const TurnHistory history = record.history();
    const int lastTurn = record.lastTurn();
    struct Place {
        BoardLine line;
        std::tuple<int, int, double, int> key;
    };
    std::vector<Place> places;
    for (int player = 1; player <= cellmap::kPlayers; ++player) {
        if (!greaterThanZero(history.entry(player))) continue;
        BoardLine line{player, boardName(record, player), {}, {}};
        if (const xls::CellShown* cell = record.cell(cellmap::statusRow(player), cellmap::kStandingColumn)) {
            line.text = xls::shownText(cell->value);
            if (cell->fillColorIndex >= 0) line.fill = cell->fillRgb & 0xffffffu;
        }
        // On court in the last turn (order -1): by the slot he stood in. Waiting: the larger key
        // comes on first.
        const Standing standing = computeStanding(lastTurn, player, history);
        const bool onCourt = standing.order == -1;
        const xls::CellValue slot = history.position(lastTurn, player);
        const int courtSlot = onCourt && slot.kind == xls::ValueKind::Number ? static_cast<int>(slot.number) : 0;
        places.push_back({std::move(line),
                          {onCourt ? 0 : 1, onCourt ? courtSlot : -standing.order, benchLeft[player], player}});
    }
    std::stable_sort(places.begin(), places.end(), [](const Place& a, const Place& b) { return a.key < b.key; });
    std::vector<BoardLine> lines;
    lines.reserve(places.size());
    for (Place& place : places) lines.push_back(std::move(place.line));
    return lines;
}

std::array<double, 13> benchLeftOf(const Board& board) {
    std::array<double, 13> left;
    left.fill(kOffBench);
    for (int player = 1; player <= cellmap::kPlayers; ++player) {
        const TokenPlace& place = board.place(player);
        if (place.top == kBenchTop) left[player] = place.left;
    }
    return left;
}

BoardState boardState(const BoardInputs& inputs) {
    static const xls::SheetShown kNoSheet;
    const ShownRecord record(inputs.sheet ? *inputs.sheet : kNoSheet);
    BoardState state;
    state.turn = record.lastTurn();
    state.nextTurn = inputs.nextTurn;
    state.phase = inputs.phase;
    // "3秒前", "2秒前", "1秒前": the digit before the rest of the caption.
    const std::string& caption = inputs.countdownCaption;
    if (inputs.phase == BoardPhase::Countdown && !caption.empty() && caption[0] >= '1' && caption[0] <= '3'
        && (caption.size() == 1 || caption[1] < '0' || caption[1] > '9'))
        state.countdown = caption[0] - '0';
    for (int slot = 1; slot <= 4; ++slot) {
        const int token = inputs.courtTokens[slot];
        const int player = isPlayerToken(token) ? token : 0;
        state.court[slot - 1] = {slot, player, boardName(record, player)};
    }
    if (isPlayerToken(inputs.named)) {
        state.named = inputs.named;
        state.namedName = boardName(record, inputs.named);
    }
    for (int player = 1; player <= cellmap::kPlayers; ++player) state.names[player] = boardName(record, player);
    state.standings = boardOrder(record, inputs.benchLeft);
    state.titles = computeLiveTitles(record);
    return state;
}

}  // namespace pellix
