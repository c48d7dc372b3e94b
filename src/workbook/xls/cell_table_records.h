#pragma once

// What the parts of the cell table (sheet_cells.cpp: cells read and edited; cell_table_reader.cpp:
// reading the table; shared_formulas.cpp: formula groups; row_blocks.cpp: writing the row blocks
// and their index) share: record ids and flags of the table, and how a new cell record is built.
// Private to them.

#include "workbook/xls/biff.h"
#include "workbook/xls/byte_order.h"
#include "workbook/xls/shared_strings.h"
#include "workbook/xls/workbook.h"

#include <cstdint>
#include <vector>

namespace pellix::xls::cell_table {

inline constexpr std::uint16_t kSidWindow2 = 0x023E;
inline constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// ROW flags, byte 12.
inline constexpr std::uint8_t kRowHidden = 0x20;        // fDyZero
inline constexpr std::uint8_t kRowCustomHeight = 0x40;  // fUnsynced
inline constexpr std::uint8_t kRowHasFormat = 0x80;     // fGhostDirty

// FORMULA: the flag fShrFmla (in the flags after the cached value), and the tokens that name
// the anchor of a shared formula or array (PtgExp) or of a data table (PtgTbl).
inline constexpr std::uint16_t kFormulaShared = 0x0008;
inline constexpr std::uint8_t kPtgExp = 0x01;
inline constexpr std::uint8_t kPtgTbl = 0x02;

inline bool isGroupRecord(std::uint16_t type) {
    return type == kSidShrFmla || type == kSidArray || type == kSidTable;
}

inline bool isTableRecord(std::uint16_t type) {
    return isCellRecord(type) || type == kSidRow || type == kSidDbCell;
}

// Records that belong to the cell record before them.
inline bool isFollowUp(std::uint16_t type) {
    return type == kSidString || type == kSidShrFmla || type == kSidArray || type == kSidTable || type == kSidContinue;
}

inline std::size_t minimumSize(std::uint16_t type) {
    switch (type) {
    case kSidNumber:
        return 14;
    case kSidRk:
        return 10;
    case kSidLabelSst:
        return 10;
    case kSidBlank:
        return 6;
    case kSidBoolErr:
        return 8;
    case kSidFormula:
        return 22;
    case kSidLabel:
    case kSidRString:
        return 9;
    case kSidMulRk:
        return 12;
    case kSidMulBlank:
        return 8;
    default:
        return 6;
    }
}

inline std::vector<std::uint8_t> cellRecord(std::uint16_t type, int row, int column, std::uint16_t format,
                                            std::size_t extra) {
    std::vector<std::uint8_t> bytes(4 + 6 + extra);
    writeU16(bytes.data(), type);
    writeU16(bytes.data() + 2, static_cast<std::uint16_t>(6 + extra));
    writeU16(bytes.data() + 4, static_cast<std::uint16_t>(row));
    writeU16(bytes.data() + 6, static_cast<std::uint16_t>(column));
    writeU16(bytes.data() + 8, format);
    return bytes;
}

// The record of a cell of `format` holding `value` (not empty): RK where the number fits it,
// else NUMBER; LABELSST; BOOLERR.
inline std::vector<std::uint8_t> valueRecord(int row, int column, std::uint16_t format, const CellValue& value,
                                             SharedStrings& strings) {
    std::vector<std::uint8_t> bytes;
    switch (value.kind) {
    case ValueKind::Empty:
        break;
    case ValueKind::Number:
        if (auto rk = encodeRk(value.number)) {
            bytes = cellRecord(kSidRk, row, column, format, 4);
            writeU32(bytes.data() + 10, *rk);
        } else {
            bytes = cellRecord(kSidNumber, row, column, format, 8);
            writeF64(bytes.data() + 10, value.number);
        }
        break;
    case ValueKind::Text:
        bytes = cellRecord(kSidLabelSst, row, column, format, 4);
        writeU32(bytes.data() + 10, strings.indexOf(value.text));
        break;
    case ValueKind::Boolean:
    case ValueKind::Error:
        bytes = cellRecord(kSidBoolErr, row, column, format, 2);
        bytes[10] = value.kind == ValueKind::Boolean ? static_cast<std::uint8_t>(value.boolean) : value.error;
        bytes[11] = value.kind == ValueKind::Error ? 1 : 0;
        break;
    }
    return bytes;
}

}  // namespace pellix::xls::cell_table
