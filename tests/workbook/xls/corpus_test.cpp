// The real-file corpus, workbooks written by other programs: every readable one is saved with and
// without edits and read back by xlrd; the damaged and older ones are refused with the right
// message and left as they were; cut and byte-flipped copies open or end in a clean refusal.

#include "kit.h"

#include <algorithm>

namespace pellix::xls::testing {
namespace {

namespace fs = std::filesystem;
using pellix::testing::readBytes;

const fs::path kCorpus = PELLIX_CORPUS_DIR;

const std::vector<std::pair<std::string, std::string>> kRefused = {
    {"libxls__biff5-label-records.xls", "was saved in an older spreadsheet format (BIFF5) that is not supported"},
    {"xlrd__biff4_no_format_no_window2.xls", "was saved in an older spreadsheet format (BIFF4) that is not supported"},
    {"libxls__xls2csv_ole_ole2_fread_327.xls", "is damaged: "},
    {"libxls__xls2csv_ole_read_MSAT_772.xls", "is damaged: "},
    {"libxls__xls2csv_ole_read_MSAT_body_687.xls", "is damaged: "},
};

std::vector<std::string> readableFiles() {
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(kCorpus)) {
        const std::string name = entry.path().filename().string();
        const auto refused = [&](const auto& r) { return r.first == name; };
        if (entry.path().extension() == ".xls" && std::none_of(kRefused.begin(), kRefused.end(), refused))
            files.push_back(name);
    }
    std::sort(files.begin(), files.end());
    return files;
}

class CorpusFile : public ::testing::TestWithParam<std::string> {
protected:
    fs::path original = kCorpus / GetParam();
    bool xlrdReadsIt = GetParam() != "xlrd__invalid_formula.xls";  // xlrd cannot read its formula names
    ScratchFolder folder;
};

TEST_P(CorpusFile, SavedWithoutEditsReadsTheSameInXlrd) {
    if (!xlrdReadsIt) GTEST_SKIP() << "xlrd cannot read the original";
    EXPECT_EQ(xlrdDifferences(readBytes(original), Workbook::open(original).toBytes(), {}), "");
}

TEST_P(CorpusFile, EditsOnTheActiveSheetChangeExactlyTheEditedCells) {
    Workbook workbook = Workbook::open(original);
    const int sheet = workbook.activeSheet();
    std::vector<std::string> edited;
    const auto edit = [&](int row, int column, const CellValue& value) {
        workbook.setCell(sheet, row - 1, column - 1, value);
        edited.push_back(cellName(row - 1, column - 1));
    };
    edit(19, 2, CellValue::ofNumber(7));
    edit(4, 4, CellValue::ofText("2連勝中"));
    for (int column = 10; column <= 34; ++column) edit(41, column, CellValue::empty());
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
    const Bytes saved = workbook.toBytes();
    const Workbook reopened = openBook(saved);
    EXPECT_EQ(reopened.cell(sheet, 18, 1), CellValue::ofNumber(7));
    EXPECT_EQ(reopened.cell(sheet, 40, 26), CellValue::ofText("C"));
    EXPECT_EQ(reopened.cell(sheet, 40, 11), CellValue::ofNumber(3));
    EXPECT_EQ(reopened.cell(sheet, 40, 9), CellValue::empty());
    // The saved stream is sound wherever the original's was.
    const auto before = problemSet(workbookStreamOf(readBytes(original)), false);
    for (const std::string& problem : streamProblems(workbookStreamOf(saved), false))
        EXPECT_TRUE(before.count(problem)) << "new problem: " << problem;
    if (xlrdReadsIt) {
        EXPECT_EQ(xlrdDifferences(readBytes(original), saved, edited), "");
    }
}

TEST_P(CorpusFile, CutAndFlippedCopiesOpenOrAreRefusedCleanly) {
    const Bytes bytes = readBytes(original);
    std::size_t opened = 0;
    const auto attempt = [&](const Bytes& damaged) {
        try {
            Workbook workbook = openBook(damaged);
            (void)workbook.shown(workbook.activeSheet());
            (void)openBook(workbook.toBytes());
            ++opened;
        } catch (const XlsError& error) {
            EXPECT_THAT(error.what(), ::testing::StartsWith("data.xls"));
        }
    };
    for (std::size_t length : {std::size_t{0}, std::size_t{7}, std::size_t{511}, std::size_t{512}, bytes.size() / 3,
                               bytes.size() / 2, bytes.size() - 512, bytes.size() - 1})
        attempt(Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(length, bytes.size()))));
    for (std::size_t at = 0; at < bytes.size(); at += std::max<std::size_t>(1, bytes.size() / 150)) {
        Bytes flipped = bytes;
        flipped[at] ^= 0xFF;
        attempt(flipped);
    }
    EXPECT_GT(opened, 0u);
}

INSTANTIATE_TEST_SUITE_P(RealFiles, CorpusFile, ::testing::ValuesIn(readableFiles()), [](const auto& info) {
    std::string name = info.param.substr(0, info.param.size() - 4);
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
});

TEST(CorpusFiles, WritingACellOfASharedFormulaChangesOnlyThatCell) {
    for (int row : {3, 1}) {  // a member and the anchor of the shared formula over B2:B7
        Workbook workbook = Workbook::open(kCorpus / "libxls__dates-leap-year-1900-xls.xls");
        workbook.setCell(workbook.activeSheet(), row, 1, CellValue::ofNumber(42));
        const Bytes saved = workbook.toBytes();
        EXPECT_EQ(openBook(saved).cell(workbook.activeSheet(), row, 1), CellValue::ofNumber(42));
        EXPECT_EQ(
            xlrdDifferences(readBytes(kCorpus / "libxls__dates-leap-year-1900-xls.xls"), saved, {cellName(row, 1)}),
            "");
    }
}

TEST(CorpusFiles, DamagedAndOlderFilesAreRefusedAndLeftAsTheyWere) {
    for (const auto& [file, message] : kRefused) {
        const Bytes before = readBytes(kCorpus / file);
        EXPECT_XLS_ERROR(Workbook::open(kCorpus / file), file + " " + message);
        EXPECT_EQ(readBytes(kCorpus / file), before);
    }
}

}  // namespace
}  // namespace pellix::xls::testing
