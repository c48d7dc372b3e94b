#!/usr/bin/python3
"""A whole game played in the real Pellix window with real mouse events, as a scorer plays it.

Starts build/app/pellix on a copy of the sample program folder, fills the court by dragging,
plays turns closed in every way (time up, 通常ミス, a court slot click, a drag across a court
player), swaps players between turns, steps back once to re-record a turn, switches to "Hyper"
and back, resets the record once with Cancel and once with OK. After every turn the workbook is
read with xlrd and compared with a small model of the rules written here; in "Hyper" the bench on
screen is compared with the order the model expects.

    tests/e2e/whole_game.py --app build/app --artifacts build/e2e          # under xvfb-run
    scripts/watch-game.sh                                                    # slowly, visibly
"""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

import xlrd

TWIPS_PER_PIXEL = 15
BENCH_TOP = 4080


# ---------------------------------------------------------------------------------------------
# The model: where the tokens stand, and the standings the record must show.

def initial_places():
    places = {}
    for p in range(1, 10):
        places[p] = (120 + 1680 * (p - 1), BENCH_TOP)
    places[10], places[11], places[12] = (10200, 2400), (11880, 2400), (13560, 2400)
    places[21], places[22], places[23], places[24] = (720, 240), (720, 2160), (3600, 240), (3600, 2160)
    return places


class Board:
    def __init__(self):
        self.places = initial_places()
        self.slot = {t: 0 for t in self.places}
        self.court = [None, 21, 22, 23, 24]
        for k in range(1, 5):
            self.slot[20 + k] = k
        self.order = {t: 0 for t in self.places}

    def exchange(self, source, target):
        if source == target:
            return
        self.places[source], self.places[target] = self.places[target], self.places[source]
        self.slot[source], self.slot[target] = self.slot[target], self.slot[source]
        for token in (source, target):
            if self.slot[token] > 0:
                self.court[self.slot[token]] = token

    def token_at(self, place):
        for token, where in self.places.items():
            if where == place:
                return token
        return None

    def sort_bench(self):
        # The bench reads, left to right, in descending Order; ties keep their places.
        bench = [t for t in sorted(self.places) if self.places[t][1] == BENCH_TOP]
        changed = True
        while changed:
            changed = False
            for a in bench:
                for b in bench:
                    if a >= b:
                        continue
                    (la, _), (lb, _) = self.places[a], self.places[b]
                    oa, ob = self.order[a], self.order[b]
                    if (oa < ob and la < lb) or (oa > ob and la > lb):
                        self.places[a], self.places[b] = (lb, BENCH_TOP), (la, BENCH_TOP)
                        changed = True


class Record:
    """The turn rows as the model expects them, and the standings they give."""

    def __init__(self, taking_part):
        self.rows = {}  # turn -> {player: slot}
        self.marks = {}
        self.taking_part = taking_part
        self.last = 0

    def commit(self, turn, court, miss):
        self.rows[turn] = {court[k]: k for k in range(1, 5)}
        self.marks[turn] = miss
        self.last = turn

    def slot(self, turn, player):
        return self.rows.get(turn, {}).get(player, 0)

    def standing(self, turn, player):
        """(text, colour of B..D, colour of C..D, order)"""
        if not self.taking_part[player]:
            return "", 2, 2, -2
        here = self.slot(turn, player)
        if here:
            run = 0
            while turn - 1 - run >= 1 and self.slot(turn - 1 - run, player):
                run += 1
            colour = 35 if here <= 2 else 40
            return ("Challenger" if run == 0 else "%d連勝中" % run), colour, colour, -1
        waited = 1
        while turn - waited >= 1 and not self.slot(turn - waited, player):
            waited += 1
        if waited > 1:
            return "%dターン待ち" % waited, 2, 2, waited
        if not self.slot(turn - 2, player):
            return "瞬\u3000殺\u3000\u3000", 2, 38, 1
        return "", 2, 2, 1


# ---------------------------------------------------------------------------------------------
# The workbook, read by an independent reader.

class Sheet:
    def __init__(self, path):
        self.book = xlrd.open_workbook(path, formatting_info=True)
        self.sheet = [self.book.sheet_by_index(i) for i in range(self.book.nsheets)
                      if self.book.sheet_by_index(i).sheet_selected][0]

    def value(self, row, column):  # 1-based
        s = self.sheet
        if row > s.nrows or column > s.ncols:
            return ""
        return s.cell_value(row - 1, column - 1)

    def fill(self, row, column):
        xf = self.book.xf_list[self.sheet.cell_xf_index(row - 1, column - 1)]
        if xf.background.fill_pattern == 0:
            return None
        return xf.background.pattern_colour_index - 7

    def row_hidden(self, row):
        info = self.sheet.rowinfo_map.get(row - 1)
        return bool(info and info.hidden)


