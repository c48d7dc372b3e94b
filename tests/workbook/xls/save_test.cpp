// Saving to disk: atomic replacement, permissions kept, read-only and failing saves leave the
// file as it was, and every other part of the compound document survives.

#include "biff_builder.h"
#include "stream_checks.h"

#include "workbook/xls/compound_document.h"
#include "workbook/xls/workbook.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pellix::xls {
namespace {

using namespace testing;
namespace fs = std::filesystem;

class SaveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = fs::temp_directory_path() / ("pellix-save-" + std::to_string(::getpid()) + "-"
                                               + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        path_ = folder_ / "data.xls";
        BookSpec book;
        book.sheets[0].cells = {rkCell(18, 1, 15, 5u << 2 | 2u)};
        write(path_, buildFile(book));
    }
    void TearDown() override
    {
        fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(folder_);
    }
    static void write(const fs::path& path, const std::vector<std::uint8_t>& bytes)
    {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    static std::vector<std::uint8_t> read(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
    }
    std::size_t filesInFolder() const
    {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()));
    }

    fs::path folder_;
    fs::path path_;
};

TEST_F(SaveTest, SavingReplacesTheFileAndKeepsItsPermissions)
{
    fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    Workbook workbook = Workbook::open(path_);
    workbook.setCell(0, 18, 1, CellValue::ofNumber(6));
    workbook.saveAs(path_);
    EXPECT_EQ(Workbook::open(path_).cell(0, 18, 1), CellValue::ofNumber(6));
    EXPECT_EQ(fs::status(path_).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(filesInFolder(), 1u);  // no temporary file left behind
}

TEST_F(SaveTest, AReadOnlyWorkbookIsNotReplaced)
{
    const auto before = read(path_);
    fs::permissions(path_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    Workbook workbook = Workbook::open(path_);
    workbook.setCell(0, 18, 1, CellValue::ofNumber(6));
    try {
        workbook.saveAs(path_);
        ADD_FAILURE() << "saved";
    } catch (const XlsError& error) {
        EXPECT_EQ(std::string(error.what()), "cannot save data.xls: Permission denied");
    }
    EXPECT_EQ(read(path_), before);
    EXPECT_EQ(filesInFolder(), 1u);
}

TEST_F(SaveTest, AFailedSaveLeavesTheOldWorkbook)
{
    const auto before = read(path_);
    Workbook workbook = Workbook::open(path_);
    workbook.setCell(0, 18, 1, CellValue::ofNumber(6));
    // A folder that takes no new files: the temporary file cannot be made.
    fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    EXPECT_THROW(workbook.saveAs(path_), XlsError);
    fs::permissions(folder_, fs::perms::owner_all);
    EXPECT_EQ(read(path_), before);
}

TEST_F(SaveTest, AWriteThatFailsHalfwayKeepsTheOldWorkbookAndLeavesNoTemporaryFile)
{
    // A file size limit makes the write fail part way, as a full disk would.
    const auto before = read(path_);
    Workbook workbook = Workbook::open(path_);
    workbook.setCell(0, 18, 1, CellValue::ofNumber(6));
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    ::getrlimit(RLIMIT_FSIZE, &previous);
    rlimit limited = previous;
    limited.rlim_cur = 1000;
    ::setrlimit(RLIMIT_FSIZE, &limited);
    try {
        workbook.saveAs(path_);
        ADD_FAILURE() << "saved";
    } catch (const XlsError& error) {
        EXPECT_EQ(std::string(error.what()), "cannot save data.xls: File too large");
    }
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(read(path_), before);
    EXPECT_EQ(filesInFolder(), 1u);
}

TEST_F(SaveTest, SavingIntoAMissingFolderSaysSo)
{
    const Workbook workbook = Workbook::open(path_);
    try {
        workbook.saveAs(folder_ / "gone" / "data.xls");
        ADD_FAILURE() << "saved";
    } catch (const XlsError& error) {
        EXPECT_EQ(std::string(error.what()), "cannot save data.xls: No such file or directory");
    }
}

TEST_F(SaveTest, EveryOtherStreamStorageAndClassIdSurvives)
{
    Workbook workbook = Workbook::open(path_);
    workbook.setCell(0, 0, 0, CellValue::ofText("edited"));
    workbook.saveAs(path_);
    const auto bytes = read(path_);
    CompoundDocument document = readCompoundDocument(bytes, "data.xls");
    const std::array<std::uint8_t, 16> excelClass = {0x20, 0x08, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    EXPECT_EQ(document.rootClassId, excelClass);
    ASSERT_NE(document.stream("\x05SummaryInformation"), nullptr);
    EXPECT_EQ(document.stream("\x05SummaryInformation")->data, std::vector<std::uint8_t>(300, 0x5A));
    const CompoundEntry* storage = nullptr;
    for (const CompoundEntry& entry : document.children)
        if (entry.storage && entry.name == "_VBA_PROJECT_CUR")
            storage = &entry;
    ASSERT_NE(storage, nullptr);
    EXPECT_EQ(storage->classId[15], 16);
    ASSERT_EQ(storage->children.size(), 1u);
    EXPECT_EQ(storage->children[0].data, std::vector<std::uint8_t>(5000, 0x42));
}

// Readers find the workbook under "Workbook" or "Book" in any case; a BIFF8 stream under such a
// name opens, and the save keeps the name it had.
TEST_F(SaveTest, TheWorkbookStreamKeepsTheNameItWasFoundUnder)
{
    BookSpec book;
    book.sheets[0].cells = {rkCell(0, 0, 15, 5u << 2 | 2u), labelSstCell(1, 0, 15, 0)};
    book.strings = {u"kept"};
    for (const char* name : {"BOOK", "book", "Book", "WORKBOOK", "workbook"}) {
        SCOPED_TRACE(name);
        write(path_, wrapStream(buildStream(book), 512, name));
        Workbook workbook = Workbook::open(path_);
        EXPECT_EQ(workbook.cell(0, 1, 0), CellValue::ofText("kept"));
        workbook.setCell(0, 2, 0, CellValue::ofNumber(3));
        const fs::path saved = folder_ / "saved.xls";
        workbook.saveAs(saved);
        const auto bytes = read(saved);
        const CompoundDocument document = readCompoundDocument(bytes, "saved.xls");
        std::vector<std::string> roots;
        for (const CompoundEntry& entry : document.children)
            roots.push_back(entry.name);
        EXPECT_THAT(roots, ::testing::UnorderedElementsAre(name, "\x05SummaryInformation", "_VBA_PROJECT_CUR"));
        EXPECT_EQ(Workbook::open(saved).cell(0, 2, 0), CellValue::ofNumber(3));
        EXPECT_EQ(xlrdDifferences(path_, saved, {"A3"}), "");
    }
}

}  // namespace
}  // namespace pellix::xls
