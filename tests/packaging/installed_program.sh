#!/bin/bash
# The installed program: installs the build into a scratch root (DESTDIR), starts the installed
# pellix under Xvfb with an empty home and checks that
#   - the user's data folder is created from the installed sample, and the window reaches
#     " Status : OK" on it, with the folder in the title bar;
#   - a second start keeps the data.xls that the first one left (here edited as a scorer would);
#   - an unusable data folder is named on the terminal and in a message box, and the program ends
#     with status 1 once the box is answered.
#
#   installed_program.sh BUILD_DIR SAMPLE_FOLDER
#
# Exits 77 (skipped) when Xvfb or xdotool is missing.
set -euo pipefail

build=$1
sample=$2

source "$(dirname "$0")/../support/under_xvfb.sh"
under_xvfb xdotool -- "$@"
make_scratch
fail() { echo "FAIL: $*"; exit 1; }

root=$scratch/root
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
pellix=$root/usr/bin/pellix
pellix_xls=$root/usr/bin/pellix-xls

export HOME=$scratch/home
mkdir "$HOME"
unset XDG_DATA_HOME
export XDG_RUNTIME_DIR=$scratch/runtime
mkdir -m 0700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=1 QT_LOGGING_RULES="pellix.startup.info=true"
folder=$HOME/.local/share/pellix

# Starts the installed program from the scratch folder; its terminal output goes to $1.
start() {
    local log=$1
    shift
    (cd "$scratch" && exec "$pellix" "$@") >"$log" 2>&1 &
    pid=$!
}
# Waits until the program reports the end of start-up, and prints that line.
started() {
    local log=$1
    for _ in $(seq 1 300); do
        if grep -q '^pellix.startup:' "$log"; then grep '^pellix.startup:' "$log"; return; fi
        kill -0 "$pid" 2>/dev/null || { cat "$log"; fail "the program ended during start-up"; }
        sleep 0.1
    done
    cat "$log"
    fail "start-up never ended"
}
stop() {
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    pid=
}
title() { xdotool getwindowname "$(xdotool search --onlyvisible --name 'Pellix' | head -n 1)"; }

echo "== first start: an empty home"
start "$scratch/first.txt"
line=$(started "$scratch/first.txt")
[[ "$line" == "pellix.startup: folder $folder status  Status : OK" ]] || fail "start-up said: $line"
diff -r -x .pellix.lock "$sample" "$folder" || fail "the data folder is not a copy of the sample"
shown=$(title)
[[ "$shown" == *" — $folder" ]] || fail "the title bar reads '$shown'"
[[ "$(grep -cv '^pellix.startup:' "$scratch/first.txt")" == 0 ]] || { cat "$scratch/first.txt"; fail "the program printed more"; }
stop
echo "ok: $folder made from the sample, status OK, title '$shown'"

echo "== second start: the scorer's record stays"
"$pellix_xls" edit "$folder/data.xls" B19=5 D2=Challenger
before=$(sha256sum <"$folder/data.xls")
start "$scratch/second.txt"
line=$(started "$scratch/second.txt")
[[ "$line" == "pellix.startup: folder $folder status  Status : OK" ]] || fail "start-up said: $line"
stop
[[ "$(sha256sum <"$folder/data.xls")" == "$before" ]] || fail "the second start changed data.xls"
"$pellix_xls" dump "$folder/data.xls" >"$scratch/dump.txt"
grep -qP '^cell\tB19\tnumber\t5\t' "$scratch/dump.txt" || fail "B19 is not the scorer's 5"
echo "ok: data.xls kept"

echo "== a data folder that cannot be created"
echo "a file, not a folder" >"$scratch/file"
XDG_DATA_HOME=$scratch/file start "$scratch/third.txt"
message="pellix: cannot create the folder $scratch/file/pellix: Not a directory"
for _ in $(seq 1 100); do
    grep -qF "$message" "$scratch/third.txt" && break
    sleep 0.1
done
grep -qxF "$message" "$scratch/third.txt" || { cat "$scratch/third.txt"; fail "no message names the folder"; }
box=
for _ in $(seq 1 100); do
    box=$(xdotool search --onlyvisible --name 'Pellix' | head -n 1) && [[ -n "$box" ]] && break
    sleep 0.1
done
[[ -n "$box" ]] || fail "no message box appeared"
xdotool windowfocus --sync "$box"
sleep 0.2
xdotool key --clearmodifiers Return
status=0
for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
wait "$pid" || status=$?
pid=
[[ $status == 1 ]] || fail "the program ended with status $status"
[[ -f "$scratch/file" ]] || fail "the regular file is gone"
echo "ok: $message"
