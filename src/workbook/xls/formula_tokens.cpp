#include "workbook/xls/formula_tokens.h"

#include "workbook/xls/byte_order.h"

#include <cstdio>

namespace pellix::xls {

namespace {

// Bits 14 and 15 of a reference's column field say whether column and row are relative.
constexpr std::uint16_t kColumnRelative = 0x4000;
constexpr std::uint16_t kRowRelative = 0x8000;

std::string hexByte(std::uint8_t value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

// RgceLocRel ([MS-XLS] 2.5.199): a relative row is a signed 16-bit offset, a relative column a
// signed 8-bit offset in the low byte; both become the RgceLoc of the cell they reach from
// (`row`, `column`). Absolute parts stay as they are.
void resolveLocation(std::uint8_t* rowField, std::uint8_t* columnField, int row, int column)
{
    const std::uint16_t columnBits = readU16(columnField);
    if (columnBits & kRowRelative) {
        const auto offset = static_cast<std::int16_t>(readU16(rowField));
        writeU16(rowField, static_cast<std::uint16_t>((row + offset) & 0xFFFF));
    }
    if (columnBits & kColumnRelative) {
        const auto offset = static_cast<std::int8_t>(columnBits & 0xFF);
        const auto resolved = static_cast<std::uint16_t>((column + offset) & 0xFF);
        writeU16(columnField, static_cast<std::uint16_t>((columnBits & 0xC000) | resolved));
    }
}

}  // namespace

CellTokens sharedTokensForCell(std::span<const std::uint8_t> shared, int row, int column)
{
    CellTokens out;
    out.tokens.assign(shared.begin(), shared.end());
    std::uint8_t* data = out.tokens.data();
    const std::size_t size = out.tokens.size();
    std::size_t at = 0;
    while (at < size) {
        const std::uint8_t id = data[at];
        std::size_t length = 0;  // data bytes after the id
        if (id < 0x20) {
            switch (id) {
            case 0x01: case 0x02: length = 4; break;   // PtgExp, PtgTbl
            case 0x17:                                  // PtgStr: ShortXLUnicodeString
                length = at + 3 > size ? size : 2 + std::size_t{data[at + 1]} * ((data[at + 2] & 0x01) ? 2 : 1);
                break;
            case 0x19:                                  // PtgAttr; PtgAttrChoose has a jump table
                length = at + 4 > size ? size : 3 + ((data[at + 1] & 0x04) ? 2 * (std::size_t{readU16(data + at + 2)} + 1) : 0);
                break;
            case 0x1C: case 0x1D: length = 1; break;   // PtgErr, PtgBool
            case 0x1E: length = 2; break;               // PtgInt
            case 0x1F: length = 8; break;               // PtgNum
            default:
                if (id >= 0x03 && id <= 0x16) {        // operators, PtgParen, PtgMissArg
                    length = 0;
                    break;
                }
                out.problem = "token " + hexByte(id);
                return out;
            }
        } else {
            // Classed tokens: bits 5-6 give the value class, the rest the token.
            switch (id & 0x1F) {
            case 0x00: length = 7; break;   // PtgArray (its values follow the tokens)
            case 0x01: length = 2; break;   // PtgFunc
            case 0x02: length = 3; break;   // PtgFuncVar
            case 0x03: length = 4; break;   // PtgName
            case 0x04: length = 4; break;   // PtgRef: absolute in a shared formula too
            case 0x05: length = 8; break;   // PtgArea
            case 0x06: case 0x07: case 0x08: length = 6; break;  // PtgMemArea, PtgMemErr, PtgMemNoMem
            case 0x09: length = 2; break;   // PtgMemFunc
            case 0x0A: length = 4; break;   // PtgRefErr
            case 0x0B: length = 8; break;   // PtgAreaErr
            case 0x0C: length = 4; break;   // PtgRefN
            case 0x0D: length = 8; break;   // PtgAreaN
            case 0x19: length = 6; break;   // PtgNameX
            case 0x1A: length = 6; break;   // PtgRef3d
            case 0x1B: length = 10; break;  // PtgArea3d
            case 0x1C: length = 6; break;   // PtgRefErr3d
            case 0x1D: length = 10; break;  // PtgAreaErr3d
            default:
                // PtgMemAreaN and PtgMemNoMemN have a longer form in cell formulas; the rest are unknown.
                out.problem = "token " + hexByte(id);
                return out;
            }
        }
        if (at + 1 + length > size) {
            out.problem = "a token that runs past the end of the formula";
            return out;
        }
        std::uint8_t* body = data + at + 1;
        switch (id & 0x1F) {
        case 0x0C:  // PtgRefN -> PtgRef
            if (id >= 0x20) {
                resolveLocation(body, body + 2, row, column);
                data[at] = static_cast<std::uint8_t>((id & 0x60) | 0x04);
            }
            break;
        case 0x0D:  // PtgAreaN -> PtgArea
            if (id >= 0x20) {
                resolveLocation(body, body + 4, row, column);
                resolveLocation(body + 2, body + 6, row, column);
                data[at] = static_cast<std::uint8_t>((id & 0x60) | 0x05);
            }
            break;
        case 0x1A:  // PtgRef3d: ixti, then RgceLocRel in a shared formula
            if (id >= 0x20)
                resolveLocation(body + 2, body + 4, row, column);
            break;
        case 0x1B:  // PtgArea3d: ixti, then RgceAreaRel
            if (id >= 0x20) {
                resolveLocation(body + 2, body + 6, row, column);
                resolveLocation(body + 4, body + 8, row, column);
            }
            break;
        default:
            break;
        }
        at += 1 + length;
    }
    return out;
}

}  // namespace pellix::xls
