#!/usr/bin/python3
# A whole game played in the real Pellix window with the real mouse and keys, as a scorer plays it.
# A second start on the same folder is refused first (one running copy per folder). The court is
# filled by slot keys and letters and by drags onto a placeholder and onto a slot's area; turns are
# closed in every way (通常ミス, a click on a court slot, a tap and a double tap on a court player, a
# drag across him, one released on him that also substitutes, his slot's key after Space, time up),
# players are swapped between turns, and one turn is stepped back and recorded again. After every
# turn the workbook must hold every turn's court and "C" as played (the standings the commit
# writes have their own tests). A reset answered with Enter (Cancel, the default) changes nothing.
# Then, for --seconds, random clicks, drags, taps and typing as a careless scorer might make them
# (the seed makes a run repeatable): the program must stay up, say nothing on its standard error,
# and keep every recorded turn row holding the slot numbers 1 to 4 once each.
#
#     tests/e2e/whole_game.py --app build/app --artifacts build/e2e          # under xvfb-run
#     tests/e2e/whole_game.py --app build/app --turns 0 --seconds 60 --seed 3
#     scripts/watch-game.sh                                                    # slowly, visibly

import os
import random
import shutil
import sys
import time

import pellix_e2e as e2e


def main():
    args = e2e.arguments(artifacts="build/e2e", turns=21, seconds=0.0, seed=3)
    os.makedirs(args.artifacts, exist_ok=True)
    window = e2e.Window(args)
    places, court, record, problems, actions = dict(e2e.PLACES), [None, 21, 22, 23, 24], {}, [], 0

    # `incoming` takes `outgoing`'s place, by a drag onto `to` (his centre unless said) or by keys.
    def swap(incoming, outgoing, to=None, drag=True):
        if drag:
            window.drag(e2e.centre(places[incoming]), to or e2e.centre(places[outgoing]))
        places[incoming], places[outgoing] = places[outgoing], places[incoming]
        court[court.index(outgoing)] = incoming

    def bench():
        return sorted((t for t in range(1, 13) if t not in court and places[t][1] == e2e.BENCH_TOP),
                      key=lambda t: places[t][0])

    try:
        # A second copy says so in a box, ends with a failure and leaves the first and data.xls be.
        before = open(window.data, "rb").read()
        second = window.start()
        if (not window.answer_boxes("Return", timeout=15) or second.wait(10) == 0 or window.process.poll() is not None
                or len(e2e.windows("記録用紙")) != 1 or open(window.data, "rb").read() != before):
            problems.append("a second start on the folder was not refused in a box alone (exit %s)" % second.returncode)
        window.click(e2e.NOWHERE)
        e2e.xdotool("key", "--delay", 80, "1", "a", "2", "b", "sleep", 0.3)
        for k in (1, 2):
            swap(k, 20 + k, drag=False)
        swap(3, 23, (e2e.COURT[3][0] + 45, e2e.COURT[3][1] + 45))
        swap(4, 24)
        turn = 1
        for played in range(args.turns):
            if played % 3 == 2:
                swap(bench()[played % len(bench())], court[1 + played % 4])
            if played == 8:
                window.click(e2e.PREVIOUS)  # the last turn again, with another court
                turn -= 1
                swap(bench()[0], court[2])
            method = ("miss", "court", "tap", "drag", "time", "double", "onto", "key")[played % 8]
            slot = 1 + (played + played // 8) % 4
            named = 0 if method in ("miss", "time") else court[slot]
            target = e2e.centre(places[named]) if named else None
            record[turn] = (court[1:], named)
            if method == "key":
                e2e.xdotool("key", "space", "sleep", 0.4 * window.pace, "key", str(slot))
            else:
                window.click(e2e.DECIDE)
                time.sleep(0.4 * window.pace)
            if method == "miss":
                window.click(e2e.MISS)
            elif method == "court":
                window.click((e2e.COURT[slot][0] + 240, e2e.COURT[slot][1] + 900))
            elif method in ("tap", "double"):
                e2e.xdotool("mousemove", *window.point(*target), "mousedown", 1, "mouseup", 1,
                            *(["sleep", 0.05, "mousedown", 1, "mouseup", 1] if method == "double" else []))
            elif method == "drag":
                # From the bench along the gap below the court, up between the slots' columns when
                # the player stands in the top row, across him, and away to where nothing lies or
                # back to where it started.
                start = e2e.centre(places[bench()[0]])
                way = [(target[0], 3900)] if target[1] > 1500 else [(2950, 3900), (2950, target[1])]
                window.drag(start, *way, target, *(way[::-1] + [start] if turn % 2 else [e2e.NOWHERE]), steps=10)
            elif method == "onto":  # names him, then takes his place
                swap(bench()[0], named)
            if not e2e.turn_reached(window.data, turn):
                problems.append("turn %d (%s) never reached the workbook" % (turn, method))
                break
            time.sleep(0.3)
            row = e2e.record(window.data)[1]
            for t, (court_then, named_then) in sorted(record.items()):
                expected = ({player: slot for slot, player in enumerate(court_then, 1)}, [named_then] if named_then else [])
                if row(t) != expected:
                    problems.append("after turn %d (%s): turn %d holds %s, expected %s" % (turn, method, t, row(t), expected))
            turn += 1

        before = open(window.data, "rb").read()
        window.click(e2e.RESET)
        window.answer_boxes("Return", timeout=10)  # Cancel is the default
        time.sleep(0.5)
        if open(window.data, "rb").read() != before:
            problems.append("a reset answered with Enter changed data.xls")
        shutil.copy(window.data, os.path.join(args.artifacts, "final-data.xls"))

        chance, tokens = random.Random(args.seed), [e2e.centre(place) for place in e2e.PLACES.values()]
        buttons = [e2e.DECIDE] * 6 + [e2e.MISS] * 3 + [e2e.PREVIOUS, e2e.NEXT, e2e.VIEW, e2e.RESET]
        buttons += [(left + 200, top + 900) for left, top in e2e.COURT.values()]
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
        last, row = e2e.record(window.data)
        for t in range(1, int(last or 0) + 1):
            if row(t)[0] and sorted(row(t)[0].values()) != [1, 2, 3, 4]:
                problems.append("turn %d holds slots %s" % (t, row(t)[0]))
    finally:
        problems += window.close()
    print("%d turns played, %d random actions" % (len(record), actions), *("PROBLEM: " + p for p in problems), sep="\n")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
