#!/usr/bin/python3
# During a countdown the scorer drags a bench or guest player in a straight line onto the court
# player who missed: whatever other player the line crosses on the way, the player he is released
# on is named, the turn is recorded with the court as it stood, and the dragged player takes his
# slot. Every bench and guest token is dragged so, one turn each, onto each court slot in turn (a
# drag across a court player that ends elsewhere is whole_game.py's). Then the reset is asked once per
# click: answered Cancel (Escape) and OK (by keys), no box stays open and no second one comes.
#
#     xvfb-run -a -s "-screen 0 1280x1024x24" tests/e2e/substitution_drags.py --app build/app

import sys
import time

import pellix_e2e as e2e


def main():
    args = e2e.arguments()
    window = e2e.Window(args)
    places, court, problems = dict(e2e.PLACES), [None, 21, 22, 23, 24], []

    # A click on the reset opens one box; `answer` answers it, and then no box stays open.
    def reset(answer, what):
        window.click(e2e.RESET)
        boxes = e2e.wait(window.boxes, 10)
        if len(boxes) != 1:
            problems.append("the reset opened %d boxes" % len(boxes))
        if boxes:
            answer(boxes[0])
        time.sleep(1.0)
        if window.boxes():
            problems.append("%s: %d boxes still open" % (what, len(window.boxes())))
            window.answer_boxes("Escape")

    def keys(*keys):
        return lambda box: e2e.xdotool("windowfocus", "--sync", box, "sleep", 0.2, "key", "--clearmodifiers", *keys)

    try:
        window.click(e2e.NOWHERE)
        e2e.xdotool("key", "--delay", 120, "1", "a", "2", "b", "3", "c", "4", "d", "sleep", 0.5)
        for k in range(1, 5):
            places[k], places[20 + k], court[k] = places[20 + k], places[k], k
        # Every bench and guest token once, onto the slots in turn (each slot takes three of them),
        # released on the court player standing there during the countdown: the turn holds the
        # court as it stood and names him, and the token takes his place.
        for turn, token in enumerate(range(1, 13), 1):
            slot, before = (turn - 1) % 4 + 1, court[1:]
            named, start = court[slot], e2e.centre(places[token])
            e2e.xdotool("key", "space", "sleep", 0.3 * window.pace)
            window.drag(start, (e2e.COURT[slot][0] + 2775 // 2, e2e.COURT[slot][1] + 1815 // 2))
            if not e2e.turn_reached(window.data, turn):
                raise RuntimeError("turn %d (player %d onto slot %d) never reached the workbook" % (turn, token, slot))
            time.sleep(0.2)
            expected = ({player: k for k, player in enumerate(before, 1)}, [named])
            if (row := e2e.record(window.data)[1](turn)) != expected:
                problems.append("turn %d (player %d onto slot %d) holds %s, expected %s" % (turn, token, slot, row, expected))
            places[token], places[named], court[slot] = places[named], places[token], token

        last = e2e.record(window.data)[0]
        reset(keys("Escape"), "the reset answered with Escape")
        if e2e.record(window.data)[0] != last:
            problems.append("a cancelled reset changed the record")
        reset(keys("shift+Tab", "space"), "the reset answered OK")
        if not e2e.turn_reached(window.data, 0):
            problems.append("the reset answered OK did not clear the record")
    except RuntimeError as stopped:
        problems.append(str(stopped))
    finally:
        problems += window.close()
    print(*(["all straight drags named the player released on"] + ["PROBLEM: " + p for p in problems]), sep="\n")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
