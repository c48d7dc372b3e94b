#include "workbook/xls/cell_text.h"

#include "workbook/xls/workbook.h"

#include <cstdio>

namespace pellix::xls {

std::string columnName(int column) {
    std::string letters;
    for (int n = column + 1; n > 0; n = (n - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
    return letters;
}

std::string cellName(int row, int column) {
    return columnName(column) + std::to_string(row + 1);
}

std::string errorText(std::uint8_t code) {
    switch (code) {
    case 0x00:
        return "#NULL!";
    case 0x07:
        return "#DIV/0!";
    case 0x0F:
        return "#VALUE!";
    case 0x17:
        return "#REF!";
    case 0x1D:
        return "#NAME?";
    case 0x24:
        return "#NUM!";
    case 0x2A:
        return "#N/A";
    default:
        return "#ERR!";
    }
}

std::string numberText(double number) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.15g", number);
    return buffer;
}

std::string shownText(const CellValue& value) {
    switch (value.kind) {
    case ValueKind::Empty:
        return {};
    case ValueKind::Number:
        return numberText(value.number);
    case ValueKind::Text:
        return value.text;
    case ValueKind::Boolean:
        return value.boolean ? "TRUE" : "FALSE";
    case ValueKind::Error:
        return errorText(value.error);
    }
    return {};
}

}  // namespace pellix::xls
