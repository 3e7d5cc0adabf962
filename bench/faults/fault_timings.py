#!/usr/bin/env python3
"""Times how fast tools end when their front end is told to stop or dies, with the real package.

For each case it starts the front end in a session of its own, waits until a tool is at work,
signals the front end and measures the time until the session holds no live process (the
front end and every tool: found by session id in /proc, not by name). Runs each case N times
(default 5) and prints the median and the worst. Everything runs against 127.0.0.1 and ends by
itself; the data and cache folders are temporary.

Usage: bench/faults/fault_timings.py [PACKAGE_DIR] [--rounds N]
"""
import argparse
import json
import os
import signal
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))


def session_members(sid):
    members = []
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open(f"/proc/{name}/stat") as f:
                stat = f.read()
        except OSError:
            continue
        fields = stat[stat.rfind(")") + 2:].split()
        if int(fields[3]) == sid and fields[0] not in "ZX":
            members.append((int(name), int(fields[2]), fields[0]))
    return members


def wait_until(predicate, limit):
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(0.005)
    return False


class Server:
    def __init__(self, root):
        self.process = subprocess.Popen([sys.executable, os.path.join(ROOT, "tests/support/http_server.py"),
                                         "--root", root], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.port = int(self.process.stdout.readline().split()[1])
        self.base = f"http://127.0.0.1:{self.port}"

    def route(self, **settings):
        request = urllib.request.Request(self.base + "/__control/route", data=json.dumps(settings).encode(),
                                         method="POST")
        urllib.request.urlopen(request, timeout=10).read()

    def requested(self, path):
        with urllib.request.urlopen(self.base + "/__control/requests", timeout=10) as answer:
            return any(r["path"] == path and r["method"] == "GET" for r in json.load(answer))

    def close(self):
        self.process.stdin.close()
        self.process.wait(timeout=10)


def measure(command, env, ready, stop_signal, rounds):
    times = []
    for _ in range(rounds):
        process = subprocess.Popen(command, env=env, start_new_session=True, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            if not wait_until(lambda: ready(process.pid), 60):
                raise RuntimeError("the tool never started: " + " ".join(command))
            start = time.monotonic()
            os.kill(process.pid, stop_signal)
            if not wait_until(lambda: not session_members(process.pid) and process.poll() is not None, 30):
                raise RuntimeError(f"left behind: {session_members(process.pid)}")
            times.append(time.monotonic() - start)
        finally:
            for pid, _, _ in session_members(process.pid):
                os.kill(pid, signal.SIGKILL)
            if process.poll() is None:
                process.kill()
                process.wait()
    return times


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("package", nargs="?", default=os.path.join(ROOT, "dist/Tallowin"))
    parser.add_argument("--rounds", type=int, default=5)
    arguments = parser.parse_args()
    package = os.path.abspath(arguments.package)
    cli = os.path.join(package, "Contents/bin/tallowin-cli")
    window = os.path.join(package, "Contents/bin/tallowin")
    ffmpeg = os.path.join(package, "Contents/Helpers/ffmpeg")

    with tempfile.TemporaryDirectory(prefix="tallowin-faults-") as scratch:
        media = os.path.join(scratch, "media")
        os.makedirs(media)
        subprocess.run([ffmpeg, "-hide_banner", "-loglevel", "error", "-f", "lavfi", "-i",
                        "testsrc2=size=320x180:rate=25:duration=4", "-c:v", "libvpx-vp9", "-b:v", "300k",
                        os.path.join(media, "clip.webm")], check=True)
        env = dict(os.environ, XDG_DATA_HOME=os.path.join(scratch, "data"),
                   XDG_CACHE_HOME=os.path.join(scratch, "cache"), QT_QPA_PLATFORM="offscreen")
        env.pop("TALLOWIN_PACKAGE_ROOT", None)
        server = Server(media)
        try:
            server.route(path="/stalled.webm", bodyFile=os.path.join(media, "clip.webm"),
                         headers={"Content-Type": "video/webm"}, stallAfterBytes=4096)
            transferring = lambda pid: server.requested("/stalled.webm") and len(session_members(pid)) > 1
            rows = []
            for name, number in [("SIGHUP", signal.SIGHUP), ("SIGINT", signal.SIGINT), ("SIGTERM", signal.SIGTERM),
                                 ("SIGQUIT", signal.SIGQUIT), ("SIGKILL", signal.SIGKILL)]:
                server.route(path="/stalled.webm", bodyFile=os.path.join(media, "clip.webm"),
                             headers={"Content-Type": "video/webm"}, stallAfterBytes=4096)
                times = measure([cli, "download", server.base + "/stalled.webm"], env, transferring, number,
                                arguments.rounds)
                rows.append((f"tallowin-cli download, {name} mid-transfer", times))

            # A tool that ignores SIGTERM: an updated yt-dlp that hangs on --version, stopped by Ctrl-C.
            support = os.path.join(scratch, "data", "org.tallowin.Tallowin")
            os.makedirs(support, exist_ok=True)
            marker = os.path.join(scratch, "hung")
            with open(os.path.join(support, "yt-dlp"), "w") as script:
                script.write(f"#!/bin/sh\ntrap '' TERM\n: > '{marker}'\nexec sleep 600\n")
            os.chmod(os.path.join(support, "yt-dlp"), 0o755)
            hung = lambda pid: os.path.exists(marker)
            for name, command in [("tallowin-cli status", [cli, "status"]),
                                  ("tallowin-cli download", [cli, "download", server.base + "/clip.webm"])]:
                times = []
                for _ in range(arguments.rounds):
                    if os.path.exists(marker):
                        os.remove(marker)
                    times += measure(command, env, hung, signal.SIGINT, 1)
                rows.append((f"{name}, Ctrl-C while a tool ignores SIGTERM", times))
            if os.path.exists(window):
                for name, number in [("SIGTERM", signal.SIGTERM), ("SIGHUP", signal.SIGHUP)]:
                    times = []
                    for _ in range(arguments.rounds):
                        if os.path.exists(marker):
                            os.remove(marker)
                        times += measure([window], env, hung, number, 1)
                    rows.append((f"the window, {name} during its start-up lookup (tool ignores SIGTERM)", times))
        finally:
            server.close()

    print(f"{'case':<78} {'median':>8} {'worst':>8}")
    for name, times in rows:
        print(f"{name:<78} {statistics.median(times) * 1000:7.0f}ms {max(times) * 1000:7.0f}ms")


if __name__ == "__main__":
    main()
