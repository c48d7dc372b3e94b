# The web board served by the real program in a real window (under xvfb-run): a headless Chromium
# shows the court's names and follows a turn without a reload; climbing paths in every encoding,
# every method, an oversized head, a head that never ends and a thousand malformed requests from a
# seeded generator get nothing but the routes; 200 event streams through 20 turns each receive
# every state. Loopback only; every loop is bounded.

import json
import os
import random
import selectors
import shutil
import socket
import subprocess
import sys
import tempfile
import time

import pellix_e2e as e2e

ROUTES = {"/", "/state.json", "/events", "/court"} | {"/token/%d" % n for n in range(1, 13)}


# The raw answer to raw bytes: the status (0 when the connection closed without one) and the bytes.
def exchange(port, data, timeout=10):
    answer = b""
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
        try:  # nothing more comes after `data`: a cut request ends there
            s.sendall(data), s.shutdown(socket.SHUT_WR)
        except OSError:  # closed while sending: the answer may still be there
            pass
        try:
            while chunk := s.recv(65536):
                answer += chunk
        except OSError:
            pass
    status = int(answer[9:12]) if answer.startswith(b"HTTP/1.1 ") and answer[9:12].isdigit() else 0
    return status, answer


STATE = b"GET /state.json HTTP/1.1\r\n\r\n"


def state(port):
    return json.loads(exchange(port, STATE)[1].split(b"\r\n\r\n", 1)[1])


def play_turn(window, port, miss_key):
    before = state(port)["turn"]
    e2e.xdotool("key", "space", "sleep", 0.3, "key", miss_key)
    return e2e.wait(lambda: state(port)["turn"] == before + 1 and state(port)["phase"] == "idle", 20)


# Chromium driven through its debugging pipe (fds 3 and 4, NUL-ended JSON): opens `url`, and
# `evaluate` gives an expression's value in the page.
class Browser:
    def __init__(self, url):
        (to_browser, self.writer), (self.reader, from_browser) = os.pipe(), os.pipe()
        self.profile = tempfile.mkdtemp(prefix="pellix-chromium-")
        self.process = subprocess.Popen(
            ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--remote-debugging-pipe",
             "--user-data-dir=" + self.profile, "about:blank"], preexec_fn=lambda: (os.dup2(to_browser, 3), os.dup2(
                from_browser, 4)), pass_fds=(3, 4), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser), os.close(from_browser)
        self.next_id, self.buffer = 0, b""
        target = self.call("Target.createTarget", url=url)["targetId"]
        self.session = self.call("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]

    def call(self, method, session=None, **params):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params, **({"sessionId": session} if session else {})}
        os.write(self.writer, json.dumps(message).encode() + b"\0")
        deadline = time.time() + 30
        while time.time() < deadline:
            while b"\0" in self.buffer:
                line, self.buffer = self.buffer.split(b"\0", 1)
                if (answer := json.loads(line)).get("id") == self.next_id:
                    return answer.get("result", {})
            self.buffer += os.read(self.reader, 1 << 16)
        raise RuntimeError("no answer to " + method)

    def evaluate(self, expression):
        return self.call("Runtime.evaluate", self.session, expression=expression, returnByValue=True)["result"].get("value")

    def close(self):
        self.process.kill(), self.process.wait()
        shutil.rmtree(self.profile, ignore_errors=True)


def check_browser(window, port, problems):
    browser = Browser("http://127.0.0.1:%d/" % port)
    try:
        shown = 'Array.from(document.querySelectorAll("#standings li"), li => li.textContent).join("|")'
        if not e2e.wait(lambda: browser.evaluate(shown) and browser.evaluate("$('link').dataset.live") == "1", 20):
            problems.append("the page shows no standings or never opened its event stream")
        dom = browser.evaluate("document.documentElement.outerHTML")
        for place in state(port)["court"]:
            if ('class="name">%s<' % place["name"]) not in dom:
                problems.append("the page's DOM does not show court player %s: %s" % (place, dom[-400:]))
        before = browser.evaluate(shown)
        if not play_turn(window, port, "2"):
            problems.append("a turn played for the browser was never recorded")
        expected = "|".join("%d%s%s" % (line["player"], line["name"] or line["player"], line["text"])
                            for line in state(port)["standings"])
        if expected == before or not e2e.wait(lambda: browser.evaluate(shown) == expected, 10):
            problems.append("the page did not follow the turn: %r, then %r, expected %r"
                            % (before, browser.evaluate(shown), expected))
        if browser.evaluate("performance.getEntriesByType('navigation').length") != 1:
            problems.append("the page was loaded again")
    finally:
        browser.close()


