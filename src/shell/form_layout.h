#pragma once

// The window's controls as the layout gives them: one table, positions and sizes in twips.
// Pixels are derived from it for the screen in use; nothing is ever read back from a widget.
// Token positions live in the board (they move at run time), so the token rows here give only
// what does not move.

#include <span>

namespace pellix::layout {

enum class ControlKind { Token, CourtArea, CommandButton, Label, TextBox, PictureBox, CheckBox, SheetView, Timer };

// The two Gothic faces the layout names; they are mapped onto installed faces at start-up.
inline constexpr const char* kProportionalGothic = "ＭＳ Ｐゴシック";
inline constexpr const char* kFixedGothic = "ＭＳ ゴシック";

struct FontSpec {
    const char* family = nullptr;  // null: the window's default font
    double pointSize = 0;
    int weight = 400;
};

struct ControlLayout {
    const char* name;
    int index;  // array index, 0 for a control that is not in an array
    ControlKind kind;
    int left, top, width, height;  // twips; 0 for tokens (the board holds their place) and timers
    int tabIndex;                  // -1: no tab position
    const char* text;              // caption or text, nullptr for none
    const char* toolTip;           // nullptr for none
    FontSpec font;
    bool visible;
    bool enabled;
};

inline constexpr int kTokenSize = 1575;
// The far corner of everything the layout places: the right end of the banner, its bottom edge.
inline constexpr int kLayoutWidth = 17040;
inline constexpr int kLayoutHeight = 10575;
// The window shows the layout with the same margin on the right and below as on the left.
inline constexpr int kWindowMargin = 120;
// The window's own font, for the controls that name none.
inline constexpr FontSpec kWindowFont{kProportionalGothic, 9, 400};

std::span<const ControlLayout> controls();
const ControlLayout* find(const char* name, int index = 0);

}  // namespace pellix::layout
