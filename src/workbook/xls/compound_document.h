#pragma once

// The compound document (OLE2 structured storage, [MS-CFB]) that carries the Workbook stream,
// read and written through libgsf. Every stream and storage is kept with its bytes, class id and
// modification time so that a save writes them all back.

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace pellix::xls {

struct CompoundEntry {
    std::string name;
    bool storage = false;
    std::vector<std::uint8_t> data;  // streams
    bool hasClassId = false;         // storages
    std::array<std::uint8_t, 16> classId{};
    bool hasModtime = false;
    std::int64_t modtimeUnix = 0;
    int modtimeMicroseconds = 0;
    std::vector<CompoundEntry> children;  // storages
};

struct CompoundDocument {
    int sectorSize = 512;  // 512 (version 3) or 4096 (version 4)
    std::array<std::uint8_t, 16> rootClassId{};
    std::vector<CompoundEntry> children;
    // The root stream that holds the workbook, named as stored: a save writes the new workbook
    // stream under this name.
    std::string workbookStreamName = "Workbook";

    // The root-level stream named `name` in any case of its letters, or null.
    CompoundEntry* stream(std::string_view name);
};

bool hasCompoundSignature(std::span<const std::uint8_t> bytes);

// Throws XlsError naming `displayName` when the container is damaged. Any warning libgsf reports
// while reading counts as damage: it otherwise drops entries or opens a cut file silently.
CompoundDocument readCompoundDocument(std::span<const std::uint8_t> bytes, const std::string& displayName);

// The whole document, handed to `use` in libgsf's own buffer (no copy is made; it lasts as long
// as the call); the root stream named `document.workbookStreamName` is taken from
// `workbookStream` instead of its entry.
using DocumentBytes = std::function<void(std::span<const std::uint8_t> bytes)>;
void writeCompoundDocument(const CompoundDocument& document, std::span<const std::uint8_t> workbookStream,
                           const std::string& displayName, const DocumentBytes& use);

}  // namespace pellix::xls
