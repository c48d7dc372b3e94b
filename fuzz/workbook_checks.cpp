#include "workbook_checks.h"

#include "workbook/xls/workbook.h"

#include <bit>
#include <map>
#include <optional>
#include <vector>

namespace pellix::fuzz {

namespace {

using xls::CellShown;
using xls::CellValue;
using xls::RowShown;
using xls::SheetShown;
using xls::Workbook;
using xls::XlsError;

constexpr const char* kName = "fuzz.xls";

// A refusal must name the file it refuses.
std::string refusalProblem(const XlsError& error) {
    const std::string message = error.what();
    return message.rfind(kName, 0) == 0 ? std::string() : "a refusal that does not name the file: " + message;
}

// The cells the edits below touch, and the rows they may give a ROW record or a height.
bool editedCell(int row, int column) {
    return (row == 18 && column == 1) || (row == 3 && column == 3) || (row == 40 && column == 9)
           || (row == 1 && column < 6) || (row == 2 && column == 2) || (row == 0 && column == 0);
}

bool editedRow(int row) {
    return row == 0 || row == 1 || row == 2 || row == 3 || row == 5 || row == 6 || row == 18 || row == 40;
}

void edit(Workbook& workbook, int sheet) {
    workbook.setCell(sheet, 18, 1, CellValue::ofNumber(7));
    workbook.setCell(sheet, 3, 3, CellValue::ofText("2連勝中"));
    workbook.setCell(sheet, 40, 9, CellValue::ofNumber(0.1));
    for (int column = 0; column < 6; ++column) workbook.setCell(sheet, 1, column, CellValue::empty());
    workbook.setFill(sheet, 2, 2, 35);
    workbook.setFill(sheet, 0, 0, 40);
    workbook.setRowHeight(sheet, 5, 16.5);
    workbook.setRowHeight(sheet, 6, 0);
}

// Numbers compare by their bits: a kept NaN is the same NaN.
bool sameValue(const CellValue& a, const CellValue& b) {
    if (a.kind == xls::ValueKind::Number && b.kind == xls::ValueKind::Number)
        return std::bit_cast<std::uint64_t>(a.number) == std::bit_cast<std::uint64_t>(b.number);
    return a == b;
}

bool sameCell(const CellShown& a, const CellShown& b) {
    return a.row == b.row && a.column == b.column && sameValue(a.value, b.value) && a.formula == b.formula
           && a.fillColorIndex == b.fillColorIndex && (a.fillColorIndex < 0 || a.fillRgb == b.fillRgb);
}

bool sameUntouchedCells(const SheetShown& before, const SheetShown& after, bool edited) {
    std::vector<const CellShown*> kept;
    std::vector<const CellShown*> read;
    for (const CellShown& cell : before.cells)
        if (!(edited && editedCell(cell.row, cell.column))) kept.push_back(&cell);
    for (const CellShown& cell : after.cells)
        if (!(edited && editedCell(cell.row, cell.column))) read.push_back(&cell);
    if (kept.size() != read.size()) return false;
    for (std::size_t i = 0; i < kept.size(); ++i)
        if (!sameCell(*kept[i], *read[i])) return false;
    return true;
}

// How the rows look: a row without a ROW record, or with one that sets no height of its own and
// does not hide it, has the sheet's default height; a save may add such records for rows with cells.
std::map<int, std::pair<int, bool>> rowLooks(const SheetShown& sheet, bool edited) {
    std::map<int, std::pair<int, bool>> looks;
    for (const RowShown& row : sheet.rows)
        if (!(edited && editedRow(row.row)) && (row.customHeight || row.hidden))
            looks[row.row] = {row.customHeight ? row.heightTwips : -1, row.hidden};
    return looks;
}

std::string editsProblem(const Workbook& reopened, int sheet) {
    if (reopened.cell(sheet, 18, 1) != CellValue::ofNumber(7)) return "the number does not read back";
    if (reopened.cell(sheet, 3, 3) != CellValue::ofText("2連勝中")) return "the text does not read back";
    if (reopened.cell(sheet, 40, 9) != CellValue::ofNumber(0.1)) return "the fraction does not read back";
    for (int column = 0; column < 6; ++column)
        if (reopened.cell(sheet, 1, column) != CellValue::empty()) return "an emptied cell is not empty";
    const SheetShown shown = reopened.shown(sheet);
    int fills = 0;
    bool tall = false;
    bool hidden = false;
    for (const CellShown& cell : shown.cells)
        fills += (cell.row == 2 && cell.column == 2 && cell.fillColorIndex == 35)
                 || (cell.row == 0 && cell.column == 0 && cell.fillColorIndex == 40);
    for (const RowShown& row : shown.rows) {
        tall = tall || (row.row == 5 && row.heightTwips == 330 && row.customHeight && !row.hidden);
        hidden = hidden || (row.row == 6 && row.hidden);
    }
    if (fills != 2) return "a fill does not read back";
    if (!tall) return "the row height does not read back";
    if (!hidden) return "the hidden row does not read back";
    return {};
}

}  // namespace

std::string checkRead(std::span<const std::uint8_t> bytes) {
    try {
        const Workbook workbook = Workbook::fromBytes(bytes, kName);
        if (workbook.activeSheet() < 0 || workbook.activeSheet() >= workbook.sheetCount())
            return "the active sheet is not one of the sheets";
        for (int sheet = 0; sheet < workbook.sheetCount(); ++sheet) {
            try {
                (void)workbook.sheetName(sheet);
                (void)workbook.shown(sheet);
                (void)workbook.cell(sheet, 18, 1);
            } catch (const XlsError& error) {
                if (std::string problem = refusalProblem(error); !problem.empty()) return problem;
            }
        }
    } catch (const XlsError& error) {
        return refusalProblem(error);
    }
    return {};
}

std::string checkEditSaveReopen(std::span<const std::uint8_t> bytes) {
    std::optional<Workbook> workbook;
    std::vector<std::optional<SheetShown>> before;  // none for a sheet that cannot be shown (a chart)
    const int sheet = [&] {
        try {
            workbook.emplace(Workbook::fromBytes(bytes, kName));
            for (int s = 0; s < workbook->sheetCount(); ++s) {
                try {
                    before.push_back(workbook->shown(s));
                } catch (const XlsError&) {
                    before.emplace_back();
                }
            }
            const int active = workbook->activeSheet();
            edit(*workbook, active);
            return active;
        } catch (const XlsError&) {
            return -1;  // refused: damaged, a chart sheet, a shared formula's anchor, a full format list
        }
    }();
    if (sheet < 0) return {};

    std::vector<std::uint8_t> saved;
    try {
        saved = workbook->toBytes();
    } catch (const XlsError&) {
        return {};  // a save may refuse; it may not write a broken file
    }
    std::optional<Workbook> reopened;
    try {
        reopened.emplace(Workbook::fromBytes(saved, "saved.xls"));
    } catch (const XlsError& error) {
        return std::string("the saved workbook does not reopen: ") + error.what();
    }
    if (reopened->sheetCount() != static_cast<int>(before.size())) return "the number of sheets changed";
    if (reopened->activeSheet() != sheet) return "the active sheet changed";
    if (std::string problem = editsProblem(*reopened, sheet); !problem.empty()) return problem;
    for (int s = 0; s < reopened->sheetCount(); ++s) {
        const std::string where = " on sheet " + std::to_string(s + 1);
        if (!before[static_cast<std::size_t>(s)]) continue;
        const SheetShown& was = *before[static_cast<std::size_t>(s)];
        SheetShown now;
        try {
            now = reopened->shown(s);
        } catch (const XlsError& error) {
            return "a sheet that was read before the save is refused after it" + where + ": " + error.what();
        }
        if (now.name != was.name) return "the sheet name changed" + where;
        if (!sameUntouchedCells(was, now, s == sheet)) return "a cell that no edit touched changed" + where;
        if (rowLooks(was, s == sheet) != rowLooks(now, s == sheet)
            || now.defaultRowHeightTwips != was.defaultRowHeightTwips)
            return "a row that no edit touched changed" + where;
    }
    return {};
}

}  // namespace pellix::fuzz
