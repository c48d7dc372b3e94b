#pragma once

// The workbook's cell formats (XF records, [MS-XLS] 2.4.353), the XFCRC that guards their
// extensions, and the colour palette.
//
// Formats are only ever appended, so every index held by cells, rows, columns, styles and XFEXT
// records stays valid. Equal formats are shared: a fill looks the wanted 20 bytes up first.

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace pellix::xls {

using XfBytes = std::array<std::uint8_t, 20>;

class CellFormats {
public:
    void add(const std::uint8_t* data) {
        XfBytes xf;
        std::copy_n(data, 20, xf.begin());
        xfs_.push_back(xf);
        ++original_;
    }
    void setPalette(const std::uint8_t* data, std::size_t size);
    // Whether the XFCRC record's count and checksum matched the XF list as read.
    void noteCrc(const std::uint8_t* data, std::size_t size);

    std::size_t count() const { return xfs_.size(); }
    std::size_t originalCount() const { return original_; }
    bool grew() const { return xfs_.size() > original_; }
    bool crcWasValid() const { return crcValid_; }
    const XfBytes& xf(std::size_t index) const { return xfs_[index]; }

    // The format of `base` with a solid fill of palette colour `colorIndex` (1..56), or with no
    // fill for `colorIndex` = kNoFill; an equal existing format is reused. Throws XlsError via
    // `displayName` when the format limit is reached.
    static constexpr int kNoFill = -4142;
    std::uint16_t withFill(std::uint16_t base, int colorIndex, const std::string& displayName);

    // The ColorIndex of a patterned fill of this format, or -1.
    int fillColorIndex(std::uint16_t index) const;
    std::uint32_t colorRgb(int colorIndex) const;

    // XFCRC data ([MS-XLS] 2.4.354) patched with the current count and checksum.
    void patchCrc(std::uint8_t* data, std::size_t size) const;
    static std::uint32_t checksum(std::span<const XfBytes> xfs);

private:
    std::vector<XfBytes> xfs_;
    std::size_t original_ = 0;
    bool crcValid_ = false;
    std::array<std::uint32_t, 56> palette_{};
    bool hasPalette_ = false;
    std::unordered_map<std::string, std::uint16_t> lookup_;
    std::size_t indexed_ = 0;
};

}  // namespace pellix::xls
