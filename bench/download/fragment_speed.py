#!/usr/bin/env python3
"""Times `tallowin-cli download` against `yt-dlp -t mp4` on an HLS and a DASH stream, side by side.

At the start the package's ffmpeg makes a 42-second 480p stream in 21 two-second segments, once as
HLS and once as DASH (H.264 and AAC). A server on 127.0.0.1 serves them the way many video hosts
and CDNs pace a single connection: each connection at most --rate bytes a second, each answer after
--delay seconds. Both commands use the package's yt-dlp and ffmpeg and run
alternately, --rounds times each; the medians and their ratio are printed. With --sweep the same
yt-dlp also runs with --concurrent-fragments 1, 2, 4 and 8.

Usage: bench/download/fragment_speed.py [PACKAGE_DIR] [--rounds N] [--sweep]
"""
import argparse
import functools
import http.server
import mimetypes
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
RUN_LIMIT = 300  # seconds; a run that takes longer has hung


def make_streams(ffmpeg, www):
    source = ["-f", "lavfi", "-i", "testsrc2=size=854x480:rate=25:duration=42",
              "-f", "lavfi", "-i", "sine=frequency=440:duration=42",
              "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-b:v", "2400k", "-g", "50",
              "-c:a", "aac", "-b:a", "128k"]
    os.makedirs(os.path.join(www, "hls"))
    os.makedirs(os.path.join(www, "dash"))
    quiet = [ffmpeg, "-hide_banner", "-loglevel", "error", "-y"]
    subprocess.run(quiet + source + ["-f", "hls", "-hls_time", "2", "-hls_playlist_type", "vod",
                                     os.path.join(www, "hls", "index.m3u8")], check=True, timeout=RUN_LIMIT)
    subprocess.run(quiet + source + ["-f", "dash", "-seg_duration", "2", "-adaptation_sets",
                                     "id=0,streams=v id=1,streams=a", os.path.join(www, "dash", "manifest.mpd")],
                   check=True, timeout=RUN_LIMIT)


class PacedHandler(http.server.SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.1"  # keeps connections open, as players and yt-dlp expect
    rate = 1_000_000
    delay = 0.05

    def log_message(self, *args):
        pass

    def send_head(self):
        time.sleep(self.delay)
        return super().send_head()

    def copyfile(self, source, target):
        start, sent = time.monotonic(), 0
        while data := source.read(16 * 1024):
            target.write(data)
            sent += len(data)
            ahead = start + sent / self.rate - time.monotonic()
            if ahead > 0:
                time.sleep(ahead)


class Server:
    def __init__(self, root, rate, delay):
        mimetypes.add_type("application/vnd.apple.mpegurl", ".m3u8")
        mimetypes.add_type("application/dash+xml", ".mpd")
        PacedHandler.rate, PacedHandler.delay = rate, delay
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0),
                                                      functools.partial(PacedHandler, directory=root))
        self.server.daemon_threads = True
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()
        self.base = "http://127.0.0.1:%d" % self.server.server_address[1]

    def close(self):
        self.server.shutdown()
        self.server.server_close()


def timed(command, env, folder):
    os.makedirs(folder)
    start = time.monotonic()
    result = subprocess.run(command, env=env, cwd=folder, stdin=subprocess.DEVNULL, capture_output=True, text=True,
                            timeout=RUN_LIMIT)
    elapsed = time.monotonic() - start
    if result.returncode != 0:
        raise RuntimeError("%s failed: %s" % (command[0], result.stderr.strip()))
    shutil.rmtree(folder, ignore_errors=True)
    return elapsed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("package", nargs="?", default=os.path.join(ROOT, "dist", "Tallowin"))
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--rate", type=float, default=1_000_000, help="bytes a second per connection")
    parser.add_argument("--delay", type=float, default=0.05, help="seconds before each answer")
    parser.add_argument("--sweep", action="store_true", help="also yt-dlp with 1, 2, 4 and 8 fragments at once")
    args = parser.parse_args()
    helpers = os.path.join(os.path.abspath(args.package), "Contents", "Helpers")
    ytdlp = os.path.join(helpers, "yt-dlp")
    cli = os.path.join(os.path.abspath(args.package), "Contents", "bin", "tallowin-cli")

    scratch = tempfile.mkdtemp(prefix="tallowin-fragments-")
    server = None
    try:
        env = {"PATH": "/usr/bin:/bin", "LANG": "C.UTF-8", "HOME": os.path.join(scratch, "home"),
               "TMPDIR": scratch, "XDG_CACHE_HOME": os.path.join(scratch, "cache"),
               "XDG_DATA_HOME": os.path.join(scratch, "data")}
        os.makedirs(env["HOME"])
        www = os.path.join(scratch, "www")
        make_streams(os.path.join(helpers, "ffmpeg"), www)
        server = Server(www, args.rate, args.delay)
        ytdlp_base = [ytdlp, "--ignore-config", "--ffmpeg-location", helpers, "-q", "--no-progress", "-t", "mp4"]
        runs = 0

        def folder():
            nonlocal runs
            runs += 1
            return os.path.join(scratch, "run%d" % runs)

        print("per connection %.0f kB/s, %.0f ms per answer, %d rounds, medians" %
              (args.rate / 1000, args.delay * 1000, args.rounds))
        for name, path in (("HLS", "/hls/index.m3u8"), ("DASH", "/dash/manifest.mpd")):
            url = server.base + path
            plain, ours = [], []
            for _ in range(args.rounds):
                plain.append(timed(ytdlp_base + [url], env, folder()))
                ours.append(timed([cli, "download", url], env, folder()))
            a, b = statistics.median(plain), statistics.median(ours)
            print("%-4s  yt-dlp -t mp4 %6.1f s   tallowin-cli download %6.1f s   ratio %.2f" % (name, a, b, b / a))
            if args.sweep:
                for n in (1, 2, 4, 8):
                    times = [timed(ytdlp_base + ["--concurrent-fragments", str(n), url], env, folder())
                             for _ in range(args.rounds)]
                    print("%-4s  yt-dlp -t mp4 --concurrent-fragments %d  %6.1f s" % (name, n,
                                                                                    statistics.median(times)))
            sys.stdout.flush()
    finally:
        if server:
            server.close()
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
