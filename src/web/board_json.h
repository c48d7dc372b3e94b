#pragma once

// The boards' state as the web board sends it: one line of JSON (no line breaks, so that it is
// one "data:" line of an event).

#include "workbook/board_state.h"

#include <QByteArray>

namespace pellix::web {

QByteArray stateJson(const BoardState& state);

// The fill as CSS and the JSON write it: "#RRGGBB".
QString fillText(std::uint32_t rgb);

}  // namespace pellix::web
