#pragma once

// Record ids, record views and the small value codings of the BIFF8 record stream
// ([MS-XLS] 2.3 record enumeration, 2.5 structures).

#include "workbook/xls/cell_text.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pellix::xls {

// Record ids, named after the format documentation's record names.
inline constexpr std::uint16_t kSidFormula = 0x0006;
inline constexpr std::uint16_t kSidEof = 0x000A;
inline constexpr std::uint16_t kSidFilePass = 0x002F;
inline constexpr std::uint16_t kSidContinue = 0x003C;
inline constexpr std::uint16_t kSidWindow1 = 0x003D;
inline constexpr std::uint16_t kSidDefColWidth = 0x0055;
inline constexpr std::uint16_t kSidColInfo = 0x007D;
inline constexpr std::uint16_t kSidBoundSheet8 = 0x0085;
inline constexpr std::uint16_t kSidPalette = 0x0092;
inline constexpr std::uint16_t kSidMulRk = 0x00BD;
inline constexpr std::uint16_t kSidMulBlank = 0x00BE;
inline constexpr std::uint16_t kSidRString = 0x00D6;
inline constexpr std::uint16_t kSidDbCell = 0x00D7;
inline constexpr std::uint16_t kSidXf = 0x00E0;
inline constexpr std::uint16_t kSidSst = 0x00FC;
inline constexpr std::uint16_t kSidExtSst = 0x00FF;
inline constexpr std::uint16_t kSidLabelSst = 0x00FD;
inline constexpr std::uint16_t kSidDimensions = 0x0200;
inline constexpr std::uint16_t kSidBlank = 0x0201;
inline constexpr std::uint16_t kSidNumber = 0x0203;
inline constexpr std::uint16_t kSidLabel = 0x0204;
inline constexpr std::uint16_t kSidBoolErr = 0x0205;
inline constexpr std::uint16_t kSidString = 0x0207;
inline constexpr std::uint16_t kSidRow = 0x0208;
inline constexpr std::uint16_t kSidIndex = 0x020B;
inline constexpr std::uint16_t kSidArray = 0x0221;
inline constexpr std::uint16_t kSidDefaultRowHeight = 0x0225;
inline constexpr std::uint16_t kSidTable = 0x0236;
inline constexpr std::uint16_t kSidRk = 0x027E;
inline constexpr std::uint16_t kSidBof = 0x0809;
inline constexpr std::uint16_t kSidShrFmla = 0x04BC;
inline constexpr std::uint16_t kSidXfCrc = 0x087C;

// Older BOF ids: BIFF2, BIFF3, BIFF4 streams begin with these.
inline constexpr std::uint16_t kSidBofBiff2 = 0x0009;
inline constexpr std::uint16_t kSidBofBiff3 = 0x0209;
inline constexpr std::uint16_t kSidBofBiff4 = 0x0409;

inline constexpr std::uint16_t kBofGlobals = 0x0005;
inline constexpr std::uint16_t kBofWorksheet = 0x0010;
inline constexpr std::uint16_t kBiff8Version = 0x0600;
inline constexpr std::uint16_t kBiff5Version = 0x0500;

inline constexpr std::size_t kMaxRecordData = 8224;
inline constexpr int kMaxCellFormats = 4050;
inline constexpr std::uint16_t kDefaultCellFormat = 15;

// One record of the stream: where its header starts and how much data follows it.
struct RecordView {
    std::uint32_t offset = 0;  // of the 4-byte header, from the start of the stream
    std::uint16_t type = 0;
    std::uint16_t size = 0;
    std::uint32_t end() const { return offset + 4 + size; }
};

// Inline: every record of a sheet goes through this on each open.
inline bool isCellRecord(std::uint16_t type) {
    switch (type) {
    case kSidFormula:
    case kSidNumber:
    case kSidRk:
    case kSidMulRk:
    case kSidLabelSst:
    case kSidLabel:
    case kSidRString:
    case kSidBlank:
    case kSidMulBlank:
    case kSidBoolErr:
        return true;
    default:
        return false;
    }
}

// RkNumber: the compact number coding of RK and MULRK ([MS-XLS] 2.5.217).
inline double decodeRk(std::uint32_t rk) {
    double value;
    if (rk & 2) {
        value = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
    } else {
        const std::uint64_t bits = static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&value, &bits, sizeof value);
    }
    return (rk & 1) ? value / 100 : value;
}
// The RK coding of `value` when one decodes back to it bit for bit.
std::optional<std::uint32_t> encodeRk(double value);

// Characters of an XLUnicodeString body: `count` characters, 8-bit (low bytes of UTF-16) or
// UTF-16LE, appended to `out` as UTF-8. Unpaired surrogates become U+FFFD.
void appendUtf16AsUtf8(std::string& out, const std::uint8_t* chars, std::size_t count, bool highByte);

}  // namespace pellix::xls
