#!/usr/bin/env python3
"""A small HTTP/1.1 server for tests: static files below --root, scripted routes set through
POST /__control/route, and a log of requests at GET /__control/requests. Binds 127.0.0.1 on an
ephemeral port and prints "PORT <n>" on its first line. Exits when its standard input closes.
With --one-at-a-time SECONDS it answers one request at a time, each after SECONDS, and refuses with
429 any that comes meanwhile, as hosts that allow a client one request at a time do."""

import argparse
import json
import mimetypes
import os
import re
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import urlsplit, unquote

CHUNK = 64 * 1024
MAX_STALL_SECONDS = 120

mimetypes.add_type("application/dash+xml", ".mpd")
mimetypes.add_type("application/vnd.apple.mpegurl", ".m3u8")
mimetypes.add_type("video/iso.segment", ".m4s")
mimetypes.add_type("video/webm", ".webm")
mimetypes.add_type("video/x-matroska", ".mkv")

routes = {}
requests = []
lock = threading.Lock()
stopping = threading.Event()
one_at_a_time = None  # seconds before each answer, when requests are taken one at a time
busy = threading.Lock()


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "TestServer/1"

    def log_message(self, *args):
        pass

    def record(self):
        with lock:
            requests.append({"method": self.command, "path": self.path,
                             "headers": {k.lower(): v for k, v in self.headers.items()}})

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length)
        if self.path == "/__control/route":
            settings = json.loads(body)
            with lock:
                routes[settings["path"]] = settings
            self.reply(200, b"ok")
        else:
            self.record()
            self.reply(405, b"")

    def do_HEAD(self):
        self.do_GET(head=True)

    def do_GET(self, head=False):
        path = urlsplit(self.path).path
        if path == "/__control/requests":
            with lock:
                data = json.dumps(requests).encode()
            self.reply(200, data, "application/json")
            return
        self.record()
        if one_at_a_time is not None:
            if not busy.acquire(blocking=False):
                self.reply(429, b"Too Many Requests")
                return
            time.sleep(one_at_a_time)
            busy.release()  # before the answer, so that the client's next request never finds it busy
        with lock:
            route = routes.get(path)
        if route is not None:
            self.scripted(route, head)
        else:
            self.static(unquote(path), head)

    def reply(self, status, body, content_type="text/plain"):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def scripted(self, route, head):
        wanted = route.get("requireCookie", "")
        if wanted and wanted not in [c.strip() for c in self.headers.get("Cookie", "").split(";")]:
            self.reply(403, b"Forbidden")
            return
        if route.get("redirectTo"):
            self.send_response(route.get("status", 302) if route.get("status", 200) != 200 else 302)
            self.send_header("Location", route["redirectTo"])
            self.send_header("Content-Length", "0")
            for name, value in route.get("headers", {}).items():
                self.send_header(name, value)
            self.end_headers()
            return
        if route.get("bodyFile"):
            with open(route["bodyFile"], "rb") as f:
                body = f.read()
        else:
            body = route.get("body", "").encode("latin-1")
        self.send_response(route.get("status", 200), route.get("reason") or None)
        headers = route.get("headers", {})
        for name, value in headers.items():
            self.send_header(name, value)
        if "Content-Type" not in headers:
            self.send_header("Content-Type", "application/octet-stream")
        omit = route.get("omitLength", False)
        if omit:
            self.send_header("Connection", "close")
            self.close_connection = True
        else:
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if head:
            return
        self.send_body(body, route.get("stallAfterBytes", -1), route.get("secondsPerChunk", 0),
                       route.get("closeAfterBytes", -1))

    def send_body(self, body, stall_after, seconds_per_chunk, close_after=-1):
        limit = len(body) if stall_after < 0 else min(stall_after, len(body))
        if close_after >= 0:
            limit = min(close_after, limit)
        sent = 0
        try:
            while sent < limit:
                piece = body[sent:min(sent + CHUNK, limit)]
                self.wfile.write(piece)
                self.wfile.flush()
                sent += len(piece)
                if seconds_per_chunk and sent < limit:
                    time.sleep(seconds_per_chunk)
            if stall_after >= 0:
                deadline = time.monotonic() + MAX_STALL_SECONDS
                while time.monotonic() < deadline and not stopping.is_set():
                    time.sleep(0.2)
                self.close_connection = True
            if close_after >= 0:
                # The promised length is not reached: the client sees the connection end mid-body.
                self.close_connection = True
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True

    def static(self, path, head):
        root = os.path.realpath(self.server.root)
        target = os.path.realpath(os.path.join(root, path.lstrip("/")))
        if not root or not target.startswith(root + os.sep) or not os.path.isfile(target):
            self.reply(404, b"Not Found")
            return
        size = os.path.getsize(target)
        start, end = 0, size - 1
        status = 200
        match = re.fullmatch(r"bytes=(\d*)-(\d*)", self.headers.get("Range", ""))
        if match and size > 0:
            if match.group(1):
                start = int(match.group(1))
                if match.group(2):
                    end = min(int(match.group(2)), size - 1)
            elif match.group(2):
                start = max(0, size - int(match.group(2)))
            if start > end:
                self.send_response(416)
                self.send_header("Content-Range", "bytes */%d" % size)
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
            status = 206
        self.send_response(status)
        self.send_header("Content-Type", mimetypes.guess_type(target)[0] or "application/octet-stream")
        self.send_header("Content-Length", str(end - start + 1))
        self.send_header("Accept-Ranges", "bytes")
        if status == 206:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (start, end, size))
        self.end_headers()
        if head:
            return
        try:
            with open(target, "rb") as f:
                f.seek(start)
                left = end - start + 1
                while left > 0:
                    data = f.read(min(CHUNK, left))
                    if not data:
                        break
                    self.wfile.write(data)
                    left -= len(data)
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", default="")
    parser.add_argument("--one-at-a-time", type=float, metavar="SECONDS")
    args = parser.parse_args()
    global one_at_a_time
    one_at_a_time = args.one_at_a_time
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    server.root = args.root
    print("PORT %d" % server.server_address[1], flush=True)

    def watch_parent():
        sys.stdin.read()
        stopping.set()
        os._exit(0)

    threading.Thread(target=watch_parent, daemon=True).start()
    server.serve_forever()


if __name__ == "__main__":
    main()
