#include "workbook/sheet_snapshot.h"

#include "workbook/xls/cell_text.h"
#include "workbook/xls/workbook.h"

namespace pellix {

const int kSheetRows = xls::kMaxRows;
const int kSheetColumns = xls::kMaxColumns;

xls::SheetShown readShownSheet(const std::filesystem::path& file) {
    const xls::Workbook workbook = xls::Workbook::open(file);
    return workbook.shown(workbook.activeSheet());
}

std::string shownText(const xls::CellValue& value) {
    return xls::shownText(value);
}

std::string columnLetters(int column) {
    return xls::columnName(column);
}

}  // namespace pellix
