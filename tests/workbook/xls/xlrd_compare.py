#!/usr/bin/python3
"""Compares two workbooks as an independent reader (xlrd, formatting_info=True) sees them.

usage: xlrd_compare.py ORIGINAL SAVED [CELL | row:N ...]

Every sheet's name, visibility and selection, every cell's type, value, font, fill and number
format, every formula as xlrd decompiles it (in R1C1 form, so a shared formula and the same
formula held by the cell itself read alike), row heights and hidden rows, column widths, merged ranges and names must read the same;
the CELLs given (A1 style) and rows given as row:N (1-based), on the active sheet, are the
edited ones and may differ. Prints each
difference and exits 1 when there is one, 2 when a file cannot be read.

An ORIGINAL whose container xlrd refuses only because a chain runs on past its stream's end
(into another stream's sectors) is read again with xlrd's plain stream reader and without its
cross-check of sector owners: xlrd then reads every stream by its own chain, up to its size.
SAVED is always read strictly.
"""
import contextlib
import os
import re
import struct
import sys

import xlrd
from xlrd import compdoc, formula


def cell_index(name):
    match = re.fullmatch(r"([A-Z]+)([0-9]+)", name)
    column = 0
    for letter in match.group(1):
        column = column * 26 + ord(letter) - 64
    return int(match.group(2)) - 1, column - 1


def font_of(book, xf):
    font = book.font_list[xf.font_index]
    return (font.name, font.height, font.bold, font.italic, font.underline_type, font.struck_out,
            font.colour_index, font.escapement, font.family)


def format_of(book, xf_index):
    xf = book.xf_list[xf_index]
    number_format = book.format_map[xf.format_key].format_str if xf.format_key in book.format_map else None
    background = xf.background
    border = xf.border
    alignment = xf.alignment
    return {
        "font": font_of(book, xf),
        "fill": (background.fill_pattern, background.pattern_colour_index if background.fill_pattern else None),
        "number_format": number_format,
        "border": (border.left_line_style, border.right_line_style, border.top_line_style, border.bottom_line_style,
                   border.left_colour_index, border.right_colour_index, border.top_colour_index,
                   border.bottom_colour_index),
        "alignment": (alignment.hor_align, alignment.vert_align, alignment.rotation, alignment.text_wrapped,
                      alignment.indent_level),
    }


def workbook_stream(path):
    with open(path, "rb") as handle:
        data = handle.read()
    with open(os.devnull, "w") as quiet:
        document = compdoc.CompDoc(data, logfile=quiet)
        for name in ("Workbook", "Book"):
            stream = document.get_named_stream(name)
            if stream:
                return stream
    return b""


def records_from(stream, position):
    while position + 4 <= len(stream):
        kind, size = struct.unpack_from("<HH", stream, position)
        yield kind, stream[position + 4:position + 4 + size]
        position += 4 + size


def formula_texts(book, stream, sheet_start):
    """(row, column) -> the text of each FORMULA cell of the sheet that begins at sheet_start."""
    cells, groups = {}, {}
    depth, last_cell = 0, None
    for kind, data in records_from(stream, sheet_start):
        if kind == 0x0809:
            depth += 1
        elif kind == 0x000A:
            depth -= 1
            if depth == 0:
                break
        elif depth != 1:
            continue
        elif kind == 0x0006 and len(data) >= 22:
            row, column = struct.unpack_from("<HH", data)
            size = struct.unpack_from("<H", data, 20)[0]
            cells[(row, column)] = data[22:22 + size]
            last_cell = (row, column)
        elif kind in (0x0201, 0x0203, 0x0204, 0x0205, 0x027E, 0x00D6, 0x00FD) and len(data) >= 4:
            cells.pop(struct.unpack_from("<HH", data), None)  # a later copy of the cell hides the formula
        elif kind in (0x00BD, 0x00BE) and len(data) >= 6:
            row, first = struct.unpack_from("<HH", data)
            last = struct.unpack_from("<H", data, len(data) - 2)[0]
            for column in range(first, last + 1):
                cells.pop((row, column), None)
        elif kind in (0x04BC, 0x0221, 0x0236) and len(data) >= 6 and last_cell is not None:
            row, _, column = struct.unpack_from("<HHB", data)
            groups[(row, column)] = (kind, data)
    texts = {}
    for (row, column), tokens in cells.items():
        kind, fmlatype = 0x0006, formula.FMLA_TYPE_CELL
        if len(tokens) == 5 and tokens[0] in (0x01, 0x02):
            anchor = struct.unpack_from("<HH", tokens, 1)
            kind, data = groups.get(anchor, (None, b""))
            if kind == 0x04BC:
                size = struct.unpack_from("<H", data, 8)[0]
                tokens, fmlatype = data[10:10 + size], formula.FMLA_TYPE_SHARED
            else:
                texts[(row, column)] = "group %r at %r" % (kind, anchor)
                continue
        try:
            text = formula.decompile_formula(book, tokens, len(tokens), fmlatype, browx=row, bcolx=column, r1c1=1)
        except Exception as error:  # noqa: BLE001 - an undecodable formula is compared by its bytes
            text = None
        texts[(row, column)] = text if text is not None else "tokens " + tokens.hex()
    return texts


