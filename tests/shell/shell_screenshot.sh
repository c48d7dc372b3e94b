#!/bin/bash
# The real program in a real window: starts pellix on a copy of the sample program folder under
# Xvfb, takes a screenshot of the whole screen and checks that the court picture, a token picture
# and the sheet view are where the layout puts them.
#
#   shell_screenshot.sh PELLIX SAMPLE_FOLDER SCREENSHOT.png
#
# Exits 77 (skipped) when Xvfb or ImageMagick is missing.
set -euo pipefail

program=$1
sample=$2
shot=$3

source "$(dirname "$0")/../support/under_xvfb.sh"
under_xvfb xdotool import convert -- "$@"
make_scratch
folder=$scratch

cp -r "$sample"/. "$folder"/
cp "$program" "$folder"/pellix
# A desktop session has its runtime folder; without one Qt says so on the terminal.
export XDG_RUNTIME_DIR="$folder"/runtime
mkdir -m 0700 "$XDG_RUNTIME_DIR"

# No window manager: the client area starts at the screen's top-left, one pixel per 15 twips.
start_program() {
    QT_SCALE_FACTOR=1 QT_QPA_PLATFORM=xcb "$folder"/pellix >"$folder"/stdout.txt 2>"$folder"/stderr.txt &
    pid=$!
    for _ in $(seq 1 100); do
        if xdotool search --name 'Pellix' >/dev/null 2>&1; then return 0; fi
        sleep 0.1
    done
    return 1
}
# A program that could not reach the X server (a machine too busy for it) is started once more.
if ! start_program && grep -q "could not connect to display" "$folder"/stderr.txt; then
    wait "$pid" 2>/dev/null || true
    start_program || true
fi
xdotool search --name 'Pellix' >/dev/null || { echo "the window never appeared"; cat "$folder"/stderr.txt; exit 1; }
# Start-up has ended when the workbook shows in the sheet view; give the window time to paint.
sleep 2
import -window root "$shot"

pixel() { convert "$1" -format "%[pixel:p{$2,$3}]" info:; }
failures=0
expect_same() {  # description, screen x, screen y, picture, picture x, picture y
    local seen wanted
    seen=$(pixel "$shot" "$2" "$3")
    wanted=$(pixel "$4" "$5" "$6")
    if [[ "$seen" == "$wanted" ]]; then
        echo "ok: $1 ($seen)"
    else
        echo "FAIL: $1: screen ($2,$3) is $seen, expected $wanted"
        failures=$((failures + 1))
    fi
}

court="$folder"/image/CourtFrame.gif
# The court picture at its natural size from the top-left corner, seen through the slot areas.
expect_same "court, slot 1 area left of its placeholder" 30 110 "$court" 30 110
expect_same "court, slot 4 area right of its placeholder" 370 200 "$court" 370 200
expect_same "court frame corner" 2 2 "$court" 2 2
# Token 1 on the bench: Left 120, Top 4080 twips, its 105-pixel picture shown as it is.
expect_same "token 1 picture" $((8 + 20)) $((272 + 48)) "$folder"/image/p01.gif 20 48
expect_same "token 9 picture" $((904 + 52)) $((272 + 30)) "$folder"/image/p09.gif 52 30
# Guest token 12 in the guest row: Left 13560, Top 2400.
expect_same "guest token 12 picture" $((904 + 10)) $((160 + 10)) "$folder"/image/p12.gif 10 10

if ! kill -0 "$pid" 2>/dev/null; then
    echo "FAIL: the program ended on its own"
    failures=$((failures + 1))
fi
if [[ -s "$folder"/stderr.txt ]]; then
    echo "FAIL: the program printed on the terminal:"
    cat "$folder"/stderr.txt
    failures=$((failures + 1))
fi
echo "screenshot: $shot"
exit $((failures > 0))
