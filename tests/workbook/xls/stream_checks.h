#pragma once

// Structural checks of a saved workbook, made independently of the engine's writer: every
// absolute offset points where it should, every relative one adds up, records are in order.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace pellix::xls::testing {

// The Workbook stream of a compound document.
std::vector<std::uint8_t> workbookStreamOf(const std::vector<std::uint8_t>& file);

// Every broken invariant as one line; empty when the stream is sound.
std::vector<std::string> streamProblems(const std::vector<std::uint8_t>& stream, bool checkXfCrc = true);

struct RawRecord {
    std::uint32_t offset;
    std::uint16_t type;
    std::vector<std::uint8_t> data;
};
std::vector<RawRecord> recordsOf(const std::vector<std::uint8_t>& stream);

// Writes `content` to a file `name` in this test process's own scratch folder; its path.
std::filesystem::path scratchFile(const std::string& name, const std::vector<std::uint8_t>& content);

// Runs xlrd_compare.py (an independent reader) on two files; its report, empty when both read
// the same apart from the `edited` cells ("B19") and rows ("row:14").
std::string xlrdDifferences(const std::filesystem::path& original, const std::filesystem::path& saved,
                            const std::vector<std::string>& edited);

}  // namespace pellix::xls::testing
