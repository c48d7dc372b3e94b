// The real-file corpus, workbooks written by other programs: the damaged and older ones are
// refused with the right message; every other one saves unedited as the same stream and saves
// edited with a sound cell table that xlrd reads as the original apart from the edits. Damaged
// copies of them are the fuzzers' business (fuzz/, replayed by fuzz_corpus_test.cpp).

#include "kit.h"

#include <algorithm>
#include <map>
#include <regex>

namespace pellix::xls::testing {
namespace {

namespace fs = std::filesystem;

const std::map<std::string, std::string> kRefused = {
    {"libxls__biff5-label-records.xls", "was saved in an older spreadsheet format (BIFF5) that is not supported"},
    {"xlrd__biff4_no_format_no_window2.xls", "was saved in an older spreadsheet format (BIFF4) that is not supported"},
    {"libxls__xls2csv_ole_ole2_fread_327.xls", "is damaged: "},
    {"libxls__xls2csv_ole_read_MSAT_772.xls", "is damaged: "},
    {"libxls__xls2csv_ole_read_MSAT_body_687.xls", "is damaged: "},
};

std::vector<std::string> corpusFiles() {
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(PELLIX_CORPUS_DIR))
        if (entry.path().extension() == ".xls") files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    return files;
}

class CorpusFile : public ::testing::TestWithParam<std::string> {};

TEST_P(CorpusFile, OpensSavesAndEditsAsXlrdReadsItOrIsRefused) {
    const fs::path original = fs::path(PELLIX_CORPUS_DIR) / GetParam();
    const Bytes bytes = pellix::testing::readBytes(original);
    if (kRefused.count(GetParam())) {
        EXPECT_XLS_ERROR(Workbook::open(original), GetParam() + " " + kRefused.at(GetParam()));
        return;
    }
    Workbook workbook = Workbook::open(original);
    EXPECT_EQ(dump(workbookStreamOf(workbook.toBytes())), dump(workbookStreamOf(bytes)));
    const int sheet = workbook.activeSheet();
    std::vector<std::string> edited;
    const auto edit = [&](int row, int column, const CellValue& value) {
        workbook.setCell(sheet, row - 1, column - 1, value);
        edited.push_back(cellName(row - 1, column - 1));
    };
    edit(2, 2, CellValue::ofNumber(42));  // the anchor of a shared formula in one file
    edit(19, 2, CellValue::ofNumber(7));
    edit(4, 4, CellValue::ofText("2連勝中"));
    for (int column = 10; column <= 34; ++column) edit(41, column, CellValue::empty());
    edit(41, 12, CellValue::ofNumber(3));
    edit(41, 27, CellValue::ofText("C"));
    edit(300, 26, CellValue::ofNumber(0.25));
    for (int row = 2; row <= 14; ++row) {
        for (int column = 2; column <= 4 && row < 14; ++column) {
            workbook.setFill(sheet, row - 1, column - 1, row % 2 ? 35 : 40);
            edited.push_back(cellName(row - 1, column - 1));
        }
        workbook.setRowHeight(sheet, row - 1, row < 14 ? 16.5 : 0);
        edited.push_back("row:" + std::to_string(row));
    }
    const Bytes saved = workbook.toBytes();
    EXPECT_THAT(newProblems(bytes, saved, false), ::testing::IsEmpty());
    // xlrd cannot read the first one's formula names, nor the second one's container (a chain runs
    // on into sectors another stream holds; the damage tests compare such files to the undamaged one).
    if (GetParam() != "xlrd__invalid_formula.xls" && GetParam() != "xlrd__corrupted_error.xls") {
        EXPECT_EQ(xlrdDifferences(bytes, saved, edited), "");
    }
}

INSTANTIATE_TEST_SUITE_P(RealFiles, CorpusFile, ::testing::ValuesIn(corpusFiles()), [](const auto& info) {
    return std::regex_replace(info.param.substr(0, info.param.size() - 4), std::regex("[^A-Za-z0-9]"), "_");
});

}  // namespace
}  // namespace pellix::xls::testing
