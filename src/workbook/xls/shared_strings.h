#pragma once

// The shared string table (SST, [MS-XLS] 2.4.265) and its index (EXTSST, 2.4.107).
//
// The table is append-only: the strings read from the file keep their bytes and the places where
// the file split them across CONTINUE records; new strings go after the last one. So every
// LABELSST index already in the workbook stays valid and the original records are written back
// unchanged when nothing was added.

#include "workbook/xls/biff.h"

#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace pellix::xls {

class SharedStrings {
public:
    // `records` are the SST record and the CONTINUE records after it. Throws XlsError.
    void parse(const std::uint8_t* stream, std::span<const RecordView> records, const std::string& displayName);

    std::size_t count() const { return texts_.size(); }
    const std::string& text(std::size_t index) const { return texts_[index]; }

    // The index of a plain string with this text, appended when the table has none.
    std::uint32_t indexOf(const std::string& text);
    bool grew() const { return !added_.empty(); }

    // The table as records (SST + CONTINUE), with `labelTotal` as its count of LABELSST cells.
    // Also fixes the places of the appended strings used by extSst().
    std::vector<std::uint8_t> build(std::uint32_t labelTotal) const;
    // The EXTSST record (header included) for a table whose SST header sits at `sstOffset`.
    std::vector<std::uint8_t> extSst(std::uint32_t sstOffset) const;

private:
    struct Segment {
        std::uint32_t header = 0;  // absolute offset of the record header in the original stream
        std::uint16_t type = 0;
        std::uint32_t size = 0;
    };
    const std::uint8_t* stream_ = nullptr;
    std::vector<Segment> segments_;
    std::size_t endSegment_ = 0;  // where the last string ends
    std::uint32_t endOffset_ = 0;
    std::vector<std::string> texts_;
    std::vector<bool> plain_;
    // Each string's first byte and the header of the record holding it, from the SST header.
    mutable std::vector<std::uint32_t> start_;
    mutable std::vector<std::uint32_t> holder_;
    std::vector<std::u16string> added_;
    std::unordered_map<std::string, std::uint32_t> plainIndex_;
    bool indexed_ = false;
};

}  // namespace pellix::xls
