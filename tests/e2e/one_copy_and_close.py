#!/usr/bin/python3
"""The program as a whole process in the real window: one running copy per program folder, and a
window close (the window manager's WM_DELETE_WINDOW) that comes while a turn is being written or
while its countdown runs.

    tests/e2e/one_copy_and_close.py --app build/app        # under xvfb-run
"""

import argparse
import os
import shutil
import subprocess
import sys
import time

from Xlib import X, display, protocol

import whole_game as game

MAIN_TITLE = "記録用紙"


def send_close(window_id):
    """What a window manager sends when the scorer clicks the window's close box."""
    d = display.Display()
    window = d.create_resource_object("window", int(window_id))
    protocols = d.intern_atom("WM_PROTOCOLS")
    delete = d.intern_atom("WM_DELETE_WINDOW")
    event = protocol.event.ClientMessage(window=window, client_type=protocols,
                                         data=(32, [delete, X.CurrentTime, 0, 0, 0]))
    window.send_event(event, event_mask=X.NoEventMask)
    # A round trip: the server has taken the event before this connection goes away.
    d.sync()
    d.close()


def visible_windows(name):
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name],
                           capture_output=True, text=True).stdout.split()
    return found


def fill_court(window):
    places = game.initial_places()
    for k in range(1, 5):
        window.drag(places[k], places[20 + k])


def ended_cleanly(window, problems, what):
    try:
        window.process.wait(15)
    except subprocess.TimeoutExpired:
        problems.append(what + ": the window did not close")
        window.close()
        return
    errors = window.process.stderr.read().decode(errors="replace")
    if window.process.returncode != 0:
        problems.append("%s: the program ended with %s: %s" % (what, window.process.returncode, errors[-500:]))


def second_start(app, sample, problems):
    work, data = game.program_folder(app, sample, "pellix-copies-")
    first = game.Window(app, work, False)
    try:
        before = open(data, "rb").read()
        second = subprocess.Popen([os.path.join(work, "pellix")], cwd=work, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.PIPE, env=dict(os.environ, QT_QPA_PLATFORM="xcb"))
        box = None
        deadline = time.time() + 15
        while time.time() < deadline and box is None:
            for candidate in visible_windows(""):
                if candidate != first.window and candidate not in visible_windows(MAIN_TITLE):
                    box = candidate
            time.sleep(0.2)
        if len(visible_windows(MAIN_TITLE)) != 1:
            problems.append("second start: a second main window opened")
        if box is None:
            problems.append("second start: no message told the scorer")
        else:
            game.xdotool("windowfocus", "--sync", box)
            game.xdotool("key", "--clearmodifiers", "Return")
        try:
            second.wait(10)
            if second.returncode == 0:
                problems.append("second start: it ended as if it had run")
        except subprocess.TimeoutExpired:
            problems.append("second start: it did not end")
            second.kill()
        if open(data, "rb").read() != before:
            problems.append("second start: data.xls changed")
        if first.process.poll() is not None:
            problems.append("second start: the first copy ended")
    finally:
        first.close()
        shutil.rmtree(work, ignore_errors=True)


def close_during(app, sample, problems, what):
    """Plays one turn and asks the window to close at the moment `what` names."""
    work, data = game.program_folder(app, sample, "pellix-close-")
    window = game.Window(app, work, False)
    try:
        fill_court(window)
        turn = int(game.Sheet(data).value(19, 2) or 0) + 1
        window.click(*game.CMD_SAVE)
        if what == "commit":
            window.click(*game.CMD_MISS)
            for pause in (0.0, 0.02, 0.05, 0.1):
                time.sleep(pause)
                if window.process.poll() is None:
                    send_close(window.window)
        else:
            send_close(window.window)
        ended_cleanly(window, problems, "close during the " + what)
        sheet = game.Sheet(data)  # reads the whole file: a torn file raises here
        if sheet.value(19, 2) != turn:
            problems.append("close during the %s: turn %d was not recorded (B19 holds %r)"
                            % (what, turn, sheet.value(19, 2)))
        slots = sorted(int(v) for v in (sheet.value(turn + 40, c) for c in range(10, 22)) if v != "")
        if slots != [1, 2, 3, 4]:
            problems.append("close during the %s: turn %d holds slots %s" % (what, turn, slots))
        leftovers = [name for name in os.listdir(work) if name.startswith(".data.xls.")]
        if leftovers:
            problems.append("close during the %s: temporary files left: %s" % (what, leftovers))
    except Exception as error:  # a torn workbook, a window that went away
        problems.append("close during the %s: %s" % (what, error))
    finally:
        window.close()
        shutil.rmtree(work, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--app", default="build/app")
    parser.add_argument("--sample", default=os.path.join(os.path.dirname(__file__), "../../assets/sample"))
    args = parser.parse_args()
    problems = []
    second_start(args.app, args.sample, problems)
    close_during(args.app, args.sample, problems, "commit")
    close_during(args.app, args.sample, problems, "countdown")
    for problem in problems:
        print("PROBLEM:", problem)
    print("one copy and close: %d problems" % len(problems))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
