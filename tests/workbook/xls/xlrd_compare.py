#!/usr/bin/python3
# Compares two workbooks as an independent reader (xlrd, formatting_info=True) sees them.
#
# usage: xlrd_compare.py ORIGINAL SAVED [CELL | row:N ...]
#
# Every sheet's name, visibility and selection, every cell's type, value, font, fill, borders,
# alignment and number format, every formula as xlrd decompiles it (in R1C1 form, so a shared
# formula and the same formula held by the cell itself read alike), row heights and hidden rows,
# column widths, merged ranges and names must read the same; the CELLs given (A1 style) and rows
# given as row:N (1-based), on the active sheet, are the edited ones and may differ. Prints each
# difference and exits 1 when there is one (or a file cannot be read).
import os
import re
import struct
import sys

import xlrd
from xlrd import compdoc, formula


def cell_index(name):
    letters, row = re.fullmatch(r"([A-Z]+)([0-9]+)", name).groups()
    return int(row) - 1, sum(26 ** k * (ord(letter) - 64) for k, letter in enumerate(reversed(letters))) - 1


def format_of(book, xf_index):
    xf = book.xf_list[xf_index]
    font, fill, border, align = book.font_list[xf.font_index], xf.background, xf.border, xf.alignment
    return (vars(font), fill.fill_pattern, fill.pattern_colour_index if fill.fill_pattern else None,
            book.format_map[xf.format_key].format_str if xf.format_key in book.format_map else None,
            vars(border), (align.hor_align, align.vert_align, align.rotation, align.text_wrapped, align.indent_level))


def records(stream, position):
    while position + 4 <= len(stream):
        kind, size = struct.unpack_from("<HH", stream, position)
        yield kind, stream[position + 4:position + 4 + size]
        position += 4 + size


def formula_texts(book, stream, start):
    """(row, column) -> the text of each FORMULA cell of the sheet that begins at start."""
    cells, groups, depth = {}, {}, 0
    for kind, data in records(stream, start):
        depth += (kind == 0x0809) - (kind == 0x000A)
        if depth == 0:
            break
        if depth != 1 or len(data) < 6:
            continue
        row, column = struct.unpack_from("<HH", data)
        if kind in (0x04BC, 0x0221, 0x0236):
            groups[(row, data[4])] = (kind, data)
        elif kind in (0x0006, 0x0201, 0x0203, 0x0204, 0x0205, 0x027E, 0x00D6, 0x00FD, 0x00BD, 0x00BE):
            # A later copy of a cell hides its formula.
            last = struct.unpack_from("<H", data, len(data) - 2)[0] if kind in (0x00BD, 0x00BE) else column
            for hidden in range(column, last + 1):
                cells[(row, hidden)] = data[22:22 + struct.unpack_from("<H", data, 20)[0]] if kind == 0x0006 else None
    texts = {}
    for (row, column), tokens in cells.items():
        fmlatype = formula.FMLA_TYPE_CELL
        if tokens is not None and len(tokens) == 5 and tokens[0] in (0x01, 0x02):
            anchor = struct.unpack_from("<HH", tokens, 1)
            kind, data = groups.get(anchor, (None, b""))
            if kind != 0x04BC:
                texts[(row, column)] = "group %r at %r" % (kind, anchor)
                continue
            tokens, fmlatype = data[10:10 + struct.unpack_from("<H", data, 8)[0]], formula.FMLA_TYPE_SHARED
        try:
            text = formula.decompile_formula(book, tokens, len(tokens), fmlatype, browx=row, bcolx=column, r1c1=1)
        except Exception:  # noqa: BLE001 - an undecodable formula is compared by its bytes
            text = None
        if tokens is not None:
            texts[(row, column)] = text if text is not None else "tokens " + tokens.hex()
    return texts


def describe(path):
    with open(os.devnull, "w") as quiet, open(path, "rb") as handle:
        book = xlrd.open_workbook(path, formatting_info=True, logfile=quiet)
        document = compdoc.CompDoc(handle.read(), logfile=quiet)
        stream = document.get_named_stream("Workbook") or document.get_named_stream("Book") or b""
    globals_end = next(position for position, (kind, _) in enumerate(records(stream, 0)) if kind == 0x000A)
    starts = [struct.unpack_from("<I", data)[0] for kind, data in list(records(stream, 0))[:globals_end] if kind == 0x0085]
    sheets = []
    for sheet, start in zip(book.sheets(), starts):
        formulas = formula_texts(book, stream, start)
        cells = {(row, column): (cell.ctype, cell.value, format_of(book, cell.xf_index), formulas.get((row, column)))
                 for row in range(sheet.nrows) for column, cell in enumerate(sheet.row(row))
                 if cell.ctype != xlrd.XL_CELL_EMPTY}
        # A ROW record of the sheet's default height reads as no record to a user.
        default = (sheet.default_row_height if sheet.default_row_height is not None else 255, 0, 0)
        rows = {row: (info.height, info.hidden, info.height_mismatch) for row, info in sheet.rowinfo_map.items()}
        sheets.append({"name": sheet.name, "visibility": sheet.visibility, "selected": sheet.sheet_selected,
                       "cells": cells, "rows": {row: shown for row, shown in rows.items() if shown != default},
                       "columns": {column: (info.width, info.hidden) for column, info in sheet.colinfo_map.items()},
                       "merged": sorted(sheet.merged_cells)})
    names = sorted((name.name, name.scope, name.hidden, getattr(name, "formula_text", None)) for name in book.name_obj_list)
    return {"sheets": sheets, "names": names, "datemode": book.datemode, "count": len(book.sheets())}


def main():
    edited = {cell_index(name) for name in sys.argv[3:] if not name.startswith("row:")}
    edited_rows = {int(name[4:]) - 1 for name in sys.argv[3:] if name.startswith("row:")}
    original, saved = describe(sys.argv[1]), describe(sys.argv[2])
    differences = ["%s: %r != %r" % (key, original[key], saved[key]) for key in ("names", "datemode", "count")
                   if original[key] != saved[key]]
    for before, after in zip(original["sheets"], saved["sheets"]):
        label, active = before["name"], before["selected"]
        differences += ["%s: %s %r != %r" % (label, key, before[key], after[key])
                        for key in ("name", "visibility", "selected", "columns", "merged") if before[key] != after[key]]
        for kind, skipped in (("rows", edited_rows), ("cells", edited)):
            for place in sorted(set(before[kind]) | set(after[kind])):
                if not (active and place in skipped) and before[kind].get(place) != after[kind].get(place):
                    differences.append("%s: %s %r %r != %r" % (label, kind, place, before[kind].get(place), after[kind].get(place)))
    print("\n".join(differences[:40]))
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main())
