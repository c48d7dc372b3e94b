#pragma once

// Another program's hold on the workbook: the lock files that office programs keep beside a
// workbook they have open, who holds it and since when.

#include <filesystem>
#include <optional>
#include <string>

namespace pellix {

// The lock files that office programs keep beside a workbook they have open; the owner's name
// when the lock file gives one. Empty when nobody holds the file.
struct WorkbookLock {
    std::filesystem::path lockFile;
    std::string holder;
    std::string since;  // when the lock file was last written, local time "YYYY-MM-DD HH:MM"
};
std::optional<WorkbookLock> findWorkbookLock(const std::filesystem::path& workbook);

// What the scorer is told when a lock stops an operation: who holds the file, since when, and
// what to do.
std::string lockMessage(const WorkbookLock& lock);

}  // namespace pellix
