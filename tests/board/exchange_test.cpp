// Drops on tokens and on court slot areas: who exchanges with whom and what the court holds after.

#include "board/board.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

namespace pellix {
namespace {

struct Drop {
    int source;
    int target;
    bool onSlot = false;
};

DropOutcome apply(Board& board, const Drop& drop) {
    return drop.onSlot ? board.dropOnCourtSlot(drop.source, drop.target) : board.dropOnToken(drop.source, drop.target);
}

TEST(Exchange, DropsExchangeTheTwoTokensAndTellTheCourtsState) {
    const std::vector<Drop> full = {{1, 21}, {2, 22}, {3, 23}, {4, 24}};
    const std::vector<Drop> fiveToEight = {{5, 21}, {6, 22}, {7, 23}, {8, 24}};
    using enum DropOutcome;
    // The drops made first, the drop, its outcome, the court after it.
    const std::tuple<const char*, std::vector<Drop>, Drop, DropOutcome, std::array<std::int16_t, 4>> cases[] = {
        {"bench token on a placeholder", {}, {5, 21}, CourtIncomplete, {5, 22, 23, 24}},
        {"bench token on a placeholder's slot area", {}, {5, 1, true}, CourtIncomplete, {5, 22, 23, 24}},
        {"the fourth player fills the court", {{1, 21}, {2, 22}, {3, 23}}, {4, 24}, CourtComplete, {1, 2, 3, 4}},
        {"court token on another slot area", fiveToEight, {6, 3, true}, CourtComplete, {5, 7, 6, 8}},
        {"court token on another court token", fiveToEight, {6, 7}, CourtComplete, {5, 7, 6, 8}},
        {"court token on a bench token", full, {2, 7}, CourtComplete, {1, 7, 3, 4}},
        {"two bench tokens", full, {7, 8}, CourtComplete, {1, 2, 3, 4}},
        {"two bench tokens, placeholders on court", {}, {7, 8}, CourtIncomplete, {21, 22, 23, 24}},
        {"a guest onto the court", full, {10, 3, true}, CourtComplete, {1, 2, 10, 4}},
        {"a placeholder brought back", full, {3, 23}, CourtIncomplete, {1, 2, 23, 4}},
        {"a token on itself", full, {2, 2}, Nothing, {1, 2, 3, 4}},
        {"a token on its own slot area", full, {2, 2, true}, Nothing, {1, 2, 3, 4}},
        {"no token 13", {}, {13, 21}, Nothing, {21, 22, 23, 24}},
        {"onto token 0", {}, {5, 0}, Nothing, {21, 22, 23, 24}},
        {"onto slot area 5", {}, {5, 5, true}, Nothing, {21, 22, 23, 24}},
        {"from token 25", {}, {25, 21}, Nothing, {21, 22, 23, 24}},
    };
    for (const auto& [name, first, drop, outcome, courtAfter] : cases) {
        SCOPED_TRACE(name);
        Board board;
        for (const Drop& earlier : first) apply(board, earlier);
        const Board before = board;
        const int target =
            drop.onSlot && drop.target >= 1 && drop.target <= 4 ? before.CourtSlot[drop.target] : drop.target;
        EXPECT_EQ(apply(board, drop), outcome);
        const auto& slots = board.CourtSlot;
        EXPECT_EQ((std::array{slots[1], slots[2], slots[3], slots[4]}), courtAfter);
        for (int token = 0; token <= kTokenCount; ++token) {
            TokenPlace expected = before.place(token);
            if (outcome != Nothing && token == drop.source) expected = before.place(target);
            if (outcome != Nothing && token == target) expected = before.place(drop.source);
            EXPECT_EQ(board.place(token), expected) << "token " << token;
            // Exactly the four tokens on the court know their slot.
            const auto at = std::find(courtAfter.begin(), courtAfter.end(), token);
            EXPECT_EQ(board.Players[token].Slot, at == courtAfter.end() ? 0 : at - courtAfter.begin() + 1) << token;
        }
    }
}

}  // namespace
}  // namespace pellix
