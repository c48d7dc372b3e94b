// libFuzzer target: any bytes opened as a workbook; what opens is edited, saved, reopened and
// checked. Damaged input must end in XlsError, never in a crash, a hang, an out-of-bounds read or
// unbounded allocation; a workbook this engine wrote must always reopen with the edits in it.

#include "workbook/xls/workbook.h"

#include <cstdint>
#include <cstdlib>
#include <span>

namespace {

using pellix::xls::CellValue;
using pellix::xls::Workbook;
using pellix::xls::XlsError;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void editSaveReopen(Workbook& workbook)
{
    const int sheet = workbook.activeSheet();
    try {
        workbook.setCell(sheet, 18, 1, CellValue::ofNumber(7));
        workbook.setCell(sheet, 3, 3, CellValue::ofText("2連勝中"));
        workbook.setCell(sheet, 40, 9, CellValue::ofNumber(0.1));
        for (int column = 0; column < 6; ++column)
            workbook.setCell(sheet, 1, column, CellValue::empty());
        workbook.setFill(sheet, 2, 2, 35);
        workbook.setFill(sheet, 0, 0, 40);
        workbook.setRowHeight(sheet, 5, 16.5);
        workbook.setRowHeight(sheet, 6, 0);
    } catch (const XlsError&) {
        return;  // a chart sheet, a shared formula anchor, a full format list: refused, fine
    }
    const std::vector<std::uint8_t> saved = workbook.toBytes();
    Workbook reopened = Workbook::fromBytes(saved, "saved.xls");  // must not throw
    check(reopened.activeSheet() == sheet);
    check(reopened.cell(sheet, 18, 1) == CellValue::ofNumber(7));
    check(reopened.cell(sheet, 3, 3) == CellValue::ofText("2連勝中"));
    check(reopened.cell(sheet, 40, 9) == CellValue::ofNumber(0.1));
    check(reopened.cell(sheet, 1, 2) == CellValue::empty());
    const auto shown = reopened.shown(sheet);
    bool filled = false;
    for (const auto& cell : shown.cells)
        if (cell.row == 2 && cell.column == 2)
            filled = cell.fillColorIndex == 35;
    check(filled);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        Workbook workbook = Workbook::fromBytes(std::span(data, size), "fuzz.xls");
        for (int sheet = 0; sheet < workbook.sheetCount(); ++sheet) {
            try {
                (void)workbook.shown(sheet);
            } catch (const XlsError&) {
            }
        }
        editSaveReopen(workbook);
    } catch (const XlsError&) {
    }
    return 0;
}
