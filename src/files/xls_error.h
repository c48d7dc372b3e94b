#pragma once

// How the workbook engine fails. A file that cannot be read or written, or an edit the workbook
// cannot take, is an XlsError whose message names the file and the cause. A state that the
// engine's own code should never reach is a fault in the program, not in the file: it stops the
// program through XLS_INVARIANT, in every build.

#include <stdexcept>
#include <string>

namespace pellix::xls {

class XlsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "NAME is damaged: WHAT".
[[noreturn]] void throwDamaged(const std::string& displayName, const std::string& what);

[[noreturn]] void invariantBroken(const char* condition, const char* file, int line);

}  // namespace pellix::xls

#define XLS_INVARIANT(condition) ((condition) ? void() : ::pellix::xls::invariantBroken(#condition, __FILE__, __LINE__))
