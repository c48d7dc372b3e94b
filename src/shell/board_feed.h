#pragma once

// What both boards show, as the window has it: the state worked out from its sheet view, its
// board and its turn, and the pictures its tokens and its court show.

#include "workbook/board_state.h"

#include <QPixmap>

#include <array>

namespace pellix {

struct BoardFeed {
    BoardState state;
    std::array<QPixmap, 13> pictures{};  // 1..12: the players' token pictures
    QPixmap court;
};

}  // namespace pellix