def check_record(path, record, turn):
    sheet = Sheet(path)
    problems = []
    if sheet.value(19, 2) != turn:
        problems.append("B19 is %r, expected %d" % (sheet.value(19, 2), turn))
    for t in sorted(record.rows):
        for player in range(1, 13):
            want = record.slot(t, player)
            got = sheet.value(t + 40, player + 9)
            if (got or 0) != want:
                problems.append("turn %d player %d: slot %r, expected %r" % (t, player, got, want))
            mark = sheet.value(t + 40, player + 22)
            if (mark == "C") != (record.marks[t] == player):
                problems.append("turn %d player %d: mark %r" % (t, player, mark))
    for player in range(1, 13):
        text, row_colour, lost_colour, _ = record.standing(turn, player)
        if sheet.value(player + 1, 4) != text:
            problems.append("player %d standing %r, expected %r" % (player, sheet.value(player + 1, 4), text))
        if sheet.fill(player + 1, 2) != row_colour:
            problems.append("player %d B fill %r, expected %r" % (player, sheet.fill(player + 1, 2), row_colour))
        if sheet.fill(player + 1, 4) != lost_colour:
            problems.append("player %d D fill %r, expected %r" % (player, sheet.fill(player + 1, 4), lost_colour))
    return problems


# ---------------------------------------------------------------------------------------------
# The real window.

