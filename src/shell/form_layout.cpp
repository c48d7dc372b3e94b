#include "shell/form_layout.h"

#include "board/board.h"
#include "workbook/display_format.h"

#include <array>
#include <cstring>

namespace pellix::layout {

namespace {

using K = ControlKind;
constexpr FontSpec kDefault{};
constexpr FontSpec kPGothic36{kProportionalGothic, 36, 400};

// clang-format off
constexpr std::array kControls{
    //             name           idx kind             left   top    width  height tab text                                          tool-tip          font                               visible enabled
    ControlLayout{"picCourt",     1, K::CourtArea, courtSlotArea(1).left, courtSlotArea(1).top, courtSlotArea(1).width, courtSlotArea(1).height, -1, nullptr,                                       nullptr,          kDefault,                          true,  true},
    ControlLayout{"picCourt",     2, K::CourtArea, courtSlotArea(2).left, courtSlotArea(2).top, courtSlotArea(2).width, courtSlotArea(2).height, -1, nullptr,                                       nullptr,          kDefault,                          true,  true},
    ControlLayout{"picCourt",     3, K::CourtArea, courtSlotArea(3).left, courtSlotArea(3).top, courtSlotArea(3).width, courtSlotArea(3).height, -1, nullptr,                                       nullptr,          kDefault,                          true,  true},
    ControlLayout{"picCourt",     4, K::CourtArea, courtSlotArea(4).left, courtSlotArea(4).top, courtSlotArea(4).width, courtSlotArea(4).height, -1, nullptr,                                       nullptr,          kDefault,                          true,  true},
    ControlLayout{"lblStatus",    0, K::Label,         6000,  3720,  4095,  255, 26, "Status : ",                                   nullptr,          kDefault,                          true,  true},
    ControlLayout{"Label1",       0, K::Label,        10560,   360,  3735,  855,  4, "第          節",                             nullptr,          kPGothic36,                        true,  true},
    ControlLayout{"lblVer",       0, K::Label,        10920,  1680,  3255,  255, 23, "Pellix乱打 入力用紙　ver 0.15.061110",        nullptr,          kDefault,                          true,  true},
    ControlLayout{"lblView",      0, K::Label,        12720,  2040,  1455,  255, 25, "ポイント表示形式",                           nullptr,          kDefault,                          true,  true},
    ControlLayout{"lblGuide",     0, K::Label,         6480,  1560,  4320,  420, -1, "",                                            nullptr,          {kProportionalGothic, 14, 700},    true,  true},
    ControlLayout{"lblPrize",     0, K::Label,         1560, 10320, 15480,  255, 28, "各種称号",                                   nullptr,          kDefault,                          false, true},
    ControlLayout{"cmdMiss",      0, K::CommandButton, 6480,   120,  2775, 1815, 27, "通常ミス",                                   nullptr,          {kProportionalGothic, 27.75, 700}, false, true},
    ControlLayout{"cmdSave",      0, K::CommandButton, 6480,  2040,  2775, 1575,  1, "決定",                                       nullptr,          kPGothic36,                        true,  false},
    ControlLayout{"cmdPrev",      0, K::CommandButton, 9600,   240,   975,  975,  3, "≪",                                         nullptr,          kPGothic36,                        true,  true},
    ControlLayout{"txtTurn",      0, K::TextBox,      11400,   240,  2055, 1095,  5, "7878",                                       nullptr,          {kFixedGothic, 48, 400},           true,  true},
    ControlLayout{"cmdNext",      0, K::CommandButton,14280,   240,   975,  975,  2, "≫",                                         nullptr,          kPGothic36,                        true,  true},
    ControlLayout{"picQVN",       0, K::PictureBox,   14280,  1320,   810,  525, 22, nullptr,                                       nullptr,          kDefault,                          true,  true},
    ControlLayout{"chkView",      0, K::CheckBox,     14280,  1920,   855,  375, 24, captionOf(DisplayFormat::Normal),             nullptr,          kDefault,                          true,  true},
    ControlLayout{"OLEWorkSheet", 0, K::SheetView,      120,  5760, 15135, 4455,  0, nullptr,                                       nullptr,          kDefault,                          true,  true},
    ControlLayout{"picUser",      1, K::Token,            0,     0,     0,    0,  6, nullptr,                                       nullptr,          kDefault,                          true,  true},
    ControlLayout{"picUser",      2, K::Token,            0,     0,     0,    0,  7, nullptr,                                       nullptr,          kDefault,                          true,  true},
    ControlLayout{"picUser",      3, K::Token,            0,     0,     0,    0,  8, nullptr,                                       nullptr,          kDefault,                          true,  true},
    ControlLayout{"picUser",      4, K::Token,            0,     0,     0,    0,  9, nullptr,                                       nullptr,          kDefault,                          true,  true},
    ControlLayout{"picUser",      5, K::Token,            0,     0,     0,    0, 10, nullptr,                                       nullptr,          kDefault,                          true,  true},
    ControlLayout{"picUser",      6, K::Token,            0,     0,     0,    0, 11, nullptr,                                       nullptr,          kDefault,                          true,  true},
    ControlLayout{"picUser",      7, K::Token,            0,     0,     0,    0, 12, nullptr,                                       nullptr,          kDefault,                          true,  true},
    ControlLayout{"picUser",      8, K::Token,            0,     0,     0,    0, 13, nullptr,                                       nullptr,          kDefault,                          true,  true},
    ControlLayout{"picUser",      9, K::Token,            0,     0,     0,    0, 14, nullptr,                                       nullptr,          kDefault,                          true,  true},
    ControlLayout{"picUser",     10, K::Token,            0,     0,     0,    0, 16, nullptr,                                       "ゲストさんＡ",   kDefault,                          true,  true},
    ControlLayout{"picUser",     11, K::Token,            0,     0,     0,    0, 18, nullptr,                                       "ゲストさんB",    kDefault,                          true,  true},
    ControlLayout{"picUser",     12, K::Token,            0,     0,     0,    0, 15, nullptr,                                       "ゲストさんＣ",   kDefault,                          true,  true},
    ControlLayout{"picUser",     21, K::Token,            0,     0,     0,    0, 17, nullptr,                                       nullptr,          kDefault,                          true,  true},
    ControlLayout{"picUser",     22, K::Token,            0,     0,     0,    0, 21, nullptr,                                       nullptr,          kDefault,                          true,  true},
    ControlLayout{"picUser",     23, K::Token,            0,     0,     0,    0, 19, nullptr,                                       nullptr,          kDefault,                          true,  true},
    ControlLayout{"picUser",     24, K::Token,            0,     0,     0,    0, 20, nullptr,                                       nullptr,          kDefault,                          true,  true},
    ControlLayout{"timDown",      0, K::Timer,            0,     0,     0,    0, -1, nullptr,                                       nullptr,          kDefault,                          false, true},
    ControlLayout{"timMiss",      0, K::Timer,            0,     0,     0,    0, -1, nullptr,                                       nullptr,          kDefault,                          false, true},
};
// clang-format on

}  // namespace

std::span<const ControlLayout> controls() {
    return kControls;
}

const ControlLayout* find(const char* name, int index) {
    for (const ControlLayout& control : kControls) {
        if (std::strcmp(control.name, name) == 0 && control.index == index) {
            return &control;
        }
    }
    return nullptr;
}

}  // namespace pellix::layout
