#include "workbook/xls/biff.h"

#include <cmath>
#include <cstring>

namespace pellix::xls {

bool isCellRecord(std::uint16_t type)
{
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

double decodeRk(std::uint32_t rk)
{
    double value;
    if (rk & 2) {
        value = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
    } else {
        const std::uint64_t bits = static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&value, &bits, sizeof value);
    }
    return (rk & 1) ? value / 100 : value;
}

namespace {

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::optional<std::uint32_t> asTruncatedDouble(double value)
{
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    if ((bits & 0x3FFFFFFFFull) != 0)
        return std::nullopt;
    return static_cast<std::uint32_t>(bits >> 32);
}

std::optional<std::uint32_t> asRkInteger(double value)
{
    if (!(value >= -536870912.0 && value <= 536870911.0) || value != std::floor(value))
        return std::nullopt;
    const auto integer = static_cast<std::int32_t>(value);
    return static_cast<std::uint32_t>(integer) << 2 | 2u;
}

}  // namespace

std::optional<std::uint32_t> encodeRk(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    if (auto rk = asRkInteger(value); rk && sameBits(decodeRk(*rk), value))
        return rk;
    if (auto rk = asTruncatedDouble(value); rk && sameBits(decodeRk(*rk), value))
        return rk;
    const double hundred = value * 100;
    if (auto rk = asRkInteger(std::round(hundred))) {
        if (sameBits(decodeRk(*rk | 1u), value))
            return *rk | 1u;
    }
    if (auto rk = asTruncatedDouble(hundred)) {
        if (sameBits(decodeRk(*rk | 1u), value))
            return *rk | 1u;
    }
    return std::nullopt;
}

namespace {

void appendCodePoint(std::string& out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

}  // namespace

void appendUtf16AsUtf8(std::string& out, const std::uint8_t* chars, std::size_t count, bool highByte)
{
    if (!highByte) {
        for (std::size_t i = 0; i < count; ++i)
            appendCodePoint(out, chars[i]);
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t unit = chars[2 * i] | (chars[2 * i + 1] << 8);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < count) {
            const std::uint32_t low = chars[2 * i + 2] | (chars[2 * i + 3] << 8);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendCodePoint(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        if (unit >= 0xD800 && unit <= 0xDFFF)
            unit = 0xFFFD;
        appendCodePoint(out, unit);
    }
}

std::u16string utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    const auto byteAt = [&](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
    while (i < text.size()) {
        const std::uint8_t lead = byteAt(i);
        std::uint32_t cp = 0xFFFD;
        std::size_t length = 1;
        std::uint32_t minimum = 0;
        if (lead < 0x80) {
            cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2, cp = lead & 0x1F, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, cp = lead & 0x0F, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, cp = lead & 0x07, minimum = 0x10000;
        } else {
            length = 0;
        }
        bool valid = length > 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            if ((byteAt(i + k) & 0xC0) != 0x80)
                valid = false;
            else
                cp = (cp << 6) | (byteAt(i + k) & 0x3F);
        }
        if (length > 1 && valid && (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)))
            valid = false;
        if (!valid) {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += length;
    }
    return out;
}

std::string columnName(int column)
{
    std::string letters;
    for (int n = column + 1; n > 0; n = (n - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
    return letters;
}

std::string cellName(int row, int column)
{
    return columnName(column) + std::to_string(row + 1);
}

}  // namespace pellix::xls
