#pragma once

// Where the tokens stand: the court of four slots, the bench row and the guest row. Plain C++,
// decided here and only shown by the window. Positions are in twips (1/1440 inch), exactly as
// the window layout gives them.

#include <array>
#include <cstdint>
#include <functional>

namespace pellix {

struct PlayerRecord {
    std::int16_t Slot = 0;   // court slot 1..4 the token stands in, 0 when off court
    std::int16_t Order = 0;  // bench ordering key, written by every turn commit
};

// The Order every commit starts from: players who take no part, and the placeholders.
inline constexpr std::int16_t kOrderNotTakingPart = -2;
inline constexpr std::int16_t kOrderPlaceholder = -1;

struct TokenPlace {
    double left = 0;  // twips
    double top = 0;   // twips
    bool operator==(const TokenPlace&) const = default;
};

// The four court slot areas, in twips: slots 1 and 2 on the left, 3 and 4 on the right, the odd
// ones on top. The window draws them here and a token on court stands inside its slot's area.
struct SlotArea {
    int left, top, width, height;
};
constexpr SlotArea courtSlotArea(int slot) {
    return {slot <= 2 ? 120 : 3000, slot % 2 == 1 ? 120 : 2040, 2775, 1815};
}

inline constexpr int kTokenCount = 24;  // token numbers 1..24; 13..20 have no token
inline constexpr int kFirstPlaceholder = 21;
inline constexpr double kBenchTop = 4080;  // a token is on the bench exactly when its Top is this

// Tokens 1..12 (players) and 21..24 (placeholders) exist; 0 and 13..20 do not.
constexpr bool tokenExists(int token) {
    return (token >= 1 && token <= 12) || (token >= kFirstPlaceholder && token <= kTokenCount);
}
constexpr bool isPlayerToken(int token) {
    return token >= 1 && token <= 12;
}

// Every token's Order, by token number as Board::Players.
using BenchOrders = std::array<std::int16_t, kTokenCount + 1>;
// Every Order as a commit starts from it: kOrderNotTakingPart for the players (and the numbers
// without a token), kOrderPlaceholder for the placeholders.
BenchOrders startingOrders();

// The outcome of a drop, for the window to carry out: the sound and the decide button.
enum class DropOutcome {
    Nothing,          // dropped on itself: nothing changes
    CourtIncomplete,  // exchanged; a placeholder still stands on the court: decide button off
    CourtComplete,    // exchanged; four players on court: play the drop sound, decide button on
                      // (when no turn is under way)
};

class Board {
public:
    // The start of a session: every token at its place in the layout, placeholders 21..24 in
    // slots 1..4, every Order 0.
    Board();

    std::array<PlayerRecord, kTokenCount + 1> Players{};
    std::array<std::int16_t, 5> CourtSlot{};  // index 1..4: the token standing in that slot

    const TokenPlace& place(int token) const { return places_[token]; }
    void setPlace(int token, TokenPlace place) { places_[token] = place; }

    // A token dropped on another token (or on the court slot area where `target` stands):
    // the two exchange places and court slots.
    DropOutcome dropOnToken(int source, int target);
    // A token dropped on court slot area `slot` (1..4): the same as a drop on the token there.
    DropOutcome dropOnCourtSlot(int source, int slot);
    // What a drop on court slot area `slot` lands on: the token standing there now; 0 for a slot
    // that is none.
    int tokenInSlot(int slot) const;
    // The start of a session's court: placeholders 21..24 in slots 1..4.
    void standPlaceholders();
    bool courtHasPlaceholder() const;
    BenchOrders orders() const;
    void setOrders(const BenchOrders& orders);

    // Re-orders the tokens on the bench row by descending Order, exchanging two tokens' Left at
    // a time; `painted` runs after every exchange so the window can show it at once.
    void SortBench(const std::function<void()>& painted = {});
    // Exchanges the Left of two bench tokens standing against their Order; true when it did.
    bool SwapIfOutOfOrder(int a, int b, const std::function<void()>& painted = {});
    void SwapLeft(int a, int b);

    // The place of bench spot p (1..9) and of guest spot g (1..3) in the layout.
    static TokenPlace benchPlace(int p);
    static TokenPlace guestPlace(int g);
    // The place of the token standing in court slot k (1..4).
    static TokenPlace courtPlace(int slot);

private:
    std::array<TokenPlace, kTokenCount + 1> places_{};
};

}  // namespace pellix
