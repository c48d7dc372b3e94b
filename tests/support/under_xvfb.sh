# Sourced by the shell scripts that start the real program in a real window.
#
#   under_xvfb TOOL... -- "$@"   runs the calling script again under xvfb-run (once); exits 77
#                                (skipped) when xvfb-run or one of the TOOLs is missing
#   make_scratch                 sets $scratch to a fresh folder; on exit the program whose
#                                process id the script keeps in $pid is stopped and the folder
#                                removed

under_xvfb() {
    local tools=(xvfb-run)
    while [[ "$1" != -- ]]; do tools+=("$1"); shift; done
    shift
    [[ -n "${PELLIX_UNDER_XVFB:-}" ]] && return
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
