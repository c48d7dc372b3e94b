// The texts the window and the dump show for places and values.

#include "workbook/xls/cell_text.h"
#include "workbook/xls/workbook.h"

#include <gtest/gtest.h>

namespace pellix::xls {
namespace {

TEST(CellText, ColumnLettersAndCellNames) {
    const std::pair<int, const char*> columns[] = {{0, "A"},   {25, "Z"},  {26, "AA"},
                                                   {51, "AZ"}, {52, "BA"}, {255, "IV"}};
    for (const auto& [column, letters] : columns) EXPECT_EQ(columnName(column), letters) << column;
    EXPECT_EQ(cellName(kMaxRows - 1, kMaxColumns - 1), "IV65536");
}

TEST(CellText, ValuesAsTheSheetShowsThem) {
    const std::pair<CellValue, const char*> cases[] = {
        {CellValue::empty(), ""},
        {CellValue::ofNumber(123456789012345678.0), "1.23456789012346e+17"},
        {CellValue::ofNumber(0.000012345), "1.2345e-05"},
        {CellValue::ofNumber(-2.5), "-2.5"},
        {CellValue::ofText("2連勝中"), "2連勝中"},
        {CellValue::ofBoolean(true), "TRUE"},
        {CellValue::ofBoolean(false), "FALSE"},
        {CellValue::ofError(0x00), "#NULL!"},
        {CellValue::ofError(0x07), "#DIV/0!"},
        {CellValue::ofError(0x0F), "#VALUE!"},
        {CellValue::ofError(0x17), "#REF!"},
        {CellValue::ofError(0x1D), "#NAME?"},
        {CellValue::ofError(0x24), "#NUM!"},
        {CellValue::ofError(0x2A), "#N/A"},
        {CellValue::ofError(0x2B), "#ERR!"},
    };
    for (const auto& [value, shown] : cases) EXPECT_EQ(shownText(value), shown);
}

}  // namespace
}  // namespace pellix::xls
