#!/usr/bin/python3
"""The live page under load and attack, against a running dln-sim --http: 8 slow clients (a
byte every 3 s) and 50 event streams connected, /api/state still answers at once; requests
naming another Host, from another Origin, or with a 30 MB body are refused; dln-sim's memory
grows little; Ctrl-C stops it within a second with all of them connected.
Usage: live_page_load_test.py DLN_SIM"""
import os, signal, socket, subprocess, sys, threading, time, urllib.error, urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import live_page_sim  # noqa: E402

dln_sim = sys.argv[1]
failures = []


def check(ok, what):
    print(("ok:   " if ok else "FAIL: ") + what)
    if not ok:
        failures.append(what)


def rss_kb(pid):
    for line in open("/proc/%d/status" % pid):
        if line.startswith("VmRSS:"):
            return int(line.split()[1])
    return 0


sim, port = live_page_sim.start(dln_sim)
base = "http://127.0.0.1:%d" % port


def request(path, headers=None, body=None, method=None):
    req = urllib.request.Request(base + path, data=body, headers=headers or {}, method=method)
    try:
        with urllib.request.urlopen(req, timeout=30) as reply:
            return reply.status, reply.read(), dict(reply.headers)
    except urllib.error.HTTPError as error:
        return error.code, error.read(), dict(error.headers)


before_kb = rss_kb(sim.pid)

# Hostile requests.
status, body, headers = request("/api/state")
check(status == 200, "the page's own request is answered")
for name, value in [("X-Frame-Options", "DENY"),
                    ("Content-Security-Policy", "frame-ancestors 'none'"),
                    ("X-Content-Type-Options", "nosniff")]:
    check(headers.get(name) == value, "%s: %s" % (name, value))
status, _, _ = request("/api/state", {"Host": "rebound.example:%d" % port})
check(status == 403, "a rebound Host is refused (%d)" % status)
status, _, _ = request("/api/world", {"Origin": "http://evil.example",
                                      "Content-Type": "application/json"},
                       b'{"i2c": 41, "set": {"distanceMm": 100}}')
check(status == 403, "a foreign Origin is refused (%d)" % status)
status, _, _ = request("/api/world", {"Content-Type": "text/plain"}, b'{"clearFaults": true}')
check(status == 415, "a cross-site simple request is refused (%d)" % status)
try:
    status, _, _ = request("/api/world", {"Content-Type": "application/json"},
                           b"{" + b" " * (30 << 20) + b"}")
except OSError:
    status = "connection closed"  # refused before the body was all sent
check(status in (413, "connection closed"), "a 30 MB body is refused (%s)" % status)

# Slow clients and idle streams.
slow = []
for _ in range(8):
    s = socket.create_connection(("127.0.0.1", port))
    s.send(b"G")
    slow.append(s)


def trickle():
    while True:
        time.sleep(3)
        for s in slow:
            try:
                s.send(b"E")
            except OSError:
                pass


threading.Thread(target=trickle, daemon=True).start()
streams = []
for _ in range(50):
    s = socket.create_connection(("127.0.0.1", port))
    s.send(b"GET /api/events HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n\r\n" % port)
    streams.append(s)


def drain(s):
    try:
        while s.recv(65536):
            pass
    except OSError:
        pass


for s in streams:
    threading.Thread(target=drain, args=(s,), daemon=True).start()
time.sleep(1)
worst = 0
for _ in range(5):
    start = time.monotonic()
    status, _, _ = request("/api/state")
    worst = max(worst, time.monotonic() - start)
    check(status == 200, "/api/state with 8 slow clients and 50 streams")
print("measured: /api/state worst of 5: %.3f s" % worst)
# One second promised; a machine loaded by parallel builds is given twice that.
check(worst < 2.0, "/api/state answers within 2 s (%.3f s)" % worst)

after_kb = rss_kb(sim.pid)
print("measured: dln-sim memory %d kB before, %d kB after" % (before_kb, after_kb))
check(after_kb - before_kb < 40 * 1024, "memory grew by less than 40 MB")
check(after_kb < 50 * 1024, "dln-sim holds less than 50 MB")

start = time.monotonic()
sim.send_signal(signal.SIGINT)
try:
    sim.wait(timeout=10)
except subprocess.TimeoutExpired:
    sim.kill()
stopped = time.monotonic() - start
print("measured: stopped %.3f s after SIGINT" % stopped)
check(stopped < 2.0, "Ctrl-C stops dln-sim with every client connected (%.3f s)" % stopped)
sys.exit(1 if failures else 0)
