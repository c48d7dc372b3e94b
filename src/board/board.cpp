#include "board/board.h"

#include "board/round_half_even.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace pellix {

namespace {

constexpr double kBenchFirstLeft = 120;
constexpr double kSpotPitch = 1680;  // a token is 1575 wide; neighbours stand 105 apart
constexpr double kGuestTop = 2400;
constexpr double kGuestFirstLeft = 10200;  // the guest row stands over bench spots 7..9

constexpr double kInt16Min = std::numeric_limits<std::int16_t>::min();
constexpr double kInt16Max = std::numeric_limits<std::int16_t>::max();

// A position carried through a 16-bit whole number: nearest, halves to even.
bool fitsInt16(double twips) {
    return std::isfinite(twips) && roundHalfToEven(twips) >= kInt16Min && roundHalfToEven(twips) <= kInt16Max;
}
double roundToInt16(double twips) {
    if (std::isnan(twips)) return 0;
    return std::clamp(roundHalfToEven(twips), kInt16Min, kInt16Max);
}

bool inRange(int token) {
    return token >= 0 && token <= kTokenCount;
}

}  // namespace

TokenPlace Board::benchPlace(int p) {
    return {kBenchFirstLeft + kSpotPitch * (p - 1), kBenchTop};
}

TokenPlace Board::guestPlace(int g) {
    return {kGuestFirstLeft + kSpotPitch * (g - 1), kGuestTop};
}

TokenPlace Board::courtPlace(int slot) {
    // A token stands 600 right of its area's Left and 120 below its Top.
    const SlotArea area = courtSlotArea(slot);
    return {area.left + 600.0, area.top + 120.0};
}

Board::Board() {
    for (int p = 1; p <= 9; ++p) places_[p] = benchPlace(p);
    for (int g = 1; g <= 3; ++g) places_[9 + g] = guestPlace(g);
    for (int k = 1; k <= 4; ++k) places_[kFirstPlaceholder - 1 + k] = courtPlace(k);
    standPlaceholders();
}

DropOutcome Board::dropOnToken(int source, int target) {
    if (!tokenExists(source) || !tokenExists(target) || source == target) return DropOutcome::Nothing;

    // The target gets the dragged token's old place through whole twips; the dragged token gets
    // the target's place as it is.
    const TokenPlace old = places_[source];
    places_[source] = places_[target];
    places_[target] = {roundToInt16(old.left), roundToInt16(old.top)};

    std::swap(Players[source].Slot, Players[target].Slot);
    if (Players[source].Slot > 0) CourtSlot[Players[source].Slot] = static_cast<std::int16_t>(source);
    if (Players[target].Slot > 0) CourtSlot[Players[target].Slot] = static_cast<std::int16_t>(target);

    return courtHasPlaceholder() ? DropOutcome::CourtIncomplete : DropOutcome::CourtComplete;
}

int Board::tokenInSlot(int slot) const {
    return slot >= 1 && slot <= 4 ? CourtSlot[slot] : 0;
}

DropOutcome Board::dropOnCourtSlot(int source, int slot) {
    // The token standing there is read now, at the drop, and fixed as the target.
    const int target = tokenInSlot(slot);
    return target == 0 ? DropOutcome::Nothing : dropOnToken(source, target);
}

void Board::standPlaceholders() {
    for (int k = 1; k <= 4; ++k) {
        const int placeholder = kFirstPlaceholder - 1 + k;
        CourtSlot[k] = static_cast<std::int16_t>(placeholder);
        Players[placeholder].Slot = static_cast<std::int16_t>(k);
    }
}

bool Board::courtHasPlaceholder() const {
    for (int k = 1; k <= 4; ++k)
        if (CourtSlot[k] > 20) return true;
    return false;
}

void Board::SortBench(const std::function<void()>& painted) {
    // An exchange sort that starts the scan for the same i again after every exchange.
    for (int i = 1; i <= kTokenCount; ++i) {
        for (int j = i + 1; j <= kTokenCount; ++j) {
            if (SwapIfOutOfOrder(i, j, painted)) {
                --i;
                break;
            }
        }
    }
}

BenchOrders startingOrders() {
    BenchOrders orders{};
    for (int token = 1; token < kFirstPlaceholder; ++token) orders[token] = kOrderNotTakingPart;
    for (int token = kFirstPlaceholder; token <= kTokenCount; ++token) orders[token] = kOrderPlaceholder;
    return orders;
}

BenchOrders Board::orders() const {
    BenchOrders orders{};
    for (int token = 0; token <= kTokenCount; ++token) orders[token] = Players[token].Order;
    return orders;
}

void Board::setOrders(const BenchOrders& orders) {
    for (int token = 0; token <= kTokenCount; ++token) Players[token].Order = orders[token];
}

bool Board::SwapIfOutOfOrder(int a, int b, const std::function<void()>& painted) {
    if (!tokenExists(a) || !tokenExists(b)) return false;
    if (places_[a].top != kBenchTop || places_[b].top != kBenchTop) return false;

    const double leftA = places_[a].left;
    const double leftB = places_[b].left;
    // SwapLeft carries a's Left through 16 bits; a Left that does not fit never moves, so the
    // bench keeps its set of spots whatever stands there.
    if (!fitsInt16(leftA) || !fitsInt16(leftB)) return false;

    const std::int16_t orderA = Players[a].Order;
    const std::int16_t orderB = Players[b].Order;
    const bool outOfOrder = (orderA < orderB && leftA < leftB) || (orderA > orderB && leftA > leftB);
    if (!outOfOrder) return false;

    SwapLeft(a, b);
    if (painted) painted();
    return true;
}

void Board::SwapLeft(int a, int b) {
    if (!inRange(a) || !inRange(b)) return;
    const double t = roundToInt16(places_[a].left);
    places_[a].left = places_[b].left;
    places_[b].left = t;
}

}  // namespace pellix
