// The real-file corpus: workbooks written by other programs. Every readable one is saved with and
// without edits and read back by xlrd, a reader nobody here wrote; the damaged and older ones
// are refused with the right message; cut and byte-flipped copies end in a clean refusal.

#include "biff_builder.h"
#include "stream_checks.h"

#include "workbook/xls/biff.h"
#include "workbook/xls/workbook.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <unistd.h>

namespace pellix::xls {
namespace {

namespace fs = std::filesystem;
using namespace testing;
using ::testing::HasSubstr;

const fs::path kCorpus = PELLIX_CORPUS_DIR;

struct Refused {
    const char* file;
    const char* message;
};

const std::vector<Refused> kRefused = {
    {"libxls__biff5-label-records.xls", "was saved in an older spreadsheet format (BIFF5) that is not supported"},
    {"xlrd__biff4_no_format_no_window2.xls", "was saved in an older spreadsheet format (BIFF4) that is not supported"},
    {"libxls__xls2csv_ole_ole2_fread_327.xls", "is damaged: "},
    {"libxls__xls2csv_ole_read_MSAT_772.xls", "is damaged: "},
    {"libxls__xls2csv_ole_read_MSAT_body_687.xls", "is damaged: "},
};

std::vector<std::uint8_t> readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> readableFiles()
{
    std::vector<std::string> files;
    if (!fs::is_directory(kCorpus))
        return {"missing-corpus"};
    for (const auto& entry : fs::directory_iterator(kCorpus)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".xls")
            continue;
        if (std::none_of(kRefused.begin(), kRefused.end(), [&](const Refused& r) { return name == r.file; }))
            files.push_back(name);
    }
    std::sort(files.begin(), files.end());
    return files;
}

class CorpusFile : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fs::is_directory(kCorpus)) << "the real-file corpus is missing: " << kCorpus;
        folder_ = fs::temp_directory_path() / ("pellix-corpus-" + std::to_string(::getpid()));
        fs::create_directories(folder_);
        original_ = kCorpus / GetParam();
    }
    fs::path folder_;
    fs::path original_;
};

TEST_P(CorpusFile, SavedWithoutEditsReadsTheSameInXlrd)
{
    const Workbook workbook = Workbook::open(original_);
    const fs::path saved = folder_ / ("plain_" + GetParam());
    writeFile(saved, workbook.toBytes());
    if (GetParam() == "xlrd__invalid_formula.xls")
        GTEST_SKIP() << "xlrd cannot read the original's formula names";
    EXPECT_EQ(xlrdDifferences(original_, saved, {}), "");
}

TEST_P(CorpusFile, EditsOnTheActiveSheetChangeExactlyTheEditedCells)
{
    Workbook workbook = Workbook::open(original_);
    const int sheet = workbook.activeSheet();
    std::vector<std::string> edited;
    const auto edit = [&](int row, int column, const CellValue& value) {
        workbook.setCell(sheet, row - 1, column - 1, value);
        edited.push_back(cellName(row - 1, column - 1));
    };
    edit(19, 2, CellValue::ofNumber(7));
    edit(4, 4, CellValue::ofText("2連勝中"));
    for (int column = 10; column <= 34; ++column)
        edit(41, column, CellValue::empty());
    edit(41, 12, CellValue::ofNumber(3));
    edit(41, 27, CellValue::ofText("C"));
    edit(300, 26, CellValue::ofNumber(0.25));
    for (int row = 2; row <= 13; ++row) {
        for (int column = 2; column <= 4; ++column) {
            workbook.setFill(sheet, row - 1, column - 1, row % 2 ? 35 : 40);
            edited.push_back(cellName(row - 1, column - 1));
        }
        workbook.setRowHeight(sheet, row - 1, 16.5);
        edited.push_back("row:" + std::to_string(row));
    }
    workbook.setRowHeight(sheet, 13, 0);
    edited.push_back("row:14");

    const auto bytes = workbook.toBytes();
    const fs::path saved = folder_ / ("edited_" + GetParam());
    writeFile(saved, bytes);
    const Workbook reopened = Workbook::open(saved);
    EXPECT_EQ(reopened.cell(sheet, 18, 1), CellValue::ofNumber(7));
    EXPECT_EQ(reopened.cell(sheet, 40, 26), CellValue::ofText("C"));
    EXPECT_EQ(reopened.cell(sheet, 40, 11), CellValue::ofNumber(3));
    EXPECT_EQ(reopened.cell(sheet, 40, 9), CellValue::empty());

    // The structure of the saved stream is sound wherever the original's was.
    const auto before = streamProblems(workbookStreamOf(readFile(original_)), false);
    for (const std::string& problem : streamProblems(workbookStreamOf(bytes), false))
        EXPECT_THAT(before, ::testing::Contains(problem)) << "new problem: " << problem;

    if (GetParam() == "xlrd__invalid_formula.xls")
        return;
    EXPECT_EQ(xlrdDifferences(original_, saved, edited), "");
}

