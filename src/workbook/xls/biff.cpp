#include "workbook/xls/biff.h"

#include "text/utf8.h"

#include <cmath>
#include <cstring>

namespace pellix::xls {

namespace {

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::optional<std::uint32_t> asTruncatedDouble(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    if ((bits & 0x3FFFFFFFFull) != 0) return std::nullopt;
    return static_cast<std::uint32_t>(bits >> 32);
}

std::optional<std::uint32_t> asRkInteger(double value) {
    if (!(value >= -536870912.0 && value <= 536870911.0) || value != std::floor(value)) return std::nullopt;
    const auto integer = static_cast<std::int32_t>(value);
    return static_cast<std::uint32_t>(integer) << 2 | 2u;
}

}  // namespace

std::optional<std::uint32_t> encodeRk(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    if (auto rk = asRkInteger(value); rk && sameBits(decodeRk(*rk), value)) return rk;
    if (auto rk = asTruncatedDouble(value); rk && sameBits(decodeRk(*rk), value)) return rk;
    const double hundred = value * 100;
    if (auto rk = asRkInteger(std::round(hundred))) {
        if (sameBits(decodeRk(*rk | 1u), value)) return *rk | 1u;
    }
    if (auto rk = asTruncatedDouble(hundred)) {
        if (sameBits(decodeRk(*rk | 1u), value)) return *rk | 1u;
    }
    return std::nullopt;
}

void appendUtf16AsUtf8(std::string& out, const std::uint8_t* chars, std::size_t count, bool highByte) {
    if (!highByte) {
        for (std::size_t i = 0; i < count; ++i) utf8::append(out, chars[i]);
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t unit = chars[2 * i] | (chars[2 * i + 1] << 8);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < count) {
            const std::uint32_t low = chars[2 * i + 2] | (chars[2 * i + 3] << 8);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                utf8::append(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        if (unit >= 0xD800 && unit <= 0xDFFF) unit = 0xFFFD;
        utf8::append(out, unit);
    }
}

}  // namespace pellix::xls
