#include "board/board.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace pellix {
namespace {

// A token and where it stands; a Top of 4080 is the bench.
struct Token {
    int number;
    double left;
    std::int16_t order;
    double top = 4080;
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
        {"one three two", {{1, 120, 1}, {2, 1800, 3}, {3, 3480, 2}}, {3480, 120, 1800}, 2},
        {"already descending", {{1, 120, 5}, {2, 1800, 3}, {3, 3480, -1}}, {120, 1800, 3480}, 0},
        {"equal orders keep their sides", {{1, 120, 1}, {2, 1800, 1}, {3, 3480, 4}}, {3480, 1800, 120}, 1},
        {"reversed", {{1, 120, -2}, {2, 1800, 1}, {3, 3480, 2}, {4, 5160, 7}}, {5160, 3480, 1800, 120}, 6},
        {"top off by half a twip", {{1, 120, 1}, {2, 1800, 9, 4080.5}, {3, 3480, 3}}, {3480, 1800, 120}, 1},
        {"court tokens take no part",
         {{21, 720, -1, 240}, {1, 120, -2}, {5, 3600, 8, 2160}, {2, 1800, 4}},
         {720, 1800, 3600, 120},
         1},
        {"a placeholder on the bench takes part", {{21, 120, -1}, {2, 1800, 2}}, {1800, 120}, 1},
        {"signed orders", {{1, 120, -32768}, {2, 1800, 32767}, {3, 3480, -1}}, {3480, 120, 1800}, 2},
        {"a Left outside 16 bits never moves", {{1, 40000, 9}, {2, 1800, 1}, {3, 3480, 5}}, {40000, 3480, 1800}, 1},
        {"numbers without a token", {{1, 120, 1}, {13, 1800, 9}}, {120, 1800}, 0},
        // The Left that goes first is carried through a 16-bit whole number, halves to even.
        {"half a twip rounds down", {{1, 120.5, 1}, {2, 1800.5, 3}}, {1800.5, 120}, 1},
        {"or up, to the even neighbour", {{1, 121.5, 1}, {2, 1800, 3}}, {1800, 122}, 1},
        {"below zero", {{1, -0.5, 1}, {2, 7, 3}}, {7, 0}, 1},
        {"at the 16-bit edge", {{1, 32767.4, 3}, {2, 1, 1}}, {1, 32767}, 1},
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

// Whatever the keys: when the sort ends, a larger Order stands further left, the bench holds the
// same spots and nothing off the bench has moved.
TEST(BenchOrder, RandomBenchesEndDescendingOnTheSameSpots) {
    std::mt19937 random(4080);
    for (int round = 0; round < 2000; ++round) {
        std::vector<Token> tokens;
        std::vector<int> spots = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
        std::shuffle(spots.begin(), spots.end(), random);
        std::multiset<double> benchLefts;
        for (int token : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 21, 22, 23, 24}) {
            // Thirteen spots for sixteen tokens: the last three stand 15 twips off a spot.
            const std::size_t n = tokens.size();
            const double left = 120 + 1680.0 * spots[n % 13] + (n >= 13 ? 15 : 0);
            const auto order = static_cast<std::int16_t>(static_cast<int>(random() % 10) - 3);
            tokens.push_back({token, left, order, random() % 5 ? 4080.0 : 2400.0});
            if (tokens.back().top == 4080) benchLefts.insert(left);
        }
        Board board = boardWith(tokens);
        board.SortBench({});
        SCOPED_TRACE("round " + std::to_string(round));
        std::multiset<double> lefts;
        for (const Token& a : tokens) {
            const TokenPlace place = board.place(a.number);
            ASSERT_TRUE(a.top == 4080 || place == TokenPlace(a.left, a.top)) << a.number;
            if (a.top == 4080) lefts.insert(place.left);
            for (const Token& b : tokens)
                ASSERT_TRUE(a.top != 4080 || b.top != 4080 || a.order <= b.order
                            || place.left < board.place(b.number).left)
                    << a.number << " stands right of " << b.number;
        }
        ASSERT_EQ(lefts, benchLefts);
    }
}

}  // namespace
}  // namespace pellix