def sheet_starts(stream):
    starts = []
    for kind, data in records_from(stream, 0):
        if kind == 0x0085 and len(data) >= 4:
            starts.append(struct.unpack_from("<I", data)[0])
        elif kind == 0x000A:
            break
    return starts


@contextlib.contextmanager
def shared_sectors_allowed():
    strict = compdoc.CompDoc._get_stream

    def relaxed(self, *args, **kwargs):
        kwargs["seen_id"] = None
        return strict(self, *args, **kwargs)

    fancy = xlrd.book.USE_FANCY_CD
    compdoc.CompDoc._get_stream = relaxed
    xlrd.book.USE_FANCY_CD = 0
    try:
        yield
    finally:
        compdoc.CompDoc._get_stream = strict
        xlrd.book.USE_FANCY_CD = fancy


def describe(path):
    with open(os.devnull, "w") as quiet:
        book = xlrd.open_workbook(path, formatting_info=True, on_demand=False, logfile=quiet)
    stream = workbook_stream(path)
    starts = sheet_starts(stream)
    sheets = []
    for index, sheet in enumerate(book.sheets()):
        formulas = formula_texts(book, stream, starts[index]) if index < len(starts) else {}
        cells = {}
        for row in range(sheet.nrows):
            for column in range(sheet.row_len(row)):
                cell = sheet.cell(row, column)
                if cell.ctype == xlrd.XL_CELL_EMPTY:
                    continue
                cells[(row, column)] = (cell.ctype, cell.value, format_of(book, cell.xf_index),
                                        formulas.get((row, column)))
        # A row without a ROW record shows the sheet's default height; one with a record of that
        # same height reads the same to a user.
        default_height = sheet.default_row_height if sheet.default_row_height is not None else 255
        rows = {}
        for row, info in sheet.rowinfo_map.items():
            shown = (info.height, info.hidden, info.height_mismatch)
            if shown != (default_height, 0, 0):
                rows[row] = shown
        columns = {column: (info.width, info.hidden) for column, info in sheet.colinfo_map.items()}
        sheets.append({
            "name": sheet.name,
            "visibility": sheet.visibility,
            "selected": sheet.sheet_selected,
            "cells": cells,
            "rows": rows,
            "columns": columns,
            "merged": sorted(sheet.merged_cells),
        })
    names = sorted((name.name, name.scope, name.hidden, name.formula_text if hasattr(name, "formula_text") else None)
                   for name in book.name_obj_list)
    return {"sheets": sheets, "names": names, "datemode": book.datemode}


def main():
    original_path, saved_path = sys.argv[1], sys.argv[2]
    edited = {cell_index(name) for name in sys.argv[3:] if not name.startswith("row:")}
    edited_rows = {int(name[4:]) - 1 for name in sys.argv[3:] if name.startswith("row:")}
    try:
        try:
            original = describe(original_path)
        except compdoc.CompDocError as error:
            if "corruption: seen" not in str(error) and "size exceeds expected" not in str(error):
                raise
            with shared_sectors_allowed():
                original = describe(original_path)
    except Exception as error:  # noqa: BLE001 - any reader failure is reported the same way
        print("cannot read %s: %s" % (original_path, error))
        return 2
    try:
        saved = describe(saved_path)
    except Exception as error:  # noqa: BLE001
        print("cannot read %s: %s" % (saved_path, error))
        return 2
    differences = []
    if original["names"] != saved["names"]:
        differences.append("names: %r != %r" % (original["names"], saved["names"]))
    if original["datemode"] != saved["datemode"]:
        differences.append("date mode differs")
    if len(original["sheets"]) != len(saved["sheets"]):
        differences.append("sheet count %d != %d" % (len(original["sheets"]), len(saved["sheets"])))
    for before, after in zip(original["sheets"], saved["sheets"]):
        label = before["name"]
        for key in ("name", "visibility", "selected", "columns", "merged"):
            if before[key] != after[key]:
                differences.append("%s: %s %r != %r" % (label, key, before[key], after[key]))
        active = before["selected"]
        for row in sorted(set(before["rows"]) | set(after["rows"])):
            if active and row in edited_rows:
                continue
            if before["rows"].get(row) != after["rows"].get(row):
                differences.append("%s: row %d %r != %r" % (label, row + 1, before["rows"].get(row),
                                                            after["rows"].get(row)))
        for place in sorted(set(before["cells"]) | set(after["cells"])):
            if active and place in edited:
                continue
            if before["cells"].get(place) != after["cells"].get(place):
                differences.append("%s: cell %s%d %r != %r" % (label, xlrd.colname(place[1]), place[0] + 1,
                                                               before["cells"].get(place), after["cells"].get(place)))
    for line in differences[:40]:
        print(line)
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main())
