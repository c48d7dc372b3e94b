#include "test_support.h"

namespace pellix::testing {

namespace fs = std::filesystem;

ProgramFolder::ProgramFolder() {
    fs::copy(PELLIX_SAMPLE_DIR, path(), fs::copy_options::recursive);
    fs::permissions(dataPath(), fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
}

void ProgramFolder::setCell(int row, int column, const xls::CellValue& value) const {
    xls::Workbook workbook = xls::Workbook::open(dataPath());
    workbook.setCell(workbook.activeSheet(), row - 1, column - 1, value);
    workbook.saveAs(dataPath());
}

std::string ProgramFolder::turnRow(int turn) const {
    const xls::Workbook book = xls::Workbook::open(dataPath());
    const auto at = [&](int column) { return book.cell(book.activeSheet(), cellmap::turnRow(turn) - 1, column - 1); };
    std::string shown, marks;
    for (int player = 1; player <= cellmap::kPlayers; ++player) {
        const xls::CellValue slot = at(cellmap::positionColumn(player));
        shown += std::to_string(slot.kind == xls::ValueKind::Number ? static_cast<int>(slot.number) : 0);
        if (at(cellmap::markColumn(player)) == xls::CellValue::ofText("C")) marks += " C" + std::to_string(player);
    }
    return shown + marks;
}

}  // namespace pellix::testing

// One QApplication for the whole program, offscreen unless the caller chose a platform.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
