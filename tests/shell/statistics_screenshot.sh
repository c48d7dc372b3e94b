#!/bin/bash
# The statistics view in a real window and a page of the report: starts pellix under Xvfb on a copy
# of the sample program folder with an evening of 60 turns and an archived one of 45, opens the view with a
# click on its button, picks two players, and keeps a picture of the view and of the report's
# first page (the pictures the README shows). Checks that the view opened, that both pictures are
# painted and that nothing was printed on the terminal.
#
#   statistics_screenshot.sh PELLIX PELLIX_XLS SAMPLE_FOLDER OUT_FOLDER
#
# Exits 77 (skipped) when Xvfb, ImageMagick or poppler-utils is missing.
set -euo pipefail

program=$1
tool=$2
sample=$3
out=$4

source "$(dirname "$0")/../support/under_xvfb.sh"
under_xvfb xdotool import convert pdftoppm -- "$@"
make_scratch
folder=$scratch/folder
mkdir -p "$folder" "$out"
cp -r "$sample"/. "$folder"/
export XDG_RUNTIME_DIR="$scratch"/runtime
mkdir -m 0700 "$XDG_RUNTIME_DIR"

# An evening of TURNS turns: the named player goes to the back of the bench and the first one
# waiting takes his slot; a turn in five ends with an ordinary miss.
evening() {  # SEED TURNS WORKBOOK
    local edits
    edits=$(/usr/bin/python3 - "$1" "$2" <<'PY'
import random, sys
random.seed(int(sys.argv[1]))
turns = int(sys.argv[2])
players = [1, 2, 3, 4, 5, 6, 7, 8, 10, 11]
court, bench = players[:4], players[4:]
def column(number):
    name = ''
    while number:
        number, rest = divmod(number - 1, 26)
        name = chr(65 + rest) + name
    return name
edits = []
for turn in range(1, turns + 1):
    row = turn + 40
    edits += ['%s%d=%d' % (column(player + 9), row, slot) for slot, player in enumerate(court, 1)]
    if random.random() < 0.8:
        named = random.choice(court)
        edits.append('%s%d=C' % (column(named + 22), row))
        court[court.index(named)] = bench.pop(0)
        bench.append(named)
edits.append('B19=%d' % turns)
print(' '.join(edits))
PY
)
    # shellcheck disable=SC2086
    "$tool" edit "$3" $edits
}
# Last week's evening kept by a reset, and tonight's.
mkdir "$folder"/archive
cp "$folder"/data.xls "$folder"/archive/data-20261201-213000.xls
evening 3 45 "$folder"/archive/data-20261201-213000.xls
evening 7 60 "$folder"/data.xls

QT_SCALE_FACTOR=1 QT_QPA_PLATFORM=xcb "$program" "$folder" >"$scratch"/stdout.txt 2>"$scratch"/stderr.txt &
pid=$!
for _ in $(seq 1 100); do
    if xdotool search --name 'Pellix乱打' >/dev/null 2>&1; then break; fi
    sleep 0.1
done
sleep 2
failures=0
fail() { echo "FAIL: $1"; failures=$((failures + 1)); }

# The 統計 button stands right of the sheet view (its top at 5760 twips, 384 pixels).
xdotool mousemove 1070 400 click 1
view=
for _ in $(seq 1 50); do
    view=$(xdotool search --name 'Pellix 統計' 2>/dev/null | head -1) && [[ -n "$view" ]] && break
    sleep 0.1
done
if [[ -z "$view" ]]; then
    fail "the statistics view did not open"
else
    sleep 1
    # Two players picked in the table: the first row, then the fourth with Ctrl held.
    eval "$(xdotool getwindowgeometry --shell "$view")"
    xdotool mousemove $((X + 60)) $((Y + 60)) click 1
    xdotool keydown ctrl mousemove $((X + 60)) $((Y + 130)) click 1 keyup ctrl
    sleep 1
    import -window "$view" "$out"/statistics.png
    colours=$(convert "$out"/statistics.png -format %k info:)
    ((colours > 50)) || fail "the statistics view looks blank ($colours colours)"
fi

"$program" --report "$scratch"/report.pdf "$folder" 2>>"$scratch"/stderr.txt || fail "--report failed"
pdftoppm -r 110 -png -f 1 -l 1 "$scratch"/report.pdf "$scratch"/page
convert "$scratch"/page-1.png -background white -flatten "$out"/report.png
colours=$(convert "$out"/report.png -format %k info:)
((colours > 50)) || fail "the report's first page looks blank ($colours colours)"

kill -0 "$pid" 2>/dev/null || fail "the program ended on its own"
if [[ -s "$scratch"/stderr.txt ]]; then
    fail "the program printed on the terminal:"
    cat "$scratch"/stderr.txt
fi
echo "pictures: $out/statistics.png $out/report.png"
exit $((failures > 0))
