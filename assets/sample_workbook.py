#!/usr/bin/python3
"""Writes the sample score workbook data.xls (97-2003 binary format, one worksheet).

This file is the readable source of assets/sample/data.xls; scripts/make-sample-workbook.sh runs
it and then checks the result. The cells Pellix reads and writes:

  B2:D13     status rows, player i on row i + 1 (B: name, C: empty, D: standing), thin borders
  rows 2-14  16.5 pt high (the display formats hide rows by setting their height to 0)
  B19        last turn recorded, 0 for a fresh record
  C22:C33    picture file of player k in row k + 21, relative to the image folder
  AJ37:AU37  entry cells, player i in column i + 35: greater than 0 means taking part
  J41:AH...  turn rows, turn t on row t + 40: J..U slot numbers, W..AH the "C" mark; left empty

Rows 39 and 40 stay empty over J..AH on purpose: the commit of turns 1 and 2 looks two turns back
into them, and an empty cell there means "off court". The column headings of the turn rows
therefore sit in row 38.

Usage: sample_workbook.py OUTPUT.xls
"""
import sys

import xlwt

PLAYERS = [
    "佐藤　一郎",
    "鈴木　花子",
    "高橋　健太",
    "田中　美咲",
    "伊藤　翔",
    "渡辺　彩",
    "山本　大輝",
    "中村　結衣",
    "小林　拓海",
    "ゲストさんＡ",
    "ゲストさんB",
    "ゲストさんＣ",
]

# Entry cells: players 9 and 12 sit this game out (one written as 0, one left empty).
ENTRY = {9: 0, 12: None}

PICTURE_EXTENSION = ".gif"

FONT_NAME = "ＭＳ Ｐゴシック"
ROW_HEIGHT_TWIPS = 330  # 16.5 pt

# Colour indexes of the default palette as xlwt numbers them (Excel's ColorIndex + 7).
WHITE = 0x09
GREY_25 = 0x16
PALE_BLUE = 0x2C
LIGHT_YELLOW = 0x2B


def picture_name(player):
    return "p%02d%s" % (player, PICTURE_EXTENSION)


def column_number(letters):
    """1-based column number of a column name: "A" is 1, "AJ" is 36."""
    number = 0
    for letter in letters:
        number = number * 26 + ord(letter) - ord("A") + 1
    return number


def col(letters):
    """0-based column index for xlwt."""
    return column_number(letters) - 1


def style(bold=False, height_pt=11, fill=None, border=False, align=None, colour=None):
    s = xlwt.XFStyle()
    font = xlwt.Font()
    font.name = FONT_NAME
    font.height = height_pt * 20
    font.bold = bold
    font.charset = xlwt.Font.CHARSET_SYS_DEFAULT
    if colour is not None:
        font.colour_index = colour
    s.font = font
    if fill is not None:
        pattern = xlwt.Pattern()
        pattern.pattern = xlwt.Pattern.SOLID_PATTERN
        pattern.pattern_fore_colour = fill
        s.pattern = pattern
    if border:
        borders = xlwt.Borders()
        borders.left = borders.right = borders.top = borders.bottom = xlwt.Borders.THIN
        s.borders = borders
    alignment = xlwt.Alignment()
    alignment.vert = xlwt.Alignment.VERT_CENTER
    if align == "center":
        alignment.horz = xlwt.Alignment.HORZ_CENTER
    s.alignment = alignment
    return s


def build(path):
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("記録用紙")

    plain = style()
    title = style(bold=True, height_pt=12)
    heading = style(bold=True, fill=GREY_25, border=True, align="center")
    status = style(fill=WHITE, border=True)
    number_box = style(border=True, align="center")
    label_box = style(bold=True, fill=PALE_BLUE, border=True, align="center")
    entry_box = style(fill=LIGHT_YELLOW, border=True, align="center")

    # Status area.
    sheet.write(0, col("A"), "No.", heading)
    sheet.write(0, col("B"), "選手", heading)
    sheet.write(0, col("C"), "", heading)
    sheet.write(0, col("D"), "状況", heading)
    for player, name in enumerate(PLAYERS, start=1):
        row = player  # 0-based index of row player + 1
        sheet.write(row, col("A"), player, number_box)
        sheet.write(row, col("B"), name, status)
        sheet.write(row, col("C"), "", status)
        sheet.write(row, col("D"), "", status)
    sheet.write(13, col("B"), "参加 %d 名" % sum(1 for p in range(1, 13) if ENTRY.get(p, 1)), plain)
    for row in range(1, 14):
        sheet.row(row).height_mismatch = True
        sheet.row(row).height = ROW_HEIGHT_TWIPS
    sheet.row(0).height_mismatch = True
    sheet.row(0).height = ROW_HEIGHT_TWIPS

    # Turn cell.
    sheet.write(18, col("A"), "節", label_box)
    sheet.write(18, col("B"), 0, number_box)
    sheet.write(18, col("C"), "← 最後に記録した節", plain)

    # Picture names.
    sheet.write(20, col("A"), "No.", heading)
    sheet.write(20, col("B"), "選手", heading)
    sheet.write(20, col("C"), "画像", heading)
    for player, name in enumerate(PLAYERS, start=1):
        row = player + 20  # 0-based index of row player + 21
        sheet.write(row, col("A"), player, number_box)
        sheet.write(row, col("B"), name, number_box)
        sheet.write(row, col("C"), picture_name(player), number_box)

    # Entry cells, with the player numbers above them.
    sheet.write(35, col("AI"), "選手", heading)
    sheet.write(36, col("AI"), "参加", label_box)
    for player in range(1, 13):
        column = col("AJ") + player - 1
        sheet.write(35, column, player, heading)
        value = ENTRY.get(player, 1)
        if value is None:
            sheet.write(36, column, "", entry_box)
        else:
            sheet.write(36, column, value, entry_box)

    # Headings of the turn rows: positions J..U, marks W..AH.
    sheet.write(36, col("J"), "コート位置", title)
    sheet.write(36, col("W"), "カモン", title)
    sheet.write(37, col("I"), "節", heading)
    for player in range(1, 13):
        sheet.write(37, col("J") + player - 1, player, heading)
        sheet.write(37, col("W") + player - 1, player, heading)
    sheet.write(37, col("V"), "", heading)

    sheet.col(col("A")).width = 5 * 256
    sheet.col(col("B")).width = 16 * 256
    sheet.col(col("C")).width = 11 * 256
    sheet.col(col("D")).width = 16 * 256
    for letters in ("E", "F", "G", "H"):
        sheet.col(col(letters)).width = 4 * 256
    sheet.col(col("I")).width = 5 * 256
    for column in range(col("J"), col("AH") + 1):
        sheet.col(column).width = 4 * 256
    sheet.col(col("AI")).width = 6 * 256
    for column in range(col("AJ"), col("AU") + 1):
        sheet.col(column).width = 4 * 256

    sheet.set_selected(True)
    sheet.set_sheet_visible(True)
    book.set_active_sheet(0)
    book.save(path)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: sample_workbook.py OUTPUT.xls")
    build(sys.argv[1])
