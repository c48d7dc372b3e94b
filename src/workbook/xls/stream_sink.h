#pragma once

// Where a save writes the Workbook stream. A save runs twice over the same code: first with no
// buffer, to measure every record and fix every absolute offset, then into a buffer of exactly
// the measured size.

#include "workbook/xls/byte_order.h"
#include "files/xls_error.h"

#include <cstdint>
#include <cstring>
#include <span>

namespace pellix::xls {

class StreamSink {
public:
    StreamSink() = default;  // measures only
    // Writes into `buffer`, which the measuring run sized: writing past it is a fault of the save.
    explicit StreamSink(std::span<std::uint8_t> buffer) : buffer_(buffer.data()), capacity_(buffer.size()) {}

    bool measuring() const { return buffer_ == nullptr; }
    std::uint32_t position() const { return static_cast<std::uint32_t>(position_); }

    void put(const std::uint8_t* bytes, std::size_t count) {
        if (buffer_ != nullptr && count > 0) {
            XLS_INVARIANT(count <= capacity_ - position_);
            std::memcpy(buffer_ + position_, bytes, count);
        }
        position_ += count;
    }
    void putU16(std::uint16_t value) {
        std::uint8_t bytes[2];
        writeU16(bytes, value);
        put(bytes, 2);
    }
    void putU32(std::uint32_t value) {
        std::uint8_t bytes[4];
        writeU32(bytes, value);
        put(bytes, 4);
    }
    void putHeader(std::uint16_t type, std::size_t size) {
        putU16(type);
        putU16(static_cast<std::uint16_t>(size));
    }
    // The bytes already written from `offset`, for patching in place; null while measuring.
    std::uint8_t* at(std::size_t offset) { return buffer_ == nullptr ? nullptr : buffer_ + offset; }

private:
    std::uint8_t* buffer_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t position_ = 0;
};

}  // namespace pellix::xls
