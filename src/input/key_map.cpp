#include "input/key_map.h"

#include "board/board.h"

namespace pellix {

char substitutionLetter(int player) {
    return static_cast<char>('A' + player - 1);
}

KeyAction keyAction(Key key, TurnPhase phase, int chosenSlot, bool turnBoxFocused) {
    using A = KeyAction::Kind;
    const bool idle = phase == TurnPhase::Idle;
    const bool countdown = phase == TurnPhase::Countdown;
    switch (key.kind) {
    case Key::Kind::Space:
        // In the turn box a blank is text, not a decision.
        if (turnBoxFocused && idle) return {A::None, 0};
        [[fallthrough]];
    case Key::Kind::Enter:
        return {idle ? A::Decide : A::Ignore, 0};
    case Key::Kind::PageUp:
        return {idle ? A::Previous : A::Ignore, 0};
    case Key::Kind::PageDown:
        return {idle ? A::Next : A::Ignore, 0};
    case Key::Kind::Escape:
        return {chosenSlot != 0 ? A::Forget : A::Ignore, 0};
    case Key::Kind::F1:
        return {A::Help, 0};
    case Key::Kind::Other:
        return {A::None, 0};
    case Key::Kind::Character:
        break;
    }
    const char c = key.character;
    if (turnBoxFocused && idle && chosenSlot == 0) return {A::None, 0};
    if (c >= '1' && c <= '4') {
        if (countdown) return {A::NameSlot, c - '0'};
        if (idle) return {A::ChooseSlot, c - '0'};
        return {A::Ignore, 0};
    }
    if (c == '0' || c == 'M') return {countdown ? A::Miss : A::Ignore, 0};
    if (c >= 'A' && c <= 'Z') {
        const int player = c - 'A' + 1;
        if (idle && chosenSlot != 0 && isPlayerToken(player)) return {A::Substitute, player};
        return {A::Ignore, 0};
    }
    return {turnBoxFocused ? A::None : A::Ignore, 0};
}

}  // namespace pellix
