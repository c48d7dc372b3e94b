#include "board/board.h"

#include <gtest/gtest.h>

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
// exchanges were painted.
TEST(BenchOrder, ExchangesLeftUntilDescending) {
    const std::tuple<const char*, std::vector<Token>, std::vector<double>, int> cases[] = {
        {"one three two", {{1, 120, 1}, {2, 1800, 3}, {3, 3480, 2}}, {3480, 120, 1800}, 2},
        {"already descending", {{1, 120, 5}, {2, 1800, 3}, {3, 3480, -1}}, {120, 1800, 3480}, 0},
        {"equal orders keep their sides", {{1, 120, 1}, {2, 1800, 1}, {3, 3480, 4}}, {3480, 1800, 120}, 1},
        {"reversed", {{1, 120, -2}, {2, 1800, 1}, {3, 3480, 2}, {4, 5160, 7}}, {5160, 3480, 1800, 120}, 6},
        {"top off by half a twip", {{1, 120, 1}, {2, 1800, 9, 4080.5}, {3, 3480, 3}}, {3480, 1800, 120}, 1},
        // Tokens on the court take no part.
        {"court", {{21, 720, -1, 240}, {1, 120, -2}, {5, 3600, 8, 2160}, {2, 1800, 4}}, {720, 1800, 3600, 120}, 1},
        {"a placeholder on the bench takes part", {{21, 120, -1}, {2, 1800, 2}}, {1800, 120}, 1},
        {"signed orders", {{1, 120, -32768}, {2, 1800, 32767}, {3, 3480, -1}}, {3480, 120, 1800}, 2},
        {"a Left outside 16 bits never moves", {{1, 40000, 9}, {2, 1800, 1}, {3, 3480, 5}}, {40000, 3480, 1800}, 1},
        {"numbers without a token", {{1, 120, 1}, {13, 1800, 9}}, {120, 1800}, 0},
        // The Left that goes first is carried through a 16-bit whole number, halves to even.
        {"half a twip rounds to even", {{1, 121.5, 1}, {2, 1800.5, 3}}, {1800.5, 122}, 1},
    };
    for (const auto& [name, tokens, leftAfter, exchanges] : cases) {
        SCOPED_TRACE(name);
        Board board = boardWith(tokens);
        int painted = 0;
        board.SortBench([&] { ++painted; });
        EXPECT_EQ(painted, exchanges);
        for (std::size_t i = 0; i < tokens.size(); ++i)
            EXPECT_EQ(board.place(tokens[i].number).left, leftAfter[i]) << i;
    }
}

}  // namespace
}  // namespace pellix
