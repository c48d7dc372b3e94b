// Files on disk: the atomic save (permissions kept, read-only, failing and half-written saves
// leave the old file and no temporary file, abandoned temporary files cleaned up), every other
// part of the compound document kept, and the container's damage checks.

#include "kit.h"

#include "workbook/xls/compound_document.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <map>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

namespace pellix::xls::testing {
namespace {

namespace fs = std::filesystem;
using pellix::testing::readBytes;
using pellix::testing::writeFile;

class SaveTest : public ::testing::Test {
protected:
    void SetUp() override {
        BookPlan book;
        book.sheets[0].cells = {rk(18, 1, 5)};
        writeFile(path, buildFile(book));
        before = readBytes(path);
    }
    void editAndSave() {  // B19, saved over the file
        Workbook workbook = Workbook::open(path);
        workbook.setCell(0, 18, 1, num(6));
        workbook.saveAs(path);
    }
    ScratchFolder folder;
    fs::path path = folder / "data.xls";
    Bytes before;
};

TEST_F(SaveTest, SavingReplacesTheFileKeepingItsPermissionsAndCleansUpAbandonedTemporaryFiles) {
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
    for (const char* name :
         {".data.xls.abcdef", ".data.xls.locked", ".data.xls.recent", ".data.xls.toolong", ".other.xls.abcdef"}) {
        writeFile(folder / name, "x");
        if (std::string(name) != ".data.xls.recent") fs::last_write_time(folder / name, old);
    }
    const int lock = ::open((folder / ".data.xls.locked").c_str(), O_RDONLY);  // a save still writing it
    ::flock(lock, LOCK_EX);
    const fs::perms permissions = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(path, permissions);
    editAndSave();
    ::close(lock);
    EXPECT_EQ(Workbook::open(path).cell(0, 18, 1), num(6));
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, permissions);
    EXPECT_FALSE(fs::exists(folder / ".data.xls.abcdef"));
    EXPECT_EQ(folder.entries(), 5u);  // the file, the locked, recent and odd ones: no temporary left
}

TEST_F(SaveTest, AReadOnlyFailedOrHalfWrittenSaveLeavesTheOldFileAndNoTemporaryFile) {
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read);
    EXPECT_XLS_ERROR(editAndSave(), "cannot save data.xls: Permission denied");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    // A file size limit makes the write fail part way, as a full disk would.
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    ::getrlimit(RLIMIT_FSIZE, &previous);
    rlimit limited = previous;
    limited.rlim_cur = 1000;
    ::setrlimit(RLIMIT_FSIZE, &limited);
    EXPECT_XLS_ERROR(editAndSave(), "cannot save data.xls: File too large");
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, handler);
    EXPECT_EQ(readBytes(path), before);
    EXPECT_EQ(folder.entries(), 1u);
    EXPECT_XLS_ERROR(Workbook::open(path).saveAs(folder / "gone" / "data.xls"),
                     "cannot save data.xls: No such file or directory");
    EXPECT_XLS_ERROR(Workbook::open(folder / "missing.xls"), "cannot open missing.xls: No such file or directory");
}

// Every other stream, storage and class id survives; the workbook stream, found as "Workbook" or
// "Book" in any case, keeps its name.
TEST_F(SaveTest, EveryOtherPartOfTheDocumentAndTheStreamsNameSurvive) {
    BookPlan book;
    book.strings = {u"kept"};
    book.sheets[0].cells = {rk(0, 0, 5), cell(kSidLabelSst, 1, 0, le(0, 4))};
    for (const char* name : {"BOOK", "book", "Book", "WORKBOOK", "workbook"}) {
        SCOPED_TRACE(name);
        writeFile(path, wrapStream(buildStream(book), 512, name));
        Workbook workbook = Workbook::open(path);
        EXPECT_EQ(workbook.cell(0, 1, 0), str("kept"));
        workbook.setCell(0, 2, 0, num(3));
        const Bytes saved = workbook.toBytes();
        CompoundDocument document = readCompoundDocument(saved, "saved.xls");
        EXPECT_EQ(document.rootClassId, kRootClassId);
        std::map<std::string, const CompoundEntry*> entries;
        for (const CompoundEntry& entry : document.children) entries[entry.name] = &entry;
        ASSERT_THAT(entries, ::testing::UnorderedElementsAre(::testing::Key("\x05SummaryInformation"),
                                                             ::testing::Key(name), ::testing::Key("_VBA_PROJECT_CUR")));
        EXPECT_EQ(entries["\x05SummaryInformation"]->data, Bytes(300, 0x5A));
        EXPECT_EQ(entries["_VBA_PROJECT_CUR"]->classId[15], 16);
        ASSERT_EQ(entries["_VBA_PROJECT_CUR"]->children.size(), 1u);
        EXPECT_EQ(entries["_VBA_PROJECT_CUR"]->children[0].data, Bytes(5000, 0x42));
        EXPECT_EQ(xlrdDifferences(readBytes(path), saved, {"A3"}), "");
    }
}

