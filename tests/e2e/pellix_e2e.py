# What the end-to-end scripts share: the command line, the program started on a scratch copy of the
# sample program folder in a real window (under xvfb-run), the scorer's mouse and keys through
# xdotool, and the workbook read with xlrd, an independent reader.

import argparse
import os
import shutil
import subprocess
import tempfile
import time

import xlrd

BENCH_TOP = 4080
# The centres of the controls the scripts press, in twips from the window's corner.
DECIDE, MISS, PREVIOUS, NEXT = (7867, 2827), (7867, 1027), (10087, 727), (14767, 727)
VIEW, RESET, TURN_BOX, NOWHERE = (14480, 2107), (14685, 1582), (12400, 740), (16200, 3300)
COURT = {1: (120, 120), 2: (120, 2040), 3: (3000, 120), 4: (3000, 2040)}
# The top-left corner of every token at start: the bench, the guests' row, the placeholders.
PLACES = {t: (120 + 1680 * (t - 1), BENCH_TOP) for t in range(1, 10)}
PLACES.update({10: (10200, 2400), 11: (11880, 2400), 12: (13560, 2400)})
PLACES.update({21: (720, 240), 22: (720, 2160), 23: (3600, 240), 24: (3600, 2160)})


# The command line: --slow (for a person to watch), the program's folder, the sample, and `extra`'s
# options with their defaults.
def arguments(**extra):
    result = argparse.ArgumentParser()
    result.add_argument("--slow", action="store_true")
    sample = os.path.join(os.path.dirname(__file__), "../../assets/sample")
    for name, default in dict(app="build/app", sample=sample, **extra).items():
        result.add_argument("--" + name, type=type(default), default=default)
    return result.parse_args()


def centre(place):
    return place[0] + 787, place[1] + 787


def xdotool(*args, check=True):
    return subprocess.run(["xdotool"] + [str(a) for a in args], capture_output=True, text=True, check=check).stdout


def windows(name=""):
    return xdotool("search", "--onlyvisible", "--name", name, check=False).split()


# A window's left, top, width and height on the screen.
def geometry(window):
    shell = dict(line.split("=") for line in xdotool("getwindowgeometry", "--shell", window).split())
    return tuple(int(shell[key]) for key in ("X", "Y", "WIDTH", "HEIGHT"))


# What `condition` gives once it is true, or when the time is up.
def wait(condition, timeout=15):
    deadline = time.time() + timeout
    while not (found := condition()) and time.time() < deadline:
        time.sleep(0.1)
    return found


# The active sheet as xlrd reads it: the last turn recorded, and a turn's row as ({player: slot},
# [the players marked "C"]).
def record(path):
    s = next(s for s in xlrd.open_workbook(path).sheets() if s.sheet_selected)
    value = lambda row, column: s.cell_value(row - 1, column - 1) if row <= s.nrows and column <= s.ncols else ""
    return value(19, 2), lambda t: ({p: int(value(t + 40, p + 9)) for p in range(1, 13) if value(t + 40, p + 9) != ""},
                                    [p for p in range(1, 13) if value(t + 40, p + 22) == "C"])


def turn_reached(path, turn, timeout=15):
    def reached():
        try:
            return record(path)[0] == turn
        except Exception:  # caught between two saves
            pass
    return wait(reached, timeout)


# The program beside a scratch copy of the sample program folder, in a real window.
class Window:

    # On a scratch copy of the sample, or of `folder` (a program folder a test kept), with the
    # program's `options`.
    def __init__(self, args, folder=None, options=()):
        self.pace, self.options = 4 if args.slow else 1, list(options)
        self.work = tempfile.mkdtemp(prefix="pellix-e2e-")
        shutil.copytree(folder or args.sample, self.work, dirs_exist_ok=True)
        shutil.copy(os.path.join(args.app, "pellix"), self.work)
        self.data = os.path.join(self.work, "data.xls")
        os.chmod(self.data, 0o644)
        self.process = self.start()
        self.window = (wait(lambda: windows("Pellix"), 60) or [None])[0]
        if self.window is None:
            raise RuntimeError("the window never appeared: %s" % self.close())
        self.origin = geometry(self.window)[:2]
        time.sleep(1.0)

    def start(self):
        env = dict(os.environ, QT_SCALE_FACTOR="1", QT_QPA_PLATFORM="xcb")
        return subprocess.Popen([os.path.join(self.work, "pellix")] + self.options, cwd=self.work, env=env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)

    # Twips to the screen's pixels, 15 to the pixel at 96 dots per inch.
    def point(self, left, top):
        return self.origin[0] + left // 15, self.origin[1] + top // 15

    def click(self, place):
        xdotool("mousemove", *self.point(*place), "sleep", 0.05 * self.pace, "click", 1, "sleep", 0.1 * self.pace)

    # Press at `start`, move in steps through every point of `path`, release at the last.
    def drag(self, start, *path, steps=20):
        x, y = self.point(*start)
        gesture = ["mousemove", x, y, "sleep", 0.05 * self.pace, "mousedown", 1]
        for x1, y1 in (self.point(*place) for place in path):
            for i in range(1, steps + 1):
                gesture += ["mousemove", x + (x1 - x) * i // steps, y + (y1 - y) * i // steps, "sleep", 0.02 * self.pace]
            x, y = x1, y1
        xdotool(*gesture, "sleep", 0.1 * self.pace, "mouseup", 1, "sleep", 0.2 * self.pace)

    # The program's open message boxes (each is titled "Pellix" alone).
    def boxes(self):
        return [w for w in windows("^Pellix$") if w != self.window]

    # Answers the open message boxes with `keys`, waiting up to `timeout` for one.
    def answer_boxes(self, *keys, timeout=0):
        boxes = wait(self.boxes, timeout)
        for box in boxes:
            xdotool("windowfocus", "--sync", box, "sleep", 0.2 * self.pace, "key", "--clearmodifiers", *keys,
                    "sleep", 0.3 * self.pace)
        return len(boxes)

    # Ends the program and removes the folder; each line it printed on its standard error is a problem.
    def close(self):
        self.process.terminate()
        try:
            self.process.wait(5)
        except subprocess.TimeoutExpired:
            self.process.kill()
        shutil.rmtree(self.work, ignore_errors=True)
        said = self.process.stderr.read().decode(errors="replace").splitlines()
        return ["program said: " + line for line in said if line.strip() and "XDG_RUNTIME_DIR" not in line][:10]

