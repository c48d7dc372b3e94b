# Sourced by the shell scripts that start the real program in a real window.
#
#   under_xvfb TOOL... -- "$@"   runs the calling script again under xvfb-run (once); exits 77
#                                (skipped) when xvfb-run or one of the TOOLs is missing; under
#                                xvfb-run, returns once the X server answers
#   make_scratch                 sets $scratch to a fresh folder; on exit the program whose
#                                process id the script keeps in $pid is stopped and the folder
#                                removed

under_xvfb() {
    local tools=(xvfb-run)
    while [[ "$1" != -- ]]; do tools+=("$1"); shift; done
    shift
    if [[ -n "${PELLIX_UNDER_XVFB:-}" ]]; then
        # xvfb-run can hand over before a busy machine's X server takes connections.
        for _ in $(seq 1 100); do
            xdotool getdisplaygeometry >/dev/null 2>&1 && return
            sleep 0.1
        done
        echo "the X server on $DISPLAY never answered"
        exit 1
    fi
    for tool in "${tools[@]}"; do
        command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
    done
    export PELLIX_UNDER_XVFB=1
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
}

make_scratch() {
    scratch=$(mktemp -d)
    pid=
    trap 'if [[ -n "$pid" ]]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
          rm -rf "$scratch"' EXIT
}
