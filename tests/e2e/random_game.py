#!/usr/bin/python3
"""Random clicks, drags and typing in the real Pellix window, as a careless scorer might do them:
the program must stay up and keep a workbook in which every recorded turn row holds the slot
numbers 1 to 4 once each. The seed makes a run repeatable.

    tests/e2e/random_game.py --app build/app --seed 3 --seconds 60     # under xvfb-run
"""

import argparse
import os
import random
import shutil
import subprocess
import sys
import time

import whole_game as game


def message_boxes(window):
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", ""],
                           capture_output=True, text=True).stdout.split()
    return [box for box in found if box != window.window]


def answer_boxes(window, key="Return"):
    for box in message_boxes(window):
        game.xdotool("windowfocus", "--sync", box)
        time.sleep(0.1)
        game.xdotool("key", "--clearmodifiers", key)
        time.sleep(0.3)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--app", default="build/app")
    parser.add_argument("--sample", default=os.path.join(os.path.dirname(__file__), "../../assets/sample"))
    parser.add_argument("--seed", type=int, default=3)
    parser.add_argument("--seconds", type=float, default=60)
    args = parser.parse_args()
    chance = random.Random(args.seed)

    work, data = game.program_folder(args.app, args.sample, "pellix-random-")

    window = game.Window(args.app, work, False)
    places = list(game.initial_places().values())
    turn_box = (11400 + 1000, 240 + 500)
    buttons = [game.CMD_SAVE] * 6 + [game.CMD_MISS] * 3 + [game.CMD_PREV, (14280 + 487, 240 + 487), game.CHK_VIEW,
                                                          game.PIC_QVN] + [(x + 200, y + 900) for x, y in game.COURT.values()]
    problems = []
    actions = 0
    try:
        for k in range(1, 5):
            window.drag(places[k + 3], places[11 + k])
        started = time.time()
        while time.time() - started < args.seconds:
            if window.process.poll() is not None:
                problems.append("the program ended (exit %s) after %d actions" % (window.process.returncode, actions))
                break
            roll = chance.random()
            if roll < 0.35:
                window.drag(chance.choice(places), chance.choice(places))
            elif roll < 0.55:
                # A click, an instant tap (press and release back to back) or a double tap.
                left, top = chance.choice(places)
                x, y = window.point(left + 787, top + 787)
                game.xdotool("mousemove", x, y)
                gesture = chance.choice([["click", 1], ["mousedown", 1, "mouseup", 1],
                                         ["click", "--repeat", 2, "--delay", 40, 1]])
                game.xdotool(*gesture)
            elif roll < 0.88:
                target = chance.choice(buttons)
                window.click(*target)
                if target == game.PIC_QVN:
                    time.sleep(0.3)
                    answer_boxes(window, chance.choice(["Return", "Escape"]))
            elif roll < 0.93:
                window.click(*turn_box)
                game.xdotool("key", "--clearmodifiers", "End", "shift+Home", "BackSpace")
                game.xdotool("type", "--", chance.choice(["5", "12", "40", "3", "2100.6", "７", "abc"]))
            else:
                time.sleep(chance.choice([0.5, 1.5, 3.2]))
            actions += 1
            answer_boxes(window)
        answer_boxes(window)
        if window.process.poll() is not None and not problems:
            problems.append("the program ended (exit %s)" % window.process.returncode)
    finally:
        window.close()
        errors = window.process.stderr.read().decode(errors="replace")

    sheet = game.Sheet(data)
    last = int(sheet.value(19, 2) or 0)
    for turn in range(1, last + 1):
        slots = sorted(int(v) for v in (sheet.value(turn + 40, c) for c in range(10, 22)) if v != "")
        if slots and slots != [1, 2, 3, 4]:
            problems.append("turn %d holds slots %s" % (turn, slots))
    unexpected = [line for line in errors.splitlines() if line.strip() and "XDG_RUNTIME_DIR" not in line]
    problems += ["program said: " + line for line in unexpected[:10]]
    shutil.rmtree(work, ignore_errors=True)
    print("random game (seed %d): %d actions, last turn %d" % (args.seed, actions, last))
    for problem in problems:
        print("PROBLEM:", problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
