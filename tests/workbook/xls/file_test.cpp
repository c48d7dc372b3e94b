// Files on disk: the atomic save (permissions kept, read-only, failing and half-written saves
// leave the old file and no temporary file, abandoned temporary files cleaned up), every other
// part of the compound document kept, and the container's damage checks.

#include "kit.h"

#include "workbook/xls/compound_document.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

namespace pellix::xls::testing {
namespace {

namespace fs = std::filesystem;
using pellix::testing::readBytes;
using pellix::testing::writeFile;

// B19 written and saved over the file.
void editAndSave(const fs::path& path) {
    Workbook workbook = Workbook::open(path);
    workbook.setCell(0, 18, 1, num(6));
    workbook.saveAs(path);
}

// A save keeps the file's permissions; a read-only, failing or half-written save leaves the old
// file and no temporary file.
TEST(Save, ReplacesTheFileAtomicallyKeepingItsPermissions) {
    const ScratchFolder folder;
    const fs::path path = folder / "data.xls";
    writeFile(path, buildFile({}));
    const fs::perms permissions = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(path, permissions);
    editAndSave(path);
    EXPECT_EQ(Workbook::open(path).cell(0, 18, 1), num(6));
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, permissions);
    EXPECT_EQ(folder.entries(), 1u);  // no temporary left
    const Bytes before = readBytes(path);
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read);
    EXPECT_XLS_ERROR(editAndSave(path), "cannot save data.xls: Permission denied");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    // A file size limit makes the write fail part way, as a full disk would.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    ::getrlimit(RLIMIT_FSIZE, &previous);
    const rlimit limited{1000, previous.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &limited);
    EXPECT_XLS_ERROR(editAndSave(path), "cannot save data.xls: File too large");
    ::setrlimit(RLIMIT_FSIZE, &previous);
    EXPECT_EQ(readBytes(path), before);
    EXPECT_EQ(folder.entries(), 1u);
    // Every descriptor a read or a save opens is closed: a hundred of each under a limit of 64.
    ::getrlimit(RLIMIT_NOFILE, &previous);
    const rlimit few{64, previous.rlim_max};
    ::setrlimit(RLIMIT_NOFILE, &few);
    EXPECT_NO_THROW(for (int round = 0; round < 100; ++round) editAndSave(path));
    ::setrlimit(RLIMIT_NOFILE, &previous);
}

// A data.xls that is a link: the save replaces the file it names, and the link stays.
TEST(Save, ThroughALinkReplacesTheFileItNames) {
    const ScratchFolder folder;
    writeFile(folder / "real.xls", buildFile({}));
    fs::create_symlink("real.xls", folder / "data.xls");
    editAndSave(folder / "data.xls");
    EXPECT_TRUE(fs::is_symlink(folder / "data.xls"));
    EXPECT_EQ(Workbook::open(folder / "real.xls").cell(0, 18, 1), num(6));
}

// A save removes the temporary files that dead saves left beside the workbook (unlocked, a second
// old or more, named for it) and leaves alone one that another save still holds locked.
TEST(Save, RemovesAbandonedTemporariesButNotOneStillLocked) {
    const ScratchFolder folder;
    const fs::path path = folder / "data.xls";
    writeFile(path, buildFile({}));
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
    for (const char* name : {".data.xls.abcdef", ".data.xls.locked", ".data.xls.recent", ".other.xls.abcdef"}) {
        writeFile(folder / name, "x");
        if (std::string(name) != ".data.xls.recent") fs::last_write_time(folder / name, old);
    }
    const int lock = ::open((folder / ".data.xls.locked").c_str(), O_RDONLY | O_CLOEXEC);  // a save still writing
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    editAndSave(path);
    ::close(lock);
    EXPECT_FALSE(fs::exists(folder / ".data.xls.abcdef"));
    EXPECT_TRUE(fs::exists(folder / ".data.xls.locked"));
    EXPECT_EQ(folder.entries(), 4u);  // the workbook, the locked, recent and other one
}

