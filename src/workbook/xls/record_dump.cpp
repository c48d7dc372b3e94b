#include "workbook/xls/record_dump.h"

#include "workbook/xls/biff.h"
#include "workbook/xls/byte_order.h"
#include "workbook/xls/cell_text.h"
#include "workbook/xls/compound_document.h"
#include "files/xls_error.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace pellix::xls {

namespace {

// Record names of [MS-XLS] 2.3 for the records a workbook of the spreadsheet program commonly holds.
constexpr std::pair<std::uint16_t, std::string_view> kRecordNames[] = {
    {0x0006, "FORMULA"},
    {0x000A, "EOF"},
    {0x000C, "CALCCOUNT"},
    {0x000D, "CALCMODE"},
    {0x000E, "PRECISION"},
    {0x000F, "REFMODE"},
    {0x0010, "DELTA"},
    {0x0011, "ITERATION"},
    {0x0012, "PROTECT"},
    {0x0013, "PASSWORD"},
    {0x0014, "HEADER"},
    {0x0015, "FOOTER"},
    {0x0017, "EXTERNSHEET"},
    {0x0018, "NAME"},
    {0x0019, "WINDOWPROTECT"},
    {0x001C, "NOTE"},
    {0x001D, "SELECTION"},
    {0x0022, "DATE1904"},
    {0x0026, "LEFTMARGIN"},
    {0x0027, "RIGHTMARGIN"},
    {0x0028, "TOPMARGIN"},
    {0x0029, "BOTTOMMARGIN"},
    {0x002A, "PRINTHEADERS"},
    {0x002B, "PRINTGRIDLINES"},
    {0x002F, "FILEPASS"},
    {0x0031, "FONT"},
    {0x003C, "CONTINUE"},
    {0x003D, "WINDOW1"},
    {0x0040, "BACKUP"},
    {0x0041, "PANE"},
    {0x0042, "CODEPAGE"},
    {0x004D, "PLS"},
    {0x0055, "DEFCOLWIDTH"},
    {0x005C, "WRITEACCESS"},
    {0x005F, "SAVERECALC"},
    {0x007D, "COLINFO"},
    {0x0080, "GUTS"},
    {0x0081, "WSBOOL"},
    {0x0082, "GRIDSET"},
    {0x0083, "HCENTER"},
    {0x0084, "VCENTER"},
    {0x0085, "BOUNDSHEET"},
    {0x0086, "WRITEPROT"},
    {0x008C, "COUNTRY"},
    {0x008D, "HIDEOBJ"},
    {0x0092, "PALETTE"},
    {0x009C, "FNGROUPCOUNT"},
    {0x00A1, "SETUP"},
    {0x00BD, "MULRK"},
    {0x00BE, "MULBLANK"},
    {0x00C1, "MMS"},
    {0x00D6, "RSTRING"},
    {0x00D7, "DBCELL"},
    {0x00DA, "BOOKBOOL"},
    {0x00E0, "XF"},
    {0x00E1, "INTERFACEHDR"},
    {0x00E2, "INTERFACEEND"},
    {0x00E5, "MERGECELLS"},
    {0x00EB, "MSODRAWINGGROUP"},
    {0x00EC, "MSODRAWING"},
    {0x00FC, "SST"},
    {0x00FD, "LABELSST"},
    {0x00FF, "EXTSST"},
    {0x0160, "USESELFS"},
    {0x01AE, "SUPBOOK"},
    {0x01B6, "TXO"},
    {0x01B8, "HLINK"},
    {0x01BE, "DV"},
    {0x01C1, "RECALCID"},
    {0x0200, "DIMENSIONS"},
    {0x0201, "BLANK"},
    {0x0203, "NUMBER"},
    {0x0204, "LABEL"},
    {0x0205, "BOOLERR"},
    {0x0207, "STRING"},
    {0x0208, "ROW"},
    {0x020B, "INDEX"},
    {0x0221, "ARRAY"},
    {0x0225, "DEFAULTROWHEIGHT"},
    {0x0236, "TABLE"},
    {0x023E, "WINDOW2"},
    {0x027E, "RK"},
    {0x0293, "STYLE"},
    {0x041E, "FORMAT"},
    {0x04BC, "SHRFMLA"},
    {0x0809, "BOF"},
    {0x0863, "BOOKEXT"},
    {0x0867, "FEATHDR"},
    {0x087C, "XFCRC"},
    {0x087D, "XFEXT"},
    {0x088C, "COMPAT12"},
    {0x0892, "STYLEEXT"},
    {0x0896, "THEME"},
    {0x089A, "MTRSETTINGS"},
    {0x08A3, "FORCEFULLCALCULATION"},
    {0x00A0, "SCL"},
    {0x01AF, "PROT4REV"},
    {0x0161, "DSF"},
    {0x01C0, "EXCEL9FILE"},
    {0x013D, "RRTABID"},
    {0x00DE, "OLESIZE"},
    {0x01BC, "PROT4REVPASS"},
    {0x01B7, "REFRESHALL"},
    {0x00EF, "PHONETICPR"},
    {0x01B0, "CONDFMT"},
    {0x01B1, "CF"},
};

std::string format(const char* pattern, auto... values) {
    char text[160];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

std::string cellAt(const std::uint8_t* data) {
    return cellName(readU16(data), readU16(data + 2)) + " xf=" + std::to_string(readU16(data + 4));
}

// A short XLUnicodeString (u8 count) or XLUnicodeString (u16 count) read within `available` bytes.
std::string unicodeString(const std::uint8_t* data, std::size_t available, bool shortCount) {
    const std::size_t head = shortCount ? 2 : 3;
    if (available < head) return {};
    const std::size_t count = shortCount ? data[0] : readU16(data);
    const bool highByte = data[head - 1] & 0x01;
    std::string text;
    appendUtf16AsUtf8(text, data + head, std::min(count, (available - head) / (highByte ? 2 : 1)), highByte);
    return "\"" + text + "\"";
}

// What the engine reads of a record, briefly; "" for the others.
std::string decode(std::uint16_t id, const std::uint8_t* data, std::size_t size) {
    const auto has = [&](std::size_t bytes) { return size >= bytes; };
    switch (id) {
    case kSidBof:
        if (!has(4)) break;
        return format("version=%04X kind=", readU16(data)) + [&]() -> std::string {
            switch (readU16(data + 2)) {
            case kBofGlobals:
                return "globals";
            case kBofWorksheet:
                return "worksheet";
            case 0x0020:
                return "chart";
            case 0x0040:
                return "macro sheet";
            default:
                return format("%04X", readU16(data + 2));
            }
        }();
    case kSidBoundSheet8:
        if (!has(8)) break;
        return "sheet " + unicodeString(data + 6, size - 6, true) + " at " + std::to_string(readU32(data))
               + (data[4] & 0x03 ? " hidden" : "");
    case kSidWindow1:
        if (!has(12)) break;
        return "active sheet " + std::to_string(readU16(data + 10) + 1);
    case kSidSst:
        if (!has(8)) break;
        return "cells=" + std::to_string(readU32(data)) + " strings=" + std::to_string(readU32(data + 4));
    case kSidLabelSst:
        if (!has(10)) break;
        return cellAt(data) + " string=" + std::to_string(readU32(data + 6));
    case kSidNumber:
        if (!has(14)) break;
        return cellAt(data) + " " + numberText(readF64(data + 6));
    case kSidRk:
        if (!has(10)) break;
        return cellAt(data) + " " + numberText(decodeRk(readU32(data + 6)));
    case kSidBlank:
        if (!has(6)) break;
        return cellAt(data);
    case kSidBoolErr:
        if (!has(8)) break;
        return cellAt(data) + (data[7] ? format(" error=%02X", data[6]) : data[6] ? " TRUE" : " FALSE");
    case kSidLabel:
    case kSidRString:
        if (!has(9)) break;
        return cellAt(data) + " " + unicodeString(data + 6, size - 6, false);
    case kSidFormula:
        if (!has(20)) break;
        return cellAt(data)
               + (readU16(data + 12) == 0xFFFF ? format(" result type %u", data[6])
                                               : " = " + numberText(readF64(data + 6)));
    case kSidString:
        return unicodeString(data, size, false);
    case kSidMulRk:
    case kSidMulBlank: {
        if (!has(6)) break;
        const std::size_t each = id == kSidMulRk ? 6 : 2;
        const std::size_t count = (size - 6) / each;
        std::string text = cellName(readU16(data), readU16(data + 2)) + ":"
                           + cellName(readU16(data), readU16(data + 2) + static_cast<int>(count) - 1);
        if (id == kSidMulRk)
            for (std::size_t k = 0; k < count; ++k) {
                text += ' ';
                text += numberText(decodeRk(readU32(data + 6 + 6 * k)));
            }
        return text;
    }
    case kSidRow:
        if (!has(16)) break;
        return "row " + std::to_string(readU16(data) + 1)
               + (readU16(data + 4) > readU16(data + 2)
                      ? " cells " + columnName(readU16(data + 2)) + "-" + columnName(readU16(data + 4) - 1)
                      : std::string(" no cells"))
               + " height=" + std::to_string(readU16(data + 6) & 0x7FFF) + (data[12] & 0x20 ? " hidden" : "")
               + (data[12] & 0x40 ? " custom" : "");
    case kSidDbCell:
        if (!has(4)) break;
        return format("first row %u bytes back, %zu rows", readU32(data), (size - 4) / 2);
    case kSidIndex:
        if (!has(16)) break;
        return format("rows %u-%u, %zu blocks", readU32(data + 4) + 1, readU32(data + 8), (size - 16) / 4);
    case kSidDimensions:
        if (!has(14)) break;
        if (readU32(data + 4) <= readU32(data) || readU16(data + 10) <= readU16(data + 8)) return "no cells";
        return cellName(static_cast<int>(readU32(data)), readU16(data + 8)) + ":"
               + cellName(static_cast<int>(readU32(data + 4)) - 1, readU16(data + 10) - 1);
    case kSidXf:
        if (!has(20)) break;
        return format("font=%u format=%u fill=%u colour=%u", readU16(data), readU16(data + 2), readU32(data + 14) >> 26,
                      readU16(data + 18) & 0x7F);
    default:
        break;
    }
    return {};
}

}  // namespace

std::string_view recordName(std::uint16_t id) {
    for (const auto& [known, name] : kRecordNames)
        if (known == id) return name;
    return {};
}

std::vector<std::string> dumpRecords(std::span<const std::uint8_t> file, const std::string& displayName) {
    CompoundDocument document = readCompoundDocument(file, displayName);
    const CompoundEntry* workbook = document.stream("Workbook");
    if (workbook == nullptr) workbook = document.stream("Book");
    if (workbook == nullptr) throw XlsError(displayName + " is not a spreadsheet workbook");
    const std::vector<std::uint8_t>& stream = workbook->data;
    std::vector<std::string> lines;
    for (std::size_t at = 0; at + 4 <= stream.size();) {
        const std::uint16_t id = readU16(stream.data() + at);
        const std::size_t size = readU16(stream.data() + at + 2);
        std::string line =
            std::to_string(at) + format("\t%04X ", id) + std::string(recordName(id)) + "\t" + std::to_string(size);
        if (at + 4 + size > stream.size()) {
            lines.push_back(line + "\tcut short: the stream ends " + std::to_string(stream.size() - at - 4)
                            + " bytes on");
            return lines;
        }
        if (const std::string text = decode(id, stream.data() + at + 4, size); !text.empty()) line += "\t" + text;
        lines.push_back(std::move(line));
        at += 4 + size;
    }
    return lines;
}

}  // namespace pellix::xls
