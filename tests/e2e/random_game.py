#!/usr/bin/python3
# Random clicks, drags, taps and typing in the real Pellix window, as a careless scorer might make
# them: the program must stay up, say nothing on its standard error, and keep a workbook in which
# every recorded turn row holds the slot numbers 1 to 4 once each. The seed makes a run repeatable.
#
#     tests/e2e/random_game.py --app build/app --seed 3 --seconds 60     # under xvfb-run

import random
import sys
import time

import pellix_e2e as e2e


def main():
    parser = e2e.parser()
    parser.add_argument("--seed", type=int, default=3)
    parser.add_argument("--seconds", type=float, default=60)
    args = parser.parse_args()
    chance = random.Random(args.seed)
    window = e2e.Window(args)
    tokens = [e2e.centre(place) for place in e2e.places().values()]
    buttons = [e2e.DECIDE] * 6 + [e2e.MISS] * 3 + [e2e.PREVIOUS, e2e.NEXT, e2e.VIEW, e2e.RESET]
    buttons += [(left + 200, top + 900) for left, top in e2e.COURT.values()]
    problems, actions, last = [], 0, 0
    try:
        for k in range(1, 5):
            window.drag(tokens[k + 3], tokens[11 + k])
        started = time.time()
        while time.time() - started < args.seconds and window.process.poll() is None:
            roll = chance.random()
            if roll < 0.35:
                window.drag(chance.choice(tokens), chance.choice(tokens))
            elif roll < 0.55:  # a click, an instant tap or a double tap
                e2e.xdotool("mousemove", *window.point(*chance.choice(tokens)))
                e2e.xdotool(*chance.choice([["click", 1], ["mousedown", 1, "mouseup", 1],
                                            ["click", "--repeat", 2, "--delay", 40, 1]]))
            elif roll < 0.88:
                target = chance.choice(buttons)
                window.click(target)
                if target == e2e.RESET:
                    window.answer_boxes(chance.choice(["Return", "Escape"]), timeout=0.3)
            elif roll < 0.93:
                window.click(e2e.TURN_BOX)
                e2e.xdotool("key", "--clearmodifiers", "End", "shift+Home", "BackSpace")
                e2e.xdotool("type", "--", chance.choice(["5", "12", "40", "3", "2100.6", "７", "abc"]))
            else:
                time.sleep(chance.choice([0.5, 1.5, 3.2]))
            actions += 1
            window.answer_boxes("Return")
        if window.process.poll() is not None:
            problems.append("the program ended (exit %s) after %d actions" % (window.process.returncode, actions))
        sheet = e2e.Sheet(window.data)
        last = int(sheet.value(19, 2) or 0)
        for turn in range(1, last + 1):
            slots = sorted(sheet.slots(turn).values())
            if slots and slots != [1, 2, 3, 4]:
                problems.append("turn %d holds slots %s" % (turn, slots))
    finally:
        problems += window.close()
    return e2e.report("random game (seed %d): %d actions, last turn %d" % (args.seed, actions, last), problems)


if __name__ == "__main__":
    sys.exit(main())