// The tables of a version 3 file (512-byte sectors) as libgsf writes it, read plainly.
struct Container {
    Bytes bytes;
    static std::size_t offset(std::uint32_t sector) { return (std::size_t{sector} + 1) * 512; }
    std::uint32_t u32(std::size_t at) const { return readU32(bytes.data() + at); }
    std::size_t fatEntry(std::uint32_t sector) const {
        return offset(u32(0x4C + 4 * (sector / 128))) + 4 * (sector % 128);
    }
    std::size_t miniFatEntry(std::uint32_t sector) const {
        return offset(chain(u32(0x3C), false)[sector / 128]) + 4 * (sector % 128);
    }
    std::vector<std::uint32_t> chain(std::uint32_t start, bool mini) const {
        std::vector<std::uint32_t> sectors;
        for (std::uint32_t s = start; s != 0xFFFFFFFE && sectors.size() < 100000;
             s = u32(mini ? miniFatEntry(s) : fatEntry(s)))
            sectors.push_back(s);
        return sectors;
    }
    std::size_t entry(char name) const  // the directory entry whose name starts with `name`
    {
        for (std::uint32_t sector : chain(u32(0x30), false))
            for (std::size_t at = offset(sector); at < offset(sector) + 512; at += 128)
                if (bytes[at] == std::uint8_t(name)) return at;
        ADD_FAILURE() << "no entry " << name;
        return 0;
    }
    std::uint32_t start(char name) const { return u32(entry(name) + 0x74); }
    std::uint32_t last(char name, bool mini = false) const { return chain(start(name), mini).back(); }
    void set(std::size_t at, std::uint32_t value) { writeU32(bytes.data() + at, value); }
};

TEST(DamagedContainers, ReadableOnesOpenAndSaveCleanAndTheOthersAreRefusedSayingWhere) {
    using Damage = std::function<void(Container&)>;
    const std::vector<std::tuple<const char*, int, Damage, std::string>> cases = {
        // refusal, or "" when it opens
        {"Workbook chain runs on into the VBA stream", 400,
         [](Container& c) { c.set(c.fatEntry(c.last('W')), c.start('V')); }, ""},
        {"VBA chain runs on into the Workbook", 400, [](Container& c) { c.set(c.fatEntry(c.last('V')), c.start('W')); },
         ""},
        {"mini chain runs on into the Workbook's", 20,
         [](Container& c) { c.set(c.miniFatEntry(c.last('\x05', true)), c.start('W')); }, ""},
        {"allocation count larger than the file", 400, [](Container& c) { c.set(0x2C, 0x00800001); }, ""},
        {"allocation list count larger than the file", 400, [](Container& c) { c.set(0x48, 0x7FFFFFF0); }, ""},
        {"Workbook chain jumps into the VBA stream", 400,
         [](Container& c) { c.set(c.fatEntry(c.chain(c.start('W'), false).rbegin()[2]), c.start('V')); },
         "the chain of the stream \"VBA\" runs into sectors that belong to something else (sector "},
        {"allocation count larger, list cut short", 4000,
         [](Container& c) { c.set(0x2C, 0x00800002), c.set(0x4C + 4, 0xFFFFFFFF); },
         "its compound document claims more allocation sectors than the file holds"},
        {"allocation list cut short", 4000, [](Container& c) { c.set(0x4C + 4, 0xFFFFFFFF); },
         "its compound document's allocation table list is cut short"},
        {"byte order mark", 20, [](Container& c) { c.set(0x1C, 0x0006FEFF); },
         "its compound document header has the wrong byte order mark"},
        {"sector size", 20, [](Container& c) { c.set(0x1C, 0x000AFFFE); },
         "its compound document header gives an unknown sector size"},
        {"mini sector size", 20, [](Container& c) { c.set(0x20, 7); },
         "its compound document header gives an unknown mini sector size"},
        {"directory past the table", 20, [](Container& c) { c.set(0x30, 0x00FFFFFF); },
         "the chain of the directory points past the end of the allocation table"},
        {"stream longer than its chain", 400, [](Container& c) { c.set(c.entry('W') + 0x78, 900000); },
         "the stream \"Workbook\" is longer than its chain of sectors"},
        {"mini stream cut", 20, [](Container& c) { c.set(c.entry('R') + 0x78, 64); },
         "the chain of the stream \"Workbook\" points past the end of the mini stream"},
        {"mini chain into another's", 20, [](Container& c) { c.set(c.miniFatEntry(c.start('\x05')), c.start('W')); },
         "the chain of the stream \"\x05SummaryInformation\" runs into another's mini sectors (mini sector "},
        {"directory cycle", 20, [](Container& c) { c.set(c.entry('W') + 0x44, 1); },
         "its compound document directory is cyclic or points past its end"},
    };
    for (const auto& [name, cells, damage, refusal] : cases) {
        SCOPED_TRACE(name);
        BookPlan book;
        for (int row = 0; row < cells; ++row) book.sheets[0].cells.push_back(number(row, 0, row + 0.5));
        Container container{buildFile(book)};
        damage(container);
        if (!refusal.empty()) {
            EXPECT_XLS_ERROR(openBook(container.bytes), "data.xls is damaged: " + refusal);
            continue;
        }
        Workbook workbook = openBook(container.bytes);
        EXPECT_EQ(workbook.cell(0, cells - 1, 0), num(cells - 0.5));
        workbook.setCell(0, 18, 1, num(7));
        EXPECT_EQ(openBook(workbook.toBytes()).cell(0, 18, 1), num(7));
        EXPECT_EQ(xlrdDifferences(container.bytes, workbook.toBytes(), {"B19"}), "");
    }
}

}  // namespace
}  // namespace pellix::xls::testing
