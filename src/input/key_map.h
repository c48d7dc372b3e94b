#pragma once

// Scoring from the keyboard: which step of a turn a key stands for. The same steps as the mouse
// makes, through the same turn machine, so the keys are refused exactly where the mouse is.
//
//   Space, Enter        決定 (start the countdown)
//   1 2 3 4             during the countdown: name the player in that court slot; between turns:
//                       choose that slot for a substitution
//   A .. L              after a slot was chosen: the bench player with that letter takes the slot
//                       (player 1 is A, player 12 is L), as his drop on the slot would
//   0, M                通常ミス
//   Page Up, Page Down  ≪, ≫ between turns
//   Esc                 forget a chosen slot; nothing else, never anything to the record
//   F1                  the list of keys

#include "input/turn_machine.h"

#include <string_view>

namespace pellix {

// A key as the map knows it: digits and letters by their character, the rest by name.
struct Key {
    enum class Kind { Character, Space, Enter, PageUp, PageDown, Escape, F1, Other };
    Kind kind = Kind::Other;
    char character = 0;  // '0'..'9' or 'A'..'Z' (either case is given as upper case)

    static Key of(char c) { return {Kind::Character, c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c}; }
    static Key named(Kind kind) { return {kind, 0}; }
};

struct KeyAction {
    enum class Kind {
        None,    // the key is not ours: the focused control may have it
        Ignore,  // ours, and it does nothing now
        Decide,
        NameSlot,  // index: the slot
        Miss,
        Previous,
        Next,
        ChooseSlot,  // index: the slot chosen for a substitution
        Substitute,  // index: the player who takes the chosen slot
        Forget,
        Help,
    };
    Kind kind = Kind::None;
    int index = 0;
    friend bool operator==(const KeyAction&, const KeyAction&) = default;
};

// What `key` does in `phase`, with `chosenSlot` (0: none) chosen for a substitution. While the
// turn box has the focus between turns it keeps digits and letters for itself.
KeyAction keyAction(Key key, TurnPhase phase, int chosenSlot, bool turnBoxFocused);

// The letter shown on a player's token for the substitution key: 'A' for player 1 .. 'L' for 12.
char substitutionLetter(int player);

}  // namespace pellix
