// pellix-xls: look into a score workbook and change it from the command line, through the same
// stand-in for the spreadsheet application that the program uses.
//
//   pellix-xls dump FILE          the active sheet's cells and its rows with their own height
//   pellix-xls edit FILE OP...    B19=7  D4=2連勝中  J41:AH41=  fill:B2:D13=35  height:2:13=16.5
//   pellix-xls stats FILE         the taking-part players' statistics over turns 1..B19, as CSV
//   pellix-xls records FILE       the workbook stream, one record a line

#include "workbook/player_stats.h"
#include "workbook/xl_app.h"
#include "files/atomic_file.h"
#include "workbook/xls/cell_text.h"
#include "workbook/xls/record_dump.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

namespace {

using pellix::CellValue;
using pellix::ValueKind;
using pellix::xls::CellShown;

std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string kindText(const CellShown& cell) {
    if (cell.formula) return "formula";
    switch (cell.value.kind) {
    case ValueKind::Number:
        return "number";
    case ValueKind::Text:
        return "text";
    case ValueKind::Boolean:
        return "bool";
    case ValueKind::Error:
        return "error";
    case ValueKind::Empty:
        break;
    }
    return "blank";
}

// The value as the window's sheet shows it, with a text's control characters escaped.
std::string valueText(const CellValue& value) {
    return value.kind == ValueKind::Text ? escaped(value.text) : pellix::xls::shownText(value);
}

int dump(const std::string& file) {
    pellix::XlApp xlApp;
    pellix::XlBook& xlBook = xlApp.Application().Workbooks().Open(file);
    const auto shown = xlBook.workbook().shown(xlBook.workbook().activeSheet());
    auto row = shown.rows.begin();
    const auto printRowsUpTo = [&](int last) {
        for (; row != shown.rows.end() && row->row <= last; ++row)
            if (row->customHeight || row->hidden)
                std::cout << "row\t" << row->row + 1 << "\theight=" << pellix::xls::numberText(row->heightTwips / 20.0)
                          << "\thidden=" << (row->hidden ? 1 : 0) << '\n';
    };
    for (const CellShown& cell : shown.cells) {
        printRowsUpTo(cell.row);
        std::cout << "cell\t" << pellix::xls::cellName(cell.row, cell.column) << '\t' << kindText(cell) << '\t'
                  << valueText(cell.value)
                  << "\tfill=" << (cell.fillColorIndex >= 0 ? std::to_string(cell.fillColorIndex) : std::string("-"))
                  << '\n';
    }
    printRowsUpTo(1 << 20);
    xlBook.Close();
    return 0;
}

std::optional<double> asNumber(const std::string& text) {
    if (text.empty()) return std::nullopt;
    double number = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), number);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() || !std::isfinite(number))
        return std::nullopt;
    return number;
}

void apply(pellix::XlApp& xlApp, const std::string& operation) {
    const std::size_t equals = operation.find('=');
    if (equals == std::string::npos)
        throw pellix::XlsError("\"" + operation + "\" is not an edit (expected ADDRESS=VALUE)");
    const std::string target = operation.substr(0, equals);
    const std::string value = operation.substr(equals + 1);
    if (target.rfind("fill:", 0) == 0) {
        const auto index = asNumber(value);
        if (!index || *index != std::floor(*index)) throw pellix::XlsError("\"" + value + "\" is not a colour index");
        xlApp.range(target.substr(5)).Interior().setColorIndex(static_cast<int>(*index));
    } else if (target.rfind("height:", 0) == 0) {
        const auto points = asNumber(value);
        if (!points) throw pellix::XlsError("\"" + value + "\" is not a row height");
        xlApp.rows(target.substr(7)).setRowheight(*points);
    } else if (const auto number = asNumber(value)) {
        xlApp.range(target).setValue(*number);
    } else {
        xlApp.range(target).setValue(std::string_view(value));
    }
}

int edit(const std::string& file, int count, char** operations) {
    pellix::XlApp xlApp;
    pellix::XlBook& xlBook = xlApp.Application().Workbooks().Open(file);
    for (int i = 0; i < count; ++i) apply(xlApp, operations[i]);
    xlBook.saveas(file);
    xlBook.Close();
    return 0;
}

int stats(const std::string& file) {
    pellix::XlApp xlApp;
    pellix::XlBook& xlBook = xlApp.Application().Workbooks().Open(file);
    const auto shown = xlBook.workbook().shown(xlBook.workbook().activeSheet());
    std::cout << pellix::statsCsv(pellix::computeStats(pellix::ShownRecord(shown))) << std::flush;
    xlBook.Close();
    // A table cut short (a full disk, a closed pipe) must not pass for the whole one.
    if (!std::cout) {
        std::cerr << "pellix-xls: cannot write the table to standard output\n";
        return 1;
    }
    return 0;
}

int records(const std::string& file) {
    const std::filesystem::path path = file;
    const std::string name = path.filename().string();
    for (const std::string& line : pellix::xls::dumpRecords(pellix::xls::readWholeFile(path, name), name))
        std::cout << line << '\n';
    return 0;
}

int usage() {
    std::cerr << "usage: pellix-xls dump FILE\n"
                 "       pellix-xls edit FILE OP...   (B19=7  D4=text  J41:AH41=  fill:B2:D13=35  height:2:13=16.5)\n"
                 "       pellix-xls stats FILE\n"
                 "       pellix-xls records FILE\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    const std::string command = argv[1];
    try {
        if (command == "dump" && argc == 3) return dump(argv[2]);
        if (command == "edit" && argc >= 4) return edit(argv[2], argc - 3, argv + 3);
        if (command == "stats" && argc == 3) return stats(argv[2]);
        if (command == "records" && argc == 3) return records(argv[2]);
    } catch (const pellix::XlsError& error) {
        std::cerr << error.what() << '\n';
        return 1;
    } catch (const std::exception& error) {
        std::cerr << argv[2] << ": " << error.what() << '\n';
        return 1;
    }
    return usage();
}