class Window:
    def __init__(self, app_dir, work, slow):
        self.slow = slow
        env = dict(os.environ, QT_SCALE_FACTOR="1", QT_QPA_PLATFORM="xcb")
        self.process = subprocess.Popen([os.path.join(work, "pellix")], cwd=work, env=env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        self.window = self.wait_for_window("Pellix")
        geometry = dict(line.split("=") for line in xdotool("getwindowgeometry", "--shell", self.window).split())
        self.origin = (int(geometry["X"]), int(geometry["Y"]))
        time.sleep(1.0)

    def wait_for_window(self, name, timeout=60):
        deadline = time.time() + timeout
        while time.time() < deadline:
            found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name],
                                   capture_output=True, text=True).stdout.split()
            if found:
                return found[0]
            time.sleep(0.2)
        raise RuntimeError("no window named %s appeared" % name)

    def point(self, left, top):
        return (self.origin[0] + left // TWIPS_PER_PIXEL, self.origin[1] + top // TWIPS_PER_PIXEL)

    def pause(self, seconds):
        time.sleep(seconds * (4 if self.slow else 1))

    def click(self, left, top):
        x, y = self.point(left, top)
        xdotool("mousemove", x, y)
        self.pause(0.05)
        xdotool("click", 1)
        self.pause(0.1)

    def press(self, left, top):
        x, y = self.point(left, top)
        xdotool("mousemove", x, y)
        self.pause(0.05)
        xdotool("mousedown", 1)

    def move(self, left, top, steps=20):
        where = dict(line.split("=") for line in xdotool("getmouselocation", "--shell").split())
        x0, y0 = int(where["X"]), int(where["Y"])
        x1, y1 = self.point(left, top)
        for i in range(1, steps + 1):
            xdotool("mousemove", x0 + (x1 - x0) * i // steps, y0 + (y1 - y0) * i // steps)
            time.sleep(0.02 * (4 if self.slow else 1))

    def move_along(self, points, steps=10):
        for left, top in points:
            self.move(left, top, steps)

    def release(self):
        xdotool("mouseup", 1)
        self.pause(0.2)

    def drag(self, place_from, place_to):
        self.press(place_from[0] + 787, place_from[1] + 787)
        self.move(place_to[0] + 787, place_to[1] + 787)
        self.pause(0.1)
        self.release()

    def screenshot(self, path):
        subprocess.run(["import", "-window", "root", path], check=True)

    def pixel(self, shot, left, top, dx=6, dy=6):
        x, y = self.point(left, top)
        out = subprocess.run(["convert", shot, "-format", "%%[pixel:p{%d,%d}]" % (x + dx, y + dy), "info:"],
                             capture_output=True, text=True, check=True).stdout
        return parse_colour(out)

    def answer_message_box(self, *keys):
        box = None
        deadline = time.time() + 10
        while time.time() < deadline and box is None:
            for candidate in subprocess.run(["xdotool", "search", "--onlyvisible", "--name", ""],
                                            capture_output=True, text=True).stdout.split():
                if candidate != self.window:
                    box = candidate
            time.sleep(0.2)
        if box is None:
            raise RuntimeError("no message box appeared")
        xdotool("windowfocus", "--sync", box)
        self.pause(0.2)
        xdotool("key", "--clearmodifiers", *keys)
        self.pause(0.3)

    def close(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()


def xdotool(*args):
    return subprocess.run(["xdotool"] + [str(a) for a in args], capture_output=True, text=True, check=True).stdout


def parse_colour(text):
    inside = text[text.index("(") + 1:text.index(")")]
    return tuple(int(float(v.rstrip("%"))) for v in inside.split(",")[:3])


def reference_colours(work):
    colours = {}
    for k in range(1, 13):
        picture = os.path.join(work, "image", "p%02d.gif" % k)
        out = subprocess.run(["convert", picture, "-format", "%[pixel:p{6,6}]", "info:"],
                             capture_output=True, text=True, check=True).stdout
        colours[k] = parse_colour(out)
    return colours


def nearest_token(colour, colours):
    best, distance = None, 10 ** 9
    for token, ref in colours.items():
        d = sum((a - b) ** 2 for a, b in zip(colour, ref))
        if d < distance:
            best, distance = token, d
    return best if distance < 600 else None


# ---------------------------------------------------------------------------------------------

CMD_SAVE = (6480 + 1387, 2040 + 787)
CMD_MISS = (6480 + 1387, 120 + 907)
CMD_PREV = (9600 + 487, 240 + 487)
CHK_VIEW = (14280 + 200, 1920 + 187)
PIC_QVN = (14280 + 405, 1320 + 262)
COURT = {1: (120, 120), 2: (120, 2040), 3: (3000, 120), 4: (3000, 2040)}
NOWHERE = (16200, 3300)


def program_folder(app, sample, prefix):
    """A scratch program folder: the program, the sample pictures, sounds and workbook."""
    work = tempfile.mkdtemp(prefix=prefix)
    shutil.copy(os.path.join(app, "pellix"), work)
    for item in ("image", "sound"):
        shutil.copytree(os.path.join(sample, item), os.path.join(work, item))
    for item in ("QVN.bmp", "data.xls"):
        shutil.copy(os.path.join(sample, item), work)
    data = os.path.join(work, "data.xls")
    os.chmod(data, 0o644)
    return work, data


def path_to_court_token(place):
    """A way from the bench to a court token that passes over no other court token: along the
    gap between the court and the bench, up the gap between the two columns of slots, then
    across to the token."""
    centre = (place[0] + 787, place[1] + 787)
    corridor_y, gap_x = 3900, 2950
    if place[1] > 1000:  # the lower row is reached from below
        return [(centre[0], corridor_y), centre]
    return [(gap_x, corridor_y), (gap_x, centre[1]), centre]


def wait_for_turn(path, turn, timeout=15):
    deadline = time.time() + timeout
    while time.time() < deadline:
        try:
            if Sheet(path).value(19, 2) == turn:
                return True
        except Exception:
            pass
        time.sleep(0.1)
    return False


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--app", default="build/app")
    parser.add_argument("--sample", default=os.path.join(os.path.dirname(__file__), "../../assets/sample"))
    parser.add_argument("--artifacts", default="build/e2e")
    parser.add_argument("--slow", action="store_true")
    parser.add_argument("--turns", type=int, default=22)
    args = parser.parse_args()

    started = time.time()
    os.makedirs(args.artifacts, exist_ok=True)
    work, data = program_folder(args.app, args.sample, "pellix-e2e-")

    first = Sheet(data)
    taking_part = {p: isinstance(first.value(37, p + 35), float) and first.value(37, p + 35) > 0 for p in range(1, 13)}
    board, record = Board(), Record(taking_part)
    colours = reference_colours(work)
    window = Window(args.app, work, args.slow)
    problems = []
    closes = {}
    try:
        # Fill the court: bench tokens 1..4 onto the four placeholders.
        for k, player in enumerate([1, 2, 3, 4], start=1):
            window.drag(board.places[player], board.places[20 + k])
            board.exchange(player, 20 + k)

        turn = 1
        hyper = False
        methods = ["miss", "court", "drag", "miss", "court", "drag", "time"]
        stepped_back = False
        played = 0
        while played < args.turns:
            # Swap a bench player in for a court player now and then.
            if played % 3 == 2:
                bench = sorted((t for t in range(1, 13) if board.places[t][1] == BENCH_TOP and board.slot[t] == 0),
                               key=lambda t: board.places[t][0])
                incoming = bench[played % len(bench)]
                outgoing = board.court[1 + played % 4]
                window.drag(board.places[incoming], board.places[outgoing])
                board.exchange(incoming, outgoing)
            if played == 12 and not hyper:
                window.click(*CHK_VIEW)
                hyper = True
                time.sleep(0.5)
                sheet = Sheet(data)
                for player in range(1, 13):
                    if sheet.row_hidden(player + 1) == taking_part[player]:
                        problems.append("Hyper: row %d hidden=%s" % (player + 1, sheet.row_hidden(player + 1)))
                if not sheet.row_hidden(14):
                    problems.append("Hyper: row 14 shown")
            if played == 18 and hyper:
                window.click(*CHK_VIEW)
                hyper = False
                time.sleep(0.5)
                sheet = Sheet(data)
                for row in range(2, 15):
                    if sheet.row_hidden(row):
                        problems.append("Normal: row %d hidden" % row)
            if played == 8 and not stepped_back:
                window.click(*CMD_PREV)  # record the last turn again with another court
                turn -= 1
                stepped_back = True
                incoming = [t for t in range(1, 13) if board.slot[t] == 0 and board.places[t][1] == BENCH_TOP][0]
                window.drag(board.places[incoming], board.places[board.court[2]])
                board.exchange(incoming, board.court[2])

            method = methods[played % len(methods)]
            closes[method] = closes.get(method, 0) + 1
            window.click(*CMD_SAVE)
            window.pause(0.4)
            miss = 0
            if method == "miss":
                window.click(*CMD_MISS)
            elif method == "court":
                slot = 1 + played % 4
                miss = board.court[slot]
                window.click(COURT[slot][0] + 240, COURT[slot][1] + 900)
            elif method == "drag":
                slot = 1 + (played + 1) % 4
                miss = board.court[slot]
                bench = [t for t in range(1, 13) if board.places[t][1] == BENCH_TOP][0]
                window.press(board.places[bench][0] + 787, board.places[bench][1] + 787)
                window.move_along(path_to_court_token(board.places[miss]))
                window.pause(0.3)
                # The turn is recorded as soon as the drag ends.
                window.move(*NOWHERE, steps=8)
                window.release()
            if not wait_for_turn(data, turn, timeout=15):
                problems.append("turn %d (%s) never reached the workbook" % (turn, method))
                break
            time.sleep(0.3)
            record.commit(turn, board.court, miss)
            for player in range(1, 13):
                board.order[player] = record.standing(turn, player)[3]
            for token in (21, 22, 23, 24):
                board.order[token] = -1
            if hyper:
                board.sort_bench()
            found = check_record(data, record, turn)
            problems += ["after turn %d (%s): %s" % (turn, method, p) for p in found]
            if hyper:
                shot = os.path.join(args.artifacts, "bench.png")
                window.screenshot(shot)
                for p in range(1, 10):
                    place = (120 + 1680 * (p - 1), BENCH_TOP)
                    expected = board.token_at(place)
                    seen = nearest_token(window.pixel(shot, *place), colours)
                    if expected is not None and expected <= 12 and seen != expected:
                        problems.append("after turn %d: bench place %d shows token %s, expected %s" % (turn, p, seen, expected))
            turn += 1
            played += 1

        # Reset: Escape and Enter (the default, Cancel) leave every byte; OK clears the record.
        before = open(data, "rb").read()
        for key in ("Escape", "Return"):
            window.click(*PIC_QVN)
            window.answer_message_box(key)
            time.sleep(0.5)
            if open(data, "rb").read() != before:
                problems.append("a reset answered with %s changed data.xls" % key)
        window.click(*PIC_QVN)
        window.answer_message_box("shift+Tab", "space")
        if not wait_for_turn(data, 0):
            problems.append("the reset never reached the workbook")
        else:
            sheet = Sheet(data)
            for t in record.rows:
                for column in range(10, 35):
                    if sheet.value(t + 40, column) not in ("", None):
                        problems.append("reset left turn %d column %d" % (t, column))
            for player in range(1, 13):
                if sheet.value(player + 1, 4) != "":
                    problems.append("reset left player %d's standing" % player)
        time.sleep(0.5)
        window.screenshot(os.path.join(args.artifacts, "final-window.png"))
        shutil.copy(data, os.path.join(args.artifacts, "final-data.xls"))
    finally:
        window.close()
        errors = window.process.stderr.read().decode(errors="replace") if window.process.stderr else ""
        shutil.rmtree(work, ignore_errors=True)

    elapsed = time.time() - started
    print("whole game: %d turns, closes %s, %.1f s" % (played, closes, elapsed))
    if errors.strip():
        print("program's standard error:\n" + errors)
    for problem in problems:
        print("PROBLEM:", problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
