// Every scoring key in every phase of a turn, with and without a chosen slot and with the turn
// box focused: what the key does, or that it is left to the focused control.

#include "input/key_map.h"

#include <gtest/gtest.h>

#include <tuple>

namespace pellix {
namespace {

using A = KeyAction::Kind;
using enum TurnPhase;

TEST(KeyMap, EveryKeyInEveryPhase) {
    const Key space = Key::named(Key::Kind::Space), enter = Key::named(Key::Kind::Enter);
    const Key up = Key::named(Key::Kind::PageUp), down = Key::named(Key::Kind::PageDown);
    const Key esc = Key::named(Key::Kind::Escape), f1 = Key::named(Key::Kind::F1), tab = Key::named(Key::Kind::Other);
    // The key, the phase, the chosen slot, whether the turn box has the focus; the action.
    const std::tuple<Key, TurnPhase, int, bool, KeyAction, const char*> cases[] = {
        {space, Idle, 0, false, {A::Decide, 0}, "space decides between turns"},
        {enter, Idle, 0, true, {A::Decide, 0}, "enter decides from the turn box too"},
        {space, Idle, 0, true, {A::None, 0}, "a blank typed in the turn box is its own"},
        {Key::of('3'), Countdown, 0, false, {A::NameSlot, 3}, "a slot key names during the countdown"},
        {Key::of('4'), Countdown, 2, false, {A::NameSlot, 4}, "a chosen slot does not matter then"},
        {Key::of('5'), Countdown, 0, false, {A::Ignore, 0}, "there is no fifth slot"},
        {Key::of('0'), Countdown, 0, false, {A::Miss, 0}, "0 is the miss button"},
        {Key::of('m'), Countdown, 0, false, {A::Miss, 0}, "so is m, in either case"},
        {Key::of('M'), Idle, 0, false, {A::Ignore, 0}, "the miss button only counts down"},
        {Key::of('1'), Idle, 0, false, {A::ChooseSlot, 1}, "between turns a slot key chooses the slot"},
        {Key::of('2'), Idle, 1, false, {A::ChooseSlot, 2}, "and a second one chooses again"},
        {Key::of('2'), Idle, 0, true, {A::None, 0}, "digits typed in the turn box are a turn number"},
        {Key::of('c'), Idle, 0, true, {A::None, 0}, "and so are letters, to be refused at 決定"},
        {Key::of('E'), Idle, 3, false, {A::Substitute, 5}, "E brings player 5"},
        {Key::of('L'), Idle, 3, true, {A::Substitute, 12}, "L brings player 12, also from the turn box"},
        {Key::of('E'), Idle, 0, false, {A::Ignore, 0}, "a letter without a chosen slot"},
        {Key::of('N'), Idle, 3, false, {A::Ignore, 0}, "there is no fourteenth player"},
        {Key::of('E'), Operation, 3, false, {A::Ignore, 0}, "no substitution inside an operation"},
        {up, Idle, 0, false, {A::Previous, 0}, "page up is ≪"},
        {down, Idle, 0, true, {A::Next, 0}, "page down is ≫"},
        {down, Countdown, 0, false, {A::Ignore, 0}, "the turn number is fixed during a countdown"},
        {esc, Idle, 2, false, {A::Forget, 0}, "escape forgets the chosen slot"},
        {f1, Closing, 0, false, {A::Help, 0}, "help in any phase"},
        {tab, Idle, 0, false, {A::None, 0}, "other keys belong to the controls"},
    };
    for (const auto& [key, phase, chosenSlot, turnBox, action, why] : cases)
        EXPECT_EQ(keyAction(key, phase, chosenSlot, turnBox), action) << why;
}

}  // namespace
}  // namespace pellix
