#include "workbook/xls/cell_formats.h"

#include "workbook/xls/biff.h"
#include "workbook/xls/byte_order.h"
#include "workbook/xls/workbook.h"

#include <string_view>

namespace pellix::xls {

namespace {

// The default palette, icv 8..63 ([MS-XLS] 2.5.161 Icv).
constexpr std::array<std::uint32_t, 56> kDefaultPalette = {
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF, 0x800000, 0x008000,
    0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080, 0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF,
    0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF, 0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000,
    0x008080, 0x0000FF, 0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
    0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696, 0x003366, 0x339966,
    0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333,
};

// Bits of the u32 at offset 14 and the u16 at offset 18 of an XF.
constexpr std::uint32_t kHasXfExt = 1u << 25;
constexpr int kFillPatternShift = 26;
constexpr std::uint8_t kAtrPat = 0x40;  // byte 9: the fill is set in this cell format
constexpr std::uint16_t kSystemBackground = 65;

std::array<std::uint32_t, 256> crcTable() {
    // [MS-OSHARED] 2.4.3: polynomial 0xAF, not reflected, no final xor.
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t value = i << 24;
        for (int bit = 0; bit < 8; ++bit) value = (value & 0x80000000u) ? (value << 1) ^ 0xAFu : value << 1;
        table[i] = value;
    }
    return table;
}

std::string keyOf(const XfBytes& xf) {
    return std::string(reinterpret_cast<const char*>(xf.data()), xf.size());
}

}  // namespace

void CellFormats::setPalette(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return;
    palette_ = kDefaultPalette;
    const std::size_t entries = std::min<std::size_t>({std::size_t{readU16(data)}, (size - 2) / 4, palette_.size()});
    for (std::size_t i = 0; i < entries; ++i) {
        const std::uint8_t* rgb = data + 2 + 4 * i;
        palette_[i] = (static_cast<std::uint32_t>(rgb[0]) << 16) | (rgb[1] << 8) | rgb[2];
    }
    hasPalette_ = true;
}

void CellFormats::noteCrc(const std::uint8_t* data, std::size_t size) {
    crcValid_ = size >= 20 && readU16(data + 14) == xfs_.size() && readU32(data + 16) == checksum(xfs_);
}

std::uint32_t CellFormats::checksum(std::span<const XfBytes> xfs) {
    static const std::array<std::uint32_t, 256> table = crcTable();
    std::uint32_t crc = 0;
    for (const XfBytes& xf : xfs)
        for (std::uint8_t byte : xf) crc = (crc << 8) ^ table[(crc >> 24) ^ byte];
    return crc;
}

void CellFormats::patchCrc(std::uint8_t* data, std::size_t size) const {
    if (size < 20) return;
    writeU16(data + 14, static_cast<std::uint16_t>(xfs_.size()));
    writeU32(data + 16, checksum(xfs_));
}

std::uint16_t CellFormats::withFill(std::uint16_t base, int colorIndex, const std::string& displayName) {
    if (xfs_.empty()) throwDamaged(displayName, "it has no cell formats");
    std::size_t from = base;
    if (from >= xfs_.size() || (xfs_[from][4] & 0x04))  // out of range, or a style format
        from = xfs_.size() > kDefaultCellFormat ? kDefaultCellFormat : xfs_.size() - 1;
    XfBytes xf = xfs_[from];
    std::uint32_t borders = readU32(xf.data() + 14) & ~kHasXfExt & ~(0x3Fu << kFillPatternShift);
    std::uint16_t colours = readU16(xf.data() + 18) & ~0x3FFFu;
    if (colorIndex == kNoFill) {
        colours |= 64 | (kSystemBackground << 7);
    } else {
        borders |= 1u << kFillPatternShift;
        colours |= static_cast<std::uint16_t>(colorIndex + 7) | (kSystemBackground << 7);
    }
    writeU32(xf.data() + 14, borders);
    writeU16(xf.data() + 18, colours);
    xf[9] |= kAtrPat;
    if (xf == xfs_[from] && from == base) return base;

    for (; indexed_ < xfs_.size(); ++indexed_)
        if (!(xfs_[indexed_][4] & 0x04)) lookup_.emplace(keyOf(xfs_[indexed_]), static_cast<std::uint16_t>(indexed_));
    if (auto found = lookup_.find(keyOf(xf)); found != lookup_.end()) return found->second;
    if (xfs_.size() >= static_cast<std::size_t>(kMaxCellFormats))
        throw XlsError(displayName + " has too many cell formats to add another fill colour");
    xfs_.push_back(xf);
    return static_cast<std::uint16_t>(xfs_.size() - 1);
}

int CellFormats::fillColorIndex(std::uint16_t index) const {
    if (index >= xfs_.size()) return -1;
    const XfBytes& xf = xfs_[index];
    if ((readU32(xf.data() + 14) >> kFillPatternShift) == 0) return -1;
    const int icv = readU16(xf.data() + 18) & 0x7F;
    if (icv >= 8 && icv <= 63) return icv - 7;
    if (icv < 8)  // the eight fixed colours are the first eight palette entries
        return icv + 1;
    return -1;
}

std::uint32_t CellFormats::colorRgb(int colorIndex) const {
    if (colorIndex < 1 || colorIndex > 56) return 0;
    return (hasPalette_ ? palette_ : kDefaultPalette)[static_cast<std::size_t>(colorIndex - 1)];
}

}  // namespace pellix::xls