def check_requests(port, problems):
    climbs = ["/../data.xls", "/..%2fdata.xls", "/%2e%2e/data.xls", "/%2E%2E%2Fdata.xls", "/..%5cdata.xls",
              "/%252e%252e/data.xls", "/%c0%ae%c0%ae/data.xls", "/..\\data.xls", "//etc/passwd", "/token/../data.xls",
              "/token/1/../../data.xls", "/./data.xls", "/data.xls", "/image/CourtFrame.gif", "/token/%2e%2e",
              "/%00/data.xls", "/token/1%00", "/court/..", "/events/../data.xls", "http://127.0.0.1/../data.xls"]
    methods = ["POST", "PUT", "DELETE", "PATCH", "OPTIONS", "TRACE", "CONNECT", "PROPFIND", "MKCOL", "get", "BREW"]
    requests = [(b"GET " + path.encode() + b" HTTP/1.1\r\nHost: x\r\n\r\n", (400, 404)) for path in climbs]
    requests += [(m.encode() + b" /state.json HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc", (405,)) for m in methods]
    for request, allowed in requests + [(b"GET / HTTP/1.1\r\nX-Big: " + b"a" * 9000 + b"\r\n\r\n", (431,))]:
        if (status := exchange(port, request)[0]) not in allowed:
            problems.append("%r answered %d" % (request[:60], status))
    with socket.create_connection(("127.0.0.1", port), timeout=30) as s:
        s.sendall(b"GET / HTTP/1.1\r\nX-Slow: ")
        try:
            for _ in range(60):  # a byte a quarter second, never the blank line
                s.sendall(b"a"), time.sleep(0.25)
            problems.append("a head that never ends was not cut off in 15 s")
        except OSError:
            pass
    # A thousand malformed requests: cut, doubled, bytes flipped and shuffled from good ones.
    rng = random.Random(20261208)
    seeds = [b"GET /state.json HTTP/1.1\r\nHost: x\r\n\r\n", b"HEAD /token/3 HTTP/1.0\r\n\r\n", b"GET /events HTTP/1.1\r\n\r\n"]
    for i in range(1000):
        data = rng.choice(seeds)
        for _ in range(rng.randint(1, 6)):
            if data:  # a byte flipped, one inserted, one dropped, the start doubled, the rest cut
                at, action = rng.randrange(len(data)), rng.randrange(5)
                data = [lambda: data[:at] + bytes([rng.randrange(256)]) + data[at + 1:],
                        lambda: data[:at] + bytes([rng.choice(b"/.%\\\r\n :?#\0\xff")]) + data[at:],
                        lambda: data[:at] + data[at + 1:], lambda: data[:at] + data[:rng.randrange(len(data))] + data[at:],
                        lambda: data[:at]][action]()
        status = exchange(port, data, timeout=8)[0]
        target = data.split(b" ")[1].split(b"?")[0] if data.count(b" ") >= 2 else b""
        if status == 200 and target.decode(errors="replace") not in ROUTES:
            problems.append("malformed request %d %r was served" % (i, data))
        if status not in (0, 200, 400, 404, 405, 431):
            problems.append("malformed request %d %r answered %d" % (i, data, status))
    if state(port)["court"] is None:
        problems.append("the board stopped answering")


# 200 connections that never ask: a newcomer is served, and the oldest of them is dropped for it.
def check_cap(port, problems):
    idle = [socket.create_connection(("127.0.0.1", port), timeout=5) for _ in range(200)]
    time.sleep(0.5)
    if exchange(port, STATE)[0] != 200:
        problems.append("a newcomer to 200 idle connections was not served")

    def dropped(s):
        s.setblocking(False)
        try:
            return s.recv(1) == b""
        except OSError as error:  # reset, or nothing to read yet
            return not isinstance(error, BlockingIOError)
    if not e2e.wait(lambda: dropped(idle[0]), 5) or dropped(idle[1]):
        problems.append("not the oldest idle connection alone was dropped")
    for s in idle:
        s.close()


