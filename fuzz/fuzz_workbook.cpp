// libFuzzer target: any bytes opened as a workbook and every sheet read as the window shows it.
// Damaged input must end in a refusal that names the file, never in a crash, a hang, an
// out-of-bounds read or unbounded allocation.

#include "workbook_checks.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (const std::string problem = pellix::fuzz::checkRead({data, size}); !problem.empty()) {
        std::fprintf(stderr, "read: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
