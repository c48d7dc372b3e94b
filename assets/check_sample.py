#!/usr/bin/python3
"""Checks a sample program folder: the workbook's cells, the pictures it names, the sounds.

Usage: check_sample.py FOLDER [workbook|pictures|sounds ...]   (all three when none is named)

Prints one line per fault and exits with status 1 when there is any.
"""
import os
import struct
import sys
import wave

import xlrd

FAULTS = []


def fault(message):
    FAULTS.append(message)


def cell(sheet, row, column):
    """Value of the 1-based (row, column), or None when the cell lies outside the used range."""
    if row - 1 >= sheet.nrows or column - 1 >= sheet.ncols:
        return None
    c = sheet.cell(row - 1, column - 1)
    return None if c.ctype in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK) else c.value


def check_workbook(folder):
    path = os.path.join(folder, "data.xls")
    with open(path, "rb") as f:
        if f.read(8) != b"\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1":
            fault("data.xls is not a compound document")
            return
    book = xlrd.open_workbook(path, formatting_info=True)
    if book.biff_version != 80:
        fault("data.xls is BIFF %d, not BIFF8" % book.biff_version)
    if book.nsheets != 1:
        fault("data.xls has %d worksheets, expected 1" % book.nsheets)
    sheet = book.sheet_by_index(0)
    if not sheet.sheet_selected or not sheet.sheet_visible:
        fault("the worksheet of data.xls is not the active one")

    turn = cell(sheet, 19, 2)
    if turn != 0 or sheet.cell_type(18, 1) != xlrd.XL_CELL_NUMBER:
        fault("B19 holds %r, expected the number 0" % (turn,))

    for player in range(1, 13):
        row = player + 1
        name = cell(sheet, row, 2)
        if not isinstance(name, str) or not name.strip():
            fault("B%d (name of player %d) is empty" % (row, player))
        for letter, column in (("C", 3), ("D", 4)):
            if cell(sheet, row, column) is not None:
                fault("%s%d of the status area is not empty" % (letter, row))
        height = sheet.rowinfo_map.get(row - 1)
        if height is None or height.height != 330:
            fault("row %d is not 16.5 pt high" % row)

    image_folder = os.path.join(folder, "image")
    for player in range(1, 13):
        row = player + 21
        name = cell(sheet, row, 3)
        if not isinstance(name, str) or not name:
            fault("C%d (picture of player %d) is empty" % (row, player))
        elif not os.path.isfile(os.path.join(image_folder, name)):
            fault("C%d names %s, which is not in image/" % (row, name))

    taking_part = 0
    for player in range(1, 13):
        value = cell(sheet, 37, player + 35)
        if value is not None and not isinstance(value, float):
            fault("entry cell of player %d holds text %r" % (player, value))
        elif value is not None and value > 0:
            taking_part += 1
    if taking_part != 10:
        fault("%d players take part, expected 10" % taking_part)

    # Rows 39 and 40 are read as the turns before turn 1; the turn rows start empty.
    for row in range(39, 2101):
        for column in range(10, 35):
            if cell(sheet, row, column) is not None:
                fault("turn area cell (row %d, column %d) is not empty" % (row, column))
                return


def gif_or_bmp_size(path):
    with open(path, "rb") as f:
        head = f.read(26)
    if head[:6] in (b"GIF87a", b"GIF89a"):
        return struct.unpack("<HH", head[6:10])
    if head[:2] == b"BM":
        width, height = struct.unpack("<ii", head[18:26])
        return width, abs(height)
    return None


def check_picture(path, size):
    if not os.path.isfile(path):
        fault("%s is missing" % path)
        return
    found = gif_or_bmp_size(path)
    if found is None:
        fault("%s is neither a GIF nor a BMP" % path)
    elif tuple(found) != size:
        fault("%s is %dx%d, expected %dx%d" % ((path,) + tuple(found) + size))


def check_pictures(folder):
    for player in range(1, 13):
        check_picture(os.path.join(folder, "image", "p%02d.gif" % player), (105, 105))
    check_picture(os.path.join(folder, "image", "CourtFrame.gif"), (393, 265))
    check_picture(os.path.join(folder, "QVN.bmp"), (54, 35))
    with open(os.path.join(folder, "QVN.bmp"), "rb") as f:
        if f.read(2) != b"BM":
            fault("QVN.bmp is not a bitmap")


SOUNDS = {"きん.wav": (0.3, 0.6), "ポコ.wav": (0.08, 0.25), "キラキラ.wav": (0.35, 0.8)}


def check_sounds(folder):
    for name, (shortest, longest) in SOUNDS.items():
        path = os.path.join(folder, "sound", name)
        if not os.path.isfile(path):
            fault("sound/%s is missing" % name)
            continue
        with wave.open(path, "rb") as w:
            if w.getnchannels() != 1 or w.getsampwidth() != 2 or w.getframerate() not in (22050, 44100):
                fault("sound/%s is not 16-bit mono PCM at 22.05 or 44.1 kHz" % name)
                continue
            seconds = w.getnframes() / w.getframerate()
            samples = struct.unpack("<%dh" % w.getnframes(), w.readframes(w.getnframes()))
        if not shortest <= seconds <= longest:
            fault("sound/%s lasts %.2f s, expected %.2f..%.2f s" % (name, seconds, shortest, longest))
        peak = max(abs(s) for s in samples) / 32768
        if not 0.05 <= peak <= 0.6:
            fault("sound/%s peaks at %.2f of full scale, expected 0.05..0.6" % (name, peak))


CHECKS = {"workbook": check_workbook, "pictures": check_pictures, "sounds": check_sounds}


def main(argv):
    if len(argv) < 2:
        sys.exit("usage: check_sample.py FOLDER [workbook|pictures|sounds ...]")
    folder = argv[1]
    for name in argv[2:] or list(CHECKS):
        if name not in CHECKS:
            sys.exit("unknown check %s" % name)
        CHECKS[name](folder)
    for message in FAULTS:
        print("check_sample: " + message, file=sys.stderr)
    return 1 if FAULTS else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