# 200 event streams through 20 turns: each stream receives the same states, every recorded turn
# among them.
def check_streams(window, port, problems):
    selector, streams = selectors.DefaultSelector(), {}
    for _ in range(200):
        s = socket.create_connection(("127.0.0.1", port), timeout=10)
        s.sendall(b"GET /events HTTP/1.1\r\nHost: x\r\n\r\n"), s.setblocking(False)
        selector.register(s, selectors.EVENT_READ)
        streams[s] = b""

    def pump(seconds):
        deadline = time.time() + seconds
        while time.time() < deadline:
            for key, _ in selector.select(0.05):
                try:
                    streams[key.fileobj] += (chunk := key.fileobj.recv(1 << 20))
                    chunk or selector.unregister(key.fileobj)
                except BlockingIOError:
                    pass

    # The events received whole: each ends with a blank line.
    def states(data):
        return [json.loads(event[event.index("data: ") + 6:]) for event in data.decode(errors="replace").split("\n\n")[:-1]
                if "data: " in event]

    # The program's own answers are all the test needs: no 201st connection.
    def latest():
        pump(0.1)
        found = states(next(iter(streams.values())))
        return found[-1] if found else None
    first = e2e.wait(latest, 10)["turn"]
    for turn in range(20):
        e2e.xdotool("key", "space")
        if not e2e.wait(lambda: (now := latest()) and now["phase"] == "countdown" and now["countdown"], 5):
            problems.append("the countdown of turn %d never reached the streams" % (first + turn + 1))
        e2e.xdotool("key", "0" if turn % 2 else "1")
        if not e2e.wait(lambda: (now := latest()) and now["turn"] == first + turn + 1 and now["phase"] == "idle", 20):
            problems.append("turn %d of the streams was never recorded" % (first + turn + 1))
            break
    pump(2)
    if exchange(port, STATE)[0] != 503:
        problems.append("a newcomer to 200 event streams was not refused")
    received = [states(data) for data in streams.values()]
    [stream.close() for stream in streams]
    turns = sorted({each["turn"] for each in received[0]}) if received[0] else []
    if turns != list(range(first, first + 21)):
        problems.append("the first stream saw turns %s, expected %d..%d" % (turns, first, first + 20))
    # The closed streams leave room once the program has seen them go.
    answer = e2e.wait(lambda: exchange(port, STATE)[0] == 200 and state(port), 10)
    if not received[0] or received[0][-1] != answer:
        problems.append("the first stream's last state is not the state")
    if differing := sum(1 for each in received if each != received[0]):
        problems.append("%d of 200 streams received other states than the first" % differing)


def main():
    args = e2e.arguments(screenshot="")
    if not shutil.which("chromium"):
        print("skipped: chromium is not installed")
        return 77
    with socket.socket() as s:
        port = s.bind(("127.0.0.1", 0)) or s.getsockname()[1]
    window, problems = e2e.Window(args, options=["--serve", "127.0.0.1:%d" % port]), []
    try:
        if not e2e.wait(lambda: exchange(port, STATE)[0] == 200, 20):
            raise RuntimeError("the board is not served on port %d" % port)
        window.click(e2e.NOWHERE)
        e2e.xdotool("key", "--delay", 80, "1", "a", "2", "b", "3", "c", "4", "d", "sleep", 0.5)
        if not play_turn(window, port, "1"):
            problems.append("the first turn was never recorded")
        check_browser(window, port, problems)
        if args.screenshot:  # the page on a phone held upright, for the README
            subprocess.run(["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                            "--window-size=412,915", "--virtual-time-budget=4000", "--screenshot=" + args.screenshot,
                            "http://127.0.0.1:%d/" % port], capture_output=True, timeout=120)
        check_requests(port, problems)
        check_cap(port, problems)
        check_streams(window, port, problems)
        if window.process.poll() is not None:
            problems.append("the program ended")
    finally:
        problems += window.close()
    print(*problems, sep="\n")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
