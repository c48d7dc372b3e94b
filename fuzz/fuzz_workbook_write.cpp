// libFuzzer target for the write path: whatever opens is edited as a turn commit edits it, saved
// to memory and reopened (see checkEditSaveReopen). A save that fails silently, writes a file that
// does not reopen, loses an edit or changes a cell no edit touched is a finding.

#include "workbook_checks.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (const std::string problem = pellix::fuzz::checkEditSaveReopen({data, size}); !problem.empty()) {
        std::fprintf(stderr, "write: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
