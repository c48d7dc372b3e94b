#include "board/board.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace pellix {
namespace {

struct Token {
    int number;
    double left;
    double top;
    std::int16_t order;
};

// A board holding exactly the given tokens at the given places; every other token is parked on
// the guest row, where the bench order never looks.
Board boardWith(const std::vector<Token>& tokens) {
    Board board;
    for (int token = 1; token <= kTokenCount; ++token) {
        board.setPlace(token, {100.0 * token, 2400});
        board.Players[token].Order = 0;
    }
    for (const Token& t : tokens) {
        board.setPlace(t.number, {t.left, t.top});
        board.Players[t.number].Order = t.order;
    }
    return board;
}

// A bench of the given tokens sorted: the Left each ends at, in the order given, and how many
// exchanges were painted. Nothing else changes: Top, Order, Slot, and the tokens off the bench.
TEST(BenchOrder, ExchangesLeftUntilDescending) {
    struct Case {
        const char* name;
        std::vector<Token> tokens;
        std::vector<double> leftAfter;
        int exchanges;
    };
    const Case cases[] = {
        {"one three two", {{1, 120, 4080, 1}, {2, 1800, 4080, 3}, {3, 3480, 4080, 2}}, {3480, 120, 1800}, 2},
        {"already descending", {{1, 120, 4080, 5}, {2, 1800, 4080, 3}, {3, 3480, 4080, -1}}, {120, 1800, 3480}, 0},
        {"equal orders keep their sides",
         {{1, 120, 4080, 1}, {2, 1800, 4080, 1}, {3, 3480, 4080, 4}},
         {3480, 1800, 120},
         1},
        {"reversed",
         {{1, 120, 4080, -2}, {2, 1800, 4080, 1}, {3, 3480, 4080, 2}, {4, 5160, 4080, 7}},
         {5160, 3480, 1800, 120},
         6},
        {"top off by half a twip", {{1, 120, 4080, 1}, {2, 1800, 4080.5, 9}, {3, 3480, 4080, 3}}, {3480, 1800, 120}, 1},
        {"court tokens take no part",
         {{21, 720, 240, -1}, {1, 120, 4080, -2}, {5, 3600, 2160, 8}, {2, 1800, 4080, 4}},
         {720, 1800, 3600, 120},
         1},
        {"a placeholder on the bench takes part", {{21, 120, 4080, -1}, {2, 1800, 4080, 2}}, {1800, 120}, 1},
        {"signed orders", {{1, 120, 4080, -32768}, {2, 1800, 4080, 32767}, {3, 3480, 4080, -1}}, {3480, 120, 1800}, 2},
        {"a Left outside 16 bits never moves",
         {{1, 40000, 4080, 9}, {2, 1800, 4080, 1}, {3, 3480, 4080, 5}},
         {40000, 3480, 1800},
         1},
        {"numbers without a token", {{1, 120, 4080, 1}, {13, 1800, 4080, 9}}, {120, 1800}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Board board = boardWith(c.tokens);
        const Board before = board;
        int painted = 0;
        board.SortBench([&] { ++painted; });
        EXPECT_EQ(painted, c.exchanges);
        for (std::size_t i = 0; i < c.tokens.size(); ++i)
            EXPECT_EQ(board.place(c.tokens[i].number).left, c.leftAfter[i]) << i;
        for (int token = 0; token <= kTokenCount; ++token) {
            EXPECT_EQ(board.place(token).top, before.place(token).top);
            EXPECT_EQ(board.Players[token].Order, before.Players[token].Order);
            EXPECT_EQ(board.Players[token].Slot, before.Players[token].Slot);
        }
    }
}

// SwapLeft carries a's Left through a 16-bit whole number, halves to even; b's goes over as is.
TEST(BenchOrder, SwapLeftRoundsTheFirstLeftOnly) {
    struct Case {
        double leftA, leftB, afterA, afterB;
    };
    for (const Case& c : {Case{120.5, 1800.5, 1800.5, 120}, Case{121.5, 1800, 1800, 122}, Case{-0.5, 7, 7, 0},
                          Case{32767.4, 1, 1, 32767}}) {
        Board board = boardWith({{1, c.leftA, 4080, 0}, {2, c.leftB, 4080, 0}});
        board.SwapLeft(1, 2);
        EXPECT_EQ(board.place(1).left, c.afterA) << c.leftA;
        EXPECT_EQ(board.place(2).left, c.afterB) << c.leftA;
    }
}

// Whatever the keys: when the sort ends, a larger Order stands further left, the bench holds the
// same spots, nothing off the bench has moved, and every exchange was painted.
TEST(BenchOrder, RandomBenchesEndDescendingOnTheSameSpots) {
    std::mt19937 random(4080);
    std::uniform_int_distribution<int> order(-3, 6);
    std::bernoulli_distribution onBench(0.8);
    for (int round = 0; round < 2000; ++round) {
        std::vector<Token> tokens;
        std::vector<int> spots = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
        std::shuffle(spots.begin(), spots.end(), random);
        std::size_t next = 0;
        for (int token : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 21, 22, 23, 24}) {
            // Thirteen spots for sixteen tokens: the last three stand 15 twips off a spot.
            const double left = 120 + 1680.0 * spots[next % spots.size()] + (next >= spots.size() ? 15 : 0);
            ++next;
            tokens.push_back(
                {token, left, onBench(random) ? 4080.0 : 2400.0, static_cast<std::int16_t>(order(random))});
        }
        Board board = boardWith(tokens);
        const Board before = board;
        int inversions = 0;
        std::multiset<double> benchLefts;
        for (const Token& a : tokens) {
            if (a.top == 4080) benchLefts.insert(a.left);
            for (const Token& b : tokens)
                if (a.top == 4080 && b.top == 4080 && a.order > b.order && a.left > b.left) ++inversions;
        }
        int painted = 0;
        board.SortBench([&] { ++painted; });

        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_LE(painted, inversions);
        std::multiset<double> lefts;
        for (const Token& a : tokens) {
            ASSERT_EQ(board.place(a.number).top, a.top);
            if (a.top != 4080) {
                ASSERT_EQ(board.place(a.number), before.place(a.number));
                continue;
            }
            lefts.insert(board.place(a.number).left);
            for (const Token& b : tokens) {
                if (b.top == 4080 && a.order > b.order) {
                    ASSERT_LT(board.place(a.number).left, board.place(b.number).left);
                }
            }
        }
        ASSERT_EQ(lefts, benchLefts);
    }
}

}  // namespace
}  // namespace pellix