// Every entry of the document but the workbook stream, flattened: name, bytes, class id, time.
std::vector<std::tuple<std::string, Bytes, bool, std::array<std::uint8_t, 16>, std::int64_t>> otherEntries(
    const std::vector<CompoundEntry>& entries, const std::string& workbook) {
    std::vector<std::tuple<std::string, Bytes, bool, std::array<std::uint8_t, 16>, std::int64_t>> flat;
    for (const CompoundEntry& e : entries)
        if (e.name != workbook)
            flat = flat + decltype(flat){{e.name, e.data, e.hasClassId, e.classId, e.modtimeUnix}}
                   + otherEntries(e.children, workbook);
    return flat;
}

// Every other stream, storage and class id survives; the workbook stream, found as "Workbook" or
// "Book" in any case, keeps its name (under another, it would show among the other entries).
TEST(Save, EveryOtherPartOfTheDocumentAndTheStreamsNameSurvive) {
    BookPlan book;
    book.strings = {u"kept"};
    book.sheets[0].cells = {rk(0, 0, 5), cell(kSidLabelSst, 1, 0, le(0, 4))};
    for (const char* name : {"BOOK", "book", "Book", "WORKBOOK", "workbook"}) {
        SCOPED_TRACE(name);
        const Bytes original = wrapStream(buildStream(book), 512, name);
        Workbook workbook = openBook(original);
        workbook.setCell(0, 2, 0, num(3));
        const Bytes saved = workbook.toBytes();
        const CompoundDocument before = readCompoundDocument(original, ""), after = readCompoundDocument(saved, "");
        EXPECT_EQ(after.rootClassId, kRootClassId);
        EXPECT_EQ(otherEntries(after.children, name), otherEntries(before.children, name));
        EXPECT_EQ(xlrdDifferences(original, saved, {"A3"}), "");
    }
}

// The tables of a version 3 file (512-byte sectors) as libgsf writes it, read plainly.
struct Container {
    Bytes bytes;
    std::uint32_t u32(std::size_t at) const { return readU32(bytes.data() + at); }
    void set(std::size_t at, std::uint32_t value) { writeU32(bytes.data() + at, value); }
    // Where the allocation table (or the mini one) holds the sector after `sector`.
    std::size_t next(std::uint32_t sector, bool mini = false) const {
        return (std::size_t{mini ? chain(u32(0x3C))[sector / 128] : u32(0x4C + 4 * (sector / 128))} + 1) * 512
               + 4 * (sector % 128);
    }
    std::vector<std::uint32_t> chain(std::uint32_t start, bool mini = false) const {
        std::vector<std::uint32_t> sectors;
        for (std::uint32_t s = start; s != 0xFFFFFFFE && sectors.size() < 100000; s = u32(next(s, mini)))
            sectors.push_back(s);
        return sectors;
    }
    std::size_t entry(char name) const {  // the directory entry whose name starts with `name`
        for (std::uint32_t sector : chain(u32(0x30)))
            for (std::size_t at = (sector + 1) * 512; at < (sector + 2) * 512; at += 128)
                if (bytes[at] == std::uint8_t(name)) return at;
        ADD_FAILURE() << "no entry " << name;
        return 0;
    }
    std::uint32_t start(char name) const { return u32(entry(name) + 0x74); }
};

