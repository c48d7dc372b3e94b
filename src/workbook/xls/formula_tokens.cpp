#include "workbook/xls/formula_tokens.h"

#include "workbook/xls/byte_order.h"

#include <cstdio>
#include <optional>

namespace pellix::xls {

namespace {

// Bits 14 and 15 of a reference's column field say whether column and row are relative.
constexpr std::uint16_t kColumnRelative = 0x4000;
constexpr std::uint16_t kRowRelative = 0x8000;

std::string hexByte(std::uint8_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

// RgceLocRel ([MS-XLS] 2.5.199): a relative row is a signed 16-bit offset, a relative column a
// signed 8-bit offset in the low byte; both become the RgceLoc of the cell they reach from
// (`row`, `column`). Absolute parts stay as they are.
void resolveLocation(std::uint8_t* rowField, std::uint8_t* columnField, int row, int column) {
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

// Data bytes after the id of an unclassed token (ids below 0x20); none for an unknown one.
std::optional<std::size_t> basicTokenLength(const std::uint8_t* data, std::size_t at, std::size_t size) {
    const std::uint8_t id = data[at];
    switch (id) {
    case 0x01:
    case 0x02:
        return 4;  // PtgExp, PtgTbl
    case 0x17:     // PtgStr: ShortXLUnicodeString
        return at + 3 > size ? size : 2 + std::size_t{data[at + 1]} * ((data[at + 2] & 0x01) ? 2 : 1);
    case 0x19:  // PtgAttr; PtgAttrChoose has a jump table
        return at + 4 > size ? size : 3 + ((data[at + 1] & 0x04) ? 2 * (std::size_t{readU16(data + at + 2)} + 1) : 0);
    case 0x1C:
    case 0x1D:
        return 1;  // PtgErr, PtgBool
    case 0x1E:
        return 2;  // PtgInt
    case 0x1F:
        return 8;  // PtgNum
    default:
        if (id >= 0x03 && id <= 0x16)  // operators, PtgParen, PtgMissArg
            return 0;
        return std::nullopt;
    }
}

// Data bytes after the id of a classed token: bits 5-6 give the value class, the rest the token.
std::optional<std::size_t> classedTokenLength(std::uint8_t id) {
    switch (id & 0x1F) {
    case 0x00:
        return 7;  // PtgArray (its values follow the tokens)
    case 0x01:
        return 2;  // PtgFunc
    case 0x02:
        return 3;  // PtgFuncVar
    case 0x03:
        return 4;  // PtgName
    case 0x04:
        return 4;  // PtgRef: absolute in a shared formula too
    case 0x05:
        return 8;  // PtgArea
    case 0x06:
    case 0x07:
    case 0x08:
        return 6;  // PtgMemArea, PtgMemErr, PtgMemNoMem
    case 0x09:
        return 2;  // PtgMemFunc
    case 0x0A:
        return 4;  // PtgRefErr
    case 0x0B:
        return 8;  // PtgAreaErr
    case 0x0C:
        return 4;  // PtgRefN
    case 0x0D:
        return 8;  // PtgAreaN
    case 0x19:
        return 6;  // PtgNameX
    case 0x1A:
        return 6;  // PtgRef3d
    case 0x1B:
        return 10;  // PtgArea3d
    case 0x1C:
        return 6;  // PtgRefErr3d
    case 0x1D:
        return 10;  // PtgAreaErr3d
    default:
        // PtgMemAreaN and PtgMemNoMemN have a longer form in cell formulas; the rest are unknown.
        return std::nullopt;
    }
}

// Turns the classed token at `at`, when it is relative to the cell, into the ordinary token
// that names the same cells from (`row`, `column`).
void resolveToken(std::uint8_t* data, std::size_t at, int row, int column) {
    const std::uint8_t id = data[at];
    if (id < 0x20) return;
    std::uint8_t* body = data + at + 1;
    switch (id & 0x1F) {
    case 0x0C:  // PtgRefN -> PtgRef
        resolveLocation(body, body + 2, row, column);
        data[at] = static_cast<std::uint8_t>((id & 0x60) | 0x04);
        break;
    case 0x0D:  // PtgAreaN -> PtgArea
        resolveLocation(body, body + 4, row, column);
        resolveLocation(body + 2, body + 6, row, column);
        data[at] = static_cast<std::uint8_t>((id & 0x60) | 0x05);
        break;
    case 0x1A:  // PtgRef3d: ixti, then RgceLocRel in a shared formula
        resolveLocation(body + 2, body + 4, row, column);
        break;
    case 0x1B:  // PtgArea3d: ixti, then RgceAreaRel
        resolveLocation(body + 2, body + 6, row, column);
        resolveLocation(body + 4, body + 8, row, column);
        break;
    default:
        break;
    }
}

}  // namespace

CellTokens sharedTokensForCell(std::span<const std::uint8_t> shared, int row, int column) {
    CellTokens out;
    out.tokens.assign(shared.begin(), shared.end());
    std::uint8_t* data = out.tokens.data();
    const std::size_t size = out.tokens.size();
    std::size_t at = 0;
    while (at < size) {
        const std::uint8_t id = data[at];
        const std::optional<std::size_t> length = id < 0x20 ? basicTokenLength(data, at, size) : classedTokenLength(id);
        if (!length) {
            out.problem = "token " + hexByte(id);
            return out;
        }
        if (at + 1 + *length > size) {
            out.problem = "a token that runs past the end of the formula";
            return out;
        }
        resolveToken(data, at, row, column);
        at += 1 + *length;
    }
    return out;
}

}  // namespace pellix::xls
