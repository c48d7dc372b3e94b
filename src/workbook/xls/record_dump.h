#pragma once

// The Workbook stream of a file as a list of its records, one line each, so that two files that
// differ in a few bytes read as a diff of records (`pellix-xls records`).

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pellix::xls {

// The record's name in the format documentation ("LABELSST"), or "" for an id not listed.
std::string_view recordName(std::uint16_t id);

// One line per record of the workbook stream: its offset in the stream, its id with its name,
// its data length and, for records the engine reads, a short decode, separated by tabs:
//   4120	00FD LABELSST	10	B2 xf=21 string=3
// Throws XlsError when the file is no compound document or holds no workbook stream; a record
// cut short by the end of the stream is listed as such and ends the list.
std::vector<std::string> dumpRecords(std::span<const std::uint8_t> file, const std::string& displayName);

}  // namespace pellix::xls
