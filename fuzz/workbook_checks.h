#pragma once

// What the fuzz targets and the corpus replay test check of any input. Each returns an empty
// string when the engine behaved (the input opened and read back as it should, or was refused
// with an XlsError that names the file), and otherwise what went wrong. Memory errors, hangs
// and stray exceptions are for the sanitizers and the caller to catch.

#include <cstdint>
#include <span>
#include <string>

namespace pellix::fuzz {

// Opens the bytes as a workbook and reads every sheet as the window shows it.
std::string checkRead(std::span<const std::uint8_t> bytes);

// Opens the bytes and, when they open, edits the active sheet the way a turn commit does (a
// number, a text, an emptied range, fill colours, row heights), saves to memory and reopens:
// the save must not fail silently or write a file that does not reopen, the edits must read
// back, and every cell and row that no edit touched must read back as it was, on every sheet.
std::string checkEditSaveReopen(std::span<const std::uint8_t> bytes);

}  // namespace pellix::fuzz
