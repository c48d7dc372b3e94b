#pragma once

// Parsed formula tokens (Ptg, [MS-XLS] 2.5.198): just enough to walk a token array and to turn
// the tokens a shared formula holds into the tokens of one ordinary cell formula.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace pellix::xls {

// The tokens of a shared formula ([MS-XLS] 2.4.260 ShrFmla) as cell (`row`, `column`) of its
// range would hold them on their own: references relative to the cell (PtgRefN, PtgAreaN and the
// relative forms of PtgRef3d and PtgArea3d) become ordinary references to the cells they name
// from there, wrapping around the sheet's edges as the spreadsheet program does. Every other
// token is kept, so the array has the same length. Returns the reason instead when the array
// holds a token whose length or meaning is not known here.
struct CellTokens {
    std::vector<std::uint8_t> tokens;
    std::string problem;  // empty when `tokens` is valid
};
CellTokens sharedTokensForCell(std::span<const std::uint8_t> shared, int row, int column);

}  // namespace pellix::xls
