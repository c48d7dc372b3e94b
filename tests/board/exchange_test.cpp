#include "board/board.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <ostream>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace pellix {

void PrintTo(const TokenPlace& place, std::ostream* out) { *out << "(" << place.left << ", " << place.top << ")"; }

namespace {

// A drop as the scorer makes it: onto a token, or onto a court slot area.
struct Drop {
    int source;
    int target;
    bool onSlot = false;
};

DropOutcome apply(Board& board, const Drop& drop) {
    return drop.onSlot ? board.dropOnCourtSlot(drop.source, drop.target) : board.dropOnToken(drop.source, drop.target);
}

std::array<std::int16_t, 4> court(const Board& board) {
    return {board.CourtSlot[1], board.CourtSlot[2], board.CourtSlot[3], board.CourtSlot[4]};
}

const std::vector<Drop> kFillCourt = {{1, 21}, {2, 22}, {3, 23}, {4, 24}};

TEST(BoardStart, LayoutPlacesAndPlaceholdersOnCourt) {
    const Board board;
    EXPECT_EQ(board.place(1), (TokenPlace{120, 4080}));
    EXPECT_EQ(board.place(5), (TokenPlace{6840, 4080}));
    EXPECT_EQ(board.place(9), (TokenPlace{13560, 4080}));
    EXPECT_EQ(board.place(10), (TokenPlace{10200, 2400}));
    EXPECT_EQ(board.place(11), (TokenPlace{11880, 2400}));
    EXPECT_EQ(board.place(12), (TokenPlace{13560, 2400}));
    EXPECT_EQ(board.place(21), (TokenPlace{720, 240}));
    EXPECT_EQ(board.place(22), (TokenPlace{720, 2160}));
    EXPECT_EQ(board.place(23), (TokenPlace{3600, 240}));
    EXPECT_EQ(board.place(24), (TokenPlace{3600, 2160}));
    EXPECT_EQ(court(board), (std::array<std::int16_t, 4>{21, 22, 23, 24}));
    for (int token = 0; token <= kTokenCount; ++token) {
        const int expected = token >= 21 ? token - 20 : 0;
        EXPECT_EQ(board.Players[token].Slot, expected) << "token " << token;
        EXPECT_EQ(board.Players[token].Order, 0) << "token " << token;
    }
    EXPECT_TRUE(board.courtHasPlaceholder());
}

struct ExchangeCase {
    std::string name;
    std::vector<Drop> before;  // drops made first
    Drop drop;                 // the drop under test
    DropOutcome outcome;
    std::array<std::int16_t, 4> court;
    std::map<int, int> slots;            // token -> Slot afterwards
    std::map<int, TokenPlace> places;    // token -> place afterwards
};

void PrintTo(const ExchangeCase& c, std::ostream* out) { *out << c.name; }

class Exchange : public ::testing::TestWithParam<ExchangeCase> {};

TEST_P(Exchange, MovesPlacesSlotsAndCourt) {
    const ExchangeCase& c = GetParam();
    Board board;
    for (const Drop& drop : c.before) apply(board, drop);
    const Board before = board;

    EXPECT_EQ(apply(board, c.drop), c.outcome);
    EXPECT_EQ(court(board), c.court);
    for (const auto& [token, slot] : c.slots) EXPECT_EQ(board.Players[token].Slot, slot) << "token " << token;
    for (const auto& [token, place] : c.places) {
        EXPECT_EQ(board.place(token).left, place.left) << "token " << token;
        EXPECT_EQ(board.place(token).top, place.top) << "token " << token;
    }
    // Nobody else moves, and no drop touches the ordering keys.
    for (int token = 0; token <= kTokenCount; ++token) {
        EXPECT_EQ(board.Players[token].Order, before.Players[token].Order);
        if (token == c.drop.source || c.places.count(token)) continue;
        if (c.drop.onSlot ? token == before.CourtSlot[std::clamp(c.drop.target, 0, 4)] : token == c.drop.target) continue;
        EXPECT_EQ(board.place(token), before.place(token)) << "token " << token;
    }
}

const TokenPlace kSlot1{720, 240}, kSlot2{720, 2160}, kSlot3{3600, 240}, kSlot4{3600, 2160};
const TokenPlace kBench5{6840, 4080}, kBench7{10200, 4080}, kBench8{11880, 4080};

INSTANTIATE_TEST_SUITE_P(
    Drops, Exchange,
    ::testing::Values(
        ExchangeCase{"BenchTokenOnPlaceholder", {}, {5, 21}, DropOutcome::CourtIncomplete, {5, 22, 23, 24},
                     {{5, 1}, {21, 0}}, {{5, kSlot1}, {21, kBench5}}},
        ExchangeCase{"BenchTokenOnPlaceholdersSlotArea", {}, {5, 1, true}, DropOutcome::CourtIncomplete,
                     {5, 22, 23, 24}, {{5, 1}, {21, 0}}, {{5, kSlot1}, {21, kBench5}}},
        ExchangeCase{"FourthPlayerFillsCourt", {{1, 21}, {2, 22}, {3, 23}}, {4, 24}, DropOutcome::CourtComplete,
                     {1, 2, 3, 4}, {{4, 4}, {24, 0}}, {{4, kSlot4}, {24, {5160, 4080}}}},
        ExchangeCase{"CourtTokenOnAnotherSlotArea", {{5, 21}, {6, 22}, {7, 23}, {8, 24}}, {6, 3, true},
                     DropOutcome::CourtComplete, {5, 7, 6, 8}, {{6, 3}, {7, 2}}, {{6, kSlot3}, {7, kSlot2}}},
        ExchangeCase{"CourtTokenOnAnotherCourtToken", {{5, 21}, {6, 22}, {7, 23}, {8, 24}}, {6, 7},
                     DropOutcome::CourtComplete, {5, 7, 6, 8}, {{6, 3}, {7, 2}}, {{6, kSlot3}, {7, kSlot2}}},
        ExchangeCase{"CourtTokenOnBenchToken", kFillCourt, {2, 7}, DropOutcome::CourtComplete, {1, 7, 3, 4},
                     {{2, 0}, {7, 2}}, {{2, kBench7}, {7, kSlot2}}},
        ExchangeCase{"TwoBenchTokensWithCourtFull", kFillCourt, {7, 8}, DropOutcome::CourtComplete, {1, 2, 3, 4},
                     {{7, 0}, {8, 0}}, {{7, kBench8}, {8, kBench7}}},
        ExchangeCase{"TwoBenchTokensWithPlaceholdersOnCourt", {}, {7, 8}, DropOutcome::CourtIncomplete,
                     {21, 22, 23, 24}, {{7, 0}, {8, 0}}, {{7, kBench8}, {8, kBench7}}},
        ExchangeCase{"GuestOntoCourt", kFillCourt, {10, 3, true}, DropOutcome::CourtComplete, {1, 2, 10, 4},
                     {{10, 3}, {3, 0}}, {{10, kSlot3}, {3, {10200, 2400}}}},
        ExchangeCase{"PlaceholderBroughtBackDisablesDecide", kFillCourt, {3, 23}, DropOutcome::CourtIncomplete,
                     {1, 2, 23, 4}, {{3, 0}, {23, 3}}, {{3, {3480, 4080}}, {23, kSlot3}}},
        ExchangeCase{"TokenOnItself", kFillCourt, {2, 2}, DropOutcome::Nothing, {1, 2, 3, 4}, {{2, 2}},
                     {{2, kSlot2}}},
        ExchangeCase{"TokenOnItsOwnSlotArea", kFillCourt, {2, 2, true}, DropOutcome::Nothing, {1, 2, 3, 4},
                     {{2, 2}}, {{2, kSlot2}}},
        ExchangeCase{"NoTokenThirteen", {}, {13, 21}, DropOutcome::Nothing, {21, 22, 23, 24}, {{21, 1}},
                     {{21, kSlot1}}},
        ExchangeCase{"OntoTokenZero", {}, {5, 0}, DropOutcome::Nothing, {21, 22, 23, 24}, {{5, 0}}, {{5, kBench5}}},
        ExchangeCase{"OntoSlotAreaFive", {}, {5, 5, true}, DropOutcome::Nothing, {21, 22, 23, 24}, {{5, 0}},
                     {{5, kBench5}}},
        ExchangeCase{"FromTokenTwentyFive", {}, {25, 21}, DropOutcome::Nothing, {21, 22, 23, 24}, {{21, 1}},
                     {{21, kSlot1}}}),
    [](const auto& info) { return info.param.name; });

// The target takes the dragged token's old place through whole twips, halves to even; the
// dragged token takes the target's place as it is.
TEST(ExchangeRounding, TargetGetsRoundedPlaceSourceGetsExactPlace) {
    struct Case {
        TokenPlace source, target, sourceAfter, targetAfter;
    };
    for (const Case& c : {
             Case{{100.5, 4080.5}, {720.25, 240.75}, {720.25, 240.75}, {100, 4080}},
             Case{{101.5, 4079.5}, {720, 240}, {720, 240}, {102, 4080}},
             Case{{-0.5, 2400.4}, {720, 240}, {720, 240}, {0, 2400}},
             Case{{-1.5, 2400.6}, {720, 240}, {720, 240}, {-2, 2401}},
         }) {
        Board board;
        board.setPlace(5, c.source);
        board.setPlace(21, c.target);
        board.dropOnToken(5, 21);
        EXPECT_EQ(board.place(5), c.sourceAfter) << c.source.left << "," << c.source.top;
        EXPECT_EQ(board.place(21), c.targetAfter) << c.source.left << "," << c.source.top;
    }
}

// Thousands of drops of every kind, sensible or not: after each, the token in slot k says it
// stands in slot k, nobody else claims a slot, the court tokens stand at their court places, the
// board keeps its set of places, and the outcome tells the court's state.
TEST(ExchangeInvariant, HoldsAfterRandomDrops) {
    std::mt19937 random(20061110);
    std::uniform_int_distribution<int> anyToken(-1, 26);
    std::uniform_int_distribution<int> anySlot(-1, 5);
    std::bernoulli_distribution onSlot(0.3);

    Board board;
    std::multiset<std::pair<double, double>> startPlaces;
    for (int token = 0; token <= kTokenCount; ++token)
        if (tokenExists(token)) startPlaces.insert({board.place(token).left, board.place(token).top});

    for (int step = 0; step < 20000; ++step) {
        const Drop drop = onSlot(random) ? Drop{anyToken(random), anySlot(random), true}
                                         : Drop{anyToken(random), anyToken(random), false};
        const DropOutcome outcome = apply(board, drop);
        SCOPED_TRACE("step " + std::to_string(step) + ": " + std::to_string(drop.source) + " -> " +
                     std::to_string(drop.target) + (drop.onSlot ? " (slot)" : ""));

        std::set<int> onCourt;
        for (int k = 1; k <= 4; ++k) {
            const int token = board.CourtSlot[k];
            ASSERT_TRUE(tokenExists(token));
            ASSERT_EQ(board.Players[token].Slot, k);
            ASSERT_EQ(board.place(token), Board::courtPlace(k));
            onCourt.insert(token);
        }
        ASSERT_EQ(onCourt.size(), 4u);
        std::multiset<std::pair<double, double>> places;
        for (int token = 0; token <= kTokenCount; ++token) {
            if (!onCourt.count(token)) {
                ASSERT_LE(board.Players[token].Slot, 0) << "token " << token;
            }
            if (tokenExists(token)) places.insert({board.place(token).left, board.place(token).top});
        }
        ASSERT_EQ(places, startPlaces);
        if (outcome != DropOutcome::Nothing) {
            ASSERT_EQ(outcome == DropOutcome::CourtIncomplete, board.courtHasPlaceholder());
        }
    }
}

}  // namespace
}  // namespace pellix