TEST(DamagedContainers, ReadableOnesOpenAndSaveCleanAndTheOthersAreRefusedSayingWhere) {
    const std::vector<std::tuple<int, void (*)(Container&), std::string>> cases = {
        // rows of cells, the damage, the refusal or "" when it opens. Chains that run on past
        // their stream's end (into the VBA stream, the Workbook, another's mini sectors) and
        // allocation counts larger than the file open.
        {400, [](auto& c) { c.set(c.next(c.chain(c.start('W')).back()), c.start('V')); }, ""},
        {400, [](auto& c) { c.set(c.next(c.chain(c.start('V')).back()), c.start('W')); }, ""},
        {20, [](auto& c) { c.set(c.next(c.chain(c.start('\x05'), true).back(), true), c.start('W')); }, ""},
        {400, [](auto& c) { c.set(0x2C, 0x00800001); }, ""},
        {400, [](auto& c) { c.set(0x48, 0x7FFFFFF0); }, ""},
        // The Workbook chain jumps into the VBA stream before its end.
        {400, [](auto& c) { c.set(c.next(c.chain(c.start('W')).rbegin()[2]), c.start('V')); },
         "the chain of the stream \"VBA\" runs into sectors that belong to something else (sector "},
        {4000, [](auto& c) { c.set(0x2C, 0x00800002), c.set(0x4C + 4, 0xFFFFFFFF); },
         "its compound document claims more allocation sectors than the file holds"},
        {4000, [](auto& c) { c.set(0x4C + 4, 0xFFFFFFFF); },
         "its compound document's allocation table list is cut short"},
        {20, [](auto& c) { c.set(0x1C, 0x0006FEFF); }, "its compound document header has the wrong byte order mark"},
        {20, [](auto& c) { c.set(0x1C, 0x000AFFFE); }, "its compound document header gives an unknown sector size"},
        {20, [](auto& c) { c.set(0x20, 7); }, "its compound document header gives an unknown mini sector size"},
        {20, [](auto& c) { c.set(0x30, 0x00FFFFFF); },
         "the chain of the directory points past the end of the allocation table"},
        {400, [](auto& c) { c.set(c.entry('W') + 0x78, 900000); },
         "the stream \"Workbook\" is longer than its chain of sectors"},
        {20, [](auto& c) { c.set(c.entry('R') + 0x78, 64); },
         "the chain of the stream \"Workbook\" points past the end of the mini stream"},
        {20, [](auto& c) { c.set(c.next(c.start('\x05'), true), c.start('W')); },
         "the chain of the stream \"\x05SummaryInformation\" runs into another's mini sectors (mini sector "},
        {20, [](auto& c) { c.set(c.entry('W') + 0x44, 1); },
         "its compound document directory is cyclic or points past its end"},
        // Directory trees libgsf refused, refused in its words.
        {20, [](auto& c) { c.set(c.entry('R') + 0x44, 1); },
         "its compound document structure is inconsistent (Root directory is not marked as such.)"},
        {20, [](auto& c) { c.set(c.entry('\x05') + 0x40, c.u32(c.entry('\x05') + 0x40) & 0xFF00FFFF); },
         "its compound document structure is inconsistent (Unknown stream type 0x0)"},
    };
    for (std::size_t k = 0; k < cases.size(); ++k) {
        const auto& [cells, damage, refusal] = cases[k];
        SCOPED_TRACE("case " + std::to_string(k));
        BookPlan book;
        for (int row = 0; row < cells; ++row) book.sheets[0].cells.push_back(number(row, 0, row + 0.5));
        Container container{buildFile(book)};
        damage(container);
        if (!refusal.empty()) {
            EXPECT_XLS_ERROR(openBook(container.bytes), "data.xls is damaged: " + refusal);
            continue;
        }
        Workbook workbook = openBook(container.bytes);
        workbook.setCell(0, 18, 1, num(7));
        EXPECT_EQ(xlrdDifferences(buildFile(book), workbook.toBytes(), {"B19"}), "");  // as the undamaged file
    }
}

// Beyond 109 allocation sectors (7 MiB in 512-byte sectors) the document lists the rest in DIFAT sectors.
TEST(DamagedContainers, ALargeDocumentListsItsAllocationSectorsOnInDifatSectors) {
    const Bytes stream = buildStream({}), large(7'500'000, 0x42);
    const CompoundDocument document{512, {}, {{.name = "Workbook", .data = stream}, {.name = "L", .data = large}}};
    Bytes written;
    writeCompoundDocument(document, stream, "test.xls", [&](std::span<const std::uint8_t> bytes) { written.assign(bytes.begin(), bytes.end()); });
    CompoundDocument read = readCompoundDocument(written, "test.xls");
    EXPECT_EQ(read.stream("L")->data, large);
}

// A writer that stored the directory's names as 8-bit text: the workbook stream is found all the same.
TEST(DamagedContainers, NamesStoredAs8BitTextAreRead) {
    Container c{buildFile({.sheets = {{.cells = {rk(0, 0, 5)}}}})};
    const std::size_t at = c.entry('W');
    std::fill_n(c.bytes.begin() + at, 0x40, 0);
    std::copy_n("Workbook", 8, c.bytes.begin() + at);
    c.bytes[at + 0x40] = 9;
    EXPECT_EQ(openBook(c.bytes).cell(0, 0, 0), num(5));
}

}  // namespace
}  // namespace pellix::xls::testing
