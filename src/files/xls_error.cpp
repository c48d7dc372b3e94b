#include "files/xls_error.h"

#include <cstdio>
#include <cstdlib>

namespace pellix::xls {

void throwDamaged(const std::string& displayName, const std::string& what) {
    throw XlsError(displayName + " is damaged: " + what);
}

void invariantBroken(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: the workbook engine broke its own rule: %s\n", file, line, condition);
    std::abort();
}

}  // namespace pellix::xls
