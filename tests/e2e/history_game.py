#!/usr/bin/python3
# Mistakes are cheap in the real window: a turn recorded with the wrong name, Ctrl+Z, the same turn
# recorded with the right name gives the workbook of a game recorded right the first time; Ctrl+Y
# after Ctrl+Z gives back the recorded turn; a confirmed reset leaves archive/ holding the wiped
# record and Ctrl+Z brings it back, also after the program was started again.
#
#     xvfb-run -a -s "-screen 0 1280x1024x24" tests/e2e/history_game.py --app build/app

import os
import shutil
import sys
import tempfile
import time

import pellix_e2e as e2e


def main():
    args = e2e.arguments()
    problems = []

    settle, data = lambda: time.sleep(1.0), lambda window: open(window.data, "rb").read()

    # Players 1..4 by their slot keys, then a turn named by a slot key (0: 通常ミス).
    def play(window, turn, slot):
        e2e.xdotool("key", "space", "sleep", 0.4, "key", str(slot) if slot else "m")
        if not e2e.turn_reached(window.data, turn):
            problems.append("turn %d never reached the workbook" % turn)
        settle()

    def fill_court(window):
        window.click(e2e.NOWHERE)
        e2e.xdotool("key", "--delay", 120, "1", "a", "2", "b", "3", "c", "4", "d", "sleep", 0.5)

    right = e2e.Window(args)
    try:
        fill_court(right)
        play(right, 1, 3)
        recorded_right = data(right)
    finally:
        problems += right.close()

    window = e2e.Window(args)
    keep = tempfile.mkdtemp(prefix="pellix-history-")
    try:
        fill_court(window)
        before = data(window)
        play(window, 1, 2)
        recorded_wrong = data(window)
        for key, expected, what in (("ctrl+z", before, "Ctrl+Z did not put back the workbook as it was before the turn"),
                                     ("ctrl+y", recorded_wrong, "Ctrl+Y after Ctrl+Z did not give back the recorded turn"),
                                     ("ctrl+z", before, "the second Ctrl+Z did not undo the turn again")):
            e2e.xdotool("key", key)
            settle()
            if data(window) != expected:
                problems.append(what)
        play(window, 1, 3)  # the court is back as the undone turn had it
        if data(window) != recorded_right:
            problems.append("the turn recorded again differs from a game recorded right the first time")

        before_reset = data(window)
        window.click(e2e.RESET)
        if (opened := window.answer_boxes("shift+Tab", "space", timeout=10)) != 1:  # OK
            problems.append("the reset opened %d boxes" % opened)
        e2e.turn_reached(window.data, 0)
        settle()
        if window.boxes():
            problems.append("a box stayed open after the reset")
        archive = os.path.join(window.work, "archive")
        kept = [os.path.join(archive, f) for f in os.listdir(archive)] if os.path.isdir(archive) else []
        if len(kept) != 1 or open(kept[0], "rb").read() != before_reset:
            problems.append("archive/ does not hold the wiped record: %s" % kept)
        # Started again on the same folder: the reset is undone from the history it left.
        shutil.copytree(window.work, keep, dirs_exist_ok=True)
    finally:
        problems += window.close()

    again = e2e.Window(args, folder=keep)
    try:
        again.click(e2e.NOWHERE)
        e2e.xdotool("key", "ctrl+z")
        settle()
        if data(again) != before_reset:
            problems.append("Ctrl+Z after a restart did not bring back the wiped record")
    finally:
        problems += again.close()
        shutil.rmtree(keep, ignore_errors=True)
    print(*(["the history game was played"] + ["PROBLEM: " + p for p in problems]), sep="\n")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
