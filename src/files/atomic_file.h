#pragma once

// Whole-file reads and atomic replacement of a file on disk.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace pellix::xls {

// Throws XlsError "cannot open NAME: <cause>".
std::vector<std::uint8_t> readWholeFile(const std::filesystem::path& path, const std::string& displayName);

// Writes a temporary file beside `path`, flushes it to disk, gives it the permissions and owner
// of the file it replaces and renames it over `path`. A file that is marked read-only is not
// replaced. On any failure the temporary file is removed and `path` is left as it was; throws
// XlsError "cannot save NAME: <cause>".
void writeFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                         const std::string& displayName);

// Called with the file a save is about to replace (the file a link names), once the new file is
// complete and on disk and just before the rename: the last moment the old version can still be
// linked elsewhere. Not called when there is no file to replace. An exception it throws abandons
// the save as any other failure does, and is passed on as it is.
using BeforeReplace = std::function<void(const std::filesystem::path& replaced)>;
void writeFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                         const std::string& displayName, const BeforeReplace& beforeReplace);

}  // namespace pellix::xls