TEST_P(CorpusFile, CutAndFlippedCopiesOpenOrAreRefusedCleanly)
{
    const auto bytes = readFile(original_);
    std::size_t opened = 0;
    const auto attempt = [&](const std::vector<std::uint8_t>& damaged) {
        try {
            Workbook workbook = Workbook::fromBytes(damaged, "data.xls");
            (void)workbook.shown(workbook.activeSheet());
            (void)Workbook::fromBytes(workbook.toBytes(), "data.xls");
            ++opened;
        } catch (const XlsError& error) {
            EXPECT_THAT(std::string(error.what()), ::testing::StartsWith("data.xls"));
        }
    };
    for (std::size_t length : {std::size_t{0}, std::size_t{7}, std::size_t{511}, std::size_t{512}, bytes.size() / 3,
                               bytes.size() / 2, bytes.size() - 512, bytes.size() - 1})
        attempt(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(length, bytes.size()))));
    const std::size_t stride = std::max<std::size_t>(1, bytes.size() / 150);
    for (std::size_t at = 0; at < bytes.size(); at += stride) {
        std::vector<std::uint8_t> flipped = bytes;
        flipped[at] ^= 0xFF;
        attempt(flipped);
    }
    EXPECT_GT(opened, 0u);
}

INSTANTIATE_TEST_SUITE_P(RealFiles, CorpusFile, ::testing::ValuesIn(readableFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param.substr(0, info.param.size() - 4);
                             std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
                             return name;
                         });

// Real files that hold what a plain edit must take care of: one cell is written on the active
// sheet, and xlrd must see every other cell (values, formulas, formats) as before.
TEST(CorpusEdits, OneCellWrittenWhereTheFileIsTrickyChangesOnlyThatCell)
{
    struct Case {
        const char* file;
        int row, column;  // 0-based
        const char* why;
    };
    const std::vector<Case> cases = {
        {"libxls__dates-leap-year-1900-xls.xls", 3, 1, "a member of the shared formula over B2:B7"},
        {"libxls__dates-leap-year-1900-xls.xls", 1, 1, "the anchor of the shared formula over B2:B7"},
    };
    const fs::path folder = fs::temp_directory_path() / ("pellix-corpus-edits-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + ": " + c.why);
        Workbook workbook = Workbook::open(kCorpus / c.file);
        workbook.setCell(workbook.activeSheet(), c.row, c.column, CellValue::ofNumber(42));
        const fs::path saved = folder / c.file;
        writeFile(saved, workbook.toBytes());
        EXPECT_EQ(Workbook::open(saved).cell(workbook.activeSheet(), c.row, c.column), CellValue::ofNumber(42));
        EXPECT_EQ(xlrdDifferences(kCorpus / c.file, saved, {cellName(c.row, c.column)}), "");
    }
}

TEST(CorpusRefusals, DamagedAndOlderFilesAreRefusedAndLeftAsTheyWere)
{
    ASSERT_TRUE(fs::is_directory(kCorpus)) << "the real-file corpus is missing: " << kCorpus;
    for (const Refused& refused : kRefused) {
        SCOPED_TRACE(refused.file);
        const fs::path path = kCorpus / refused.file;
        const auto before = readFile(path);
        try {
            Workbook::open(path);
            ADD_FAILURE() << "opened";
        } catch (const XlsError& error) {
            EXPECT_THAT(std::string(error.what()), ::testing::StartsWith(std::string(refused.file) + " " + refused.message));
        }
        EXPECT_EQ(readFile(path), before);
    }
}

}  // namespace
}  // namespace pellix::xls
