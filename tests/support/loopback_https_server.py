#!/usr/bin/env python3
"""Loopback HTTPS server for tests (Python 3 standard library only).

Usage: loopback_https_server.py DIR

DIR holds cert.pem and key.pem (the server's certificate and key) and script.json
(the answers, written by the test; read again for every request, so a test may change
it at any time; write it atomically). The server listens on 127.0.0.1 only, on a free
port that it prints as the first line on standard output, and appends one JSON line per
event to DIR/record.jsonl:

  {"kind": "request", "seq": N, "method": ..., "path": ..., "headers": [[name, value], ...],
   "body_length": N, "complete": bool, "body_file": "bodies/N.bin" or "" , "rule": id}
  {"kind": "handshake_failed", "error": ...}

"complete" is false when the body was not read (rule "read_body": false) or the client
went away before sending all of it. A request line is written (and its body file before
it) before the answer starts.

script.json:
  {"record_bodies": true,
   "rules": [{"id": 1, "method": "POST", "path": "/upload", "times": 0,
              "status": 200, "content_type": "text/plain", "headers": [[n, v], ...],
              "body": "text", "body_file": "/path", "delay_ms": 0, "hold": "", "hang": false,
              "hang_after_bytes": -1, "read_body": true, "drain_after_ms": 0,
              "close": false}]}

The first rule whose method (empty: any) and path (exact; a trailing "*" matches a
prefix; empty: any) match and whose "times" (0: unlimited) is not used up answers.
Without a rule the answer is 404 text/plain "no rule". "content_type" empty sends no
Content-Type header. "hold" (a name) keeps the answer back, after "delay_ms", until
the file DIR/released/<name> exists (the test lets it go) or the client goes away.
"hang" never answers; "hang_after_bytes" N >= 0 sends the head and
N bytes of the body, then waits. A waiting answer ends when the client goes away or the
server stops. "read_body" false answers before reading the request body, then (after
"drain_after_ms") reads and drops the body and closes the connection; "close" closes it after the answer.

Misbehaving answers: "raw" (text, sent as Latin-1 bytes) is the whole answer as it goes on
the wire, head and body, in place of status, headers and body; then "endless" (text), when
not empty, is sent again and again until the client goes away (at most 1 GiB or 120 s), or
exactly "repeat" times when that is above 0; then "tail" (text); then the connection waits
for the client when "hang" is true, else it closes. "trickle_ms" above 0 sends all of it
one byte at a time, that many milliseconds apart. A script
with "stall_handshake": true makes the server take TCP connections and never start TLS on
them (until the client goes away).

SIGTERM ends the server.
"""

import http.server
import json
import os
import select
import socket
import ssl
import sys
import threading
import time

DIR = sys.argv[1]
SCRIPT = os.path.join(DIR, "script.json")
RECORD = os.path.join(DIR, "record.jsonl")
BODIES = os.path.join(DIR, "bodies")

_lock = threading.Lock()
_seq = 0
_uses = {}  # rule id -> times used
_stopping = threading.Event()


def _record(entry):
    line = json.dumps(entry) + "\n"
    with _lock:
        with open(RECORD, "a", encoding="utf-8") as out:
            out.write(line)
            out.flush()


def _load_script():
    try:
        with open(SCRIPT, "r", encoding="utf-8") as f:
            return json.load(f)
    except (OSError, ValueError):
        return {}


def _matches(rule, method, path):
    want = rule.get("method", "")
    if want and want != method:
        return False
    pattern = rule.get("path", "")
    if pattern.endswith("*"):
        return path.startswith(pattern[:-1])
    return not pattern or pattern == path


def _pick_rule(script, method, path):
    with _lock:
        for rule in script.get("rules", []):
            if not _matches(rule, method, path):
                continue
            times = rule.get("times", 0)
            used = _uses.get(rule.get("id"), 0)
            if times and used >= times:
                continue
            _uses[rule.get("id")] = used + 1
            return rule
    return None


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "LoopbackTestServer/1"

    def setup(self):
        if _load_script().get("stall_handshake", False):
            self._wait_for_client_or_stop(self.request)
            _record({"kind": "handshake_failed", "error": "stalled"})
            self.request = None
            raise OSError("handshake stalled on purpose")
        # The handshake runs on the connection's own thread, so a client that stalls
        # it holds up nobody else.
        try:
            self.request = self.server.tls.wrap_socket(self.request, server_side=True)
        except (ssl.SSLError, OSError) as e:
            _record({"kind": "handshake_failed", "error": str(e)})
            self.request = None
            raise
        super().setup()

    def handle(self):
        if self.request is not None:
            super().handle()

    def log_message(self, format, *args):
        pass

    def _read_body(self, length, keep):
        got = 0
        parts = []
        while got < length:
            chunk = self.rfile.read(min(1 << 20, length - got))
            if not chunk:
                break
            got += len(chunk)
            if keep:
                parts.append(chunk)
        return got, b"".join(parts)

    def _wait_for_client_or_stop(self, sock=None):
        # Waits until the client closes (or resets) the connection or the server stops.
        if sock is None:
            sock = self.connection
        while not _stopping.is_set():
            try:
                readable, _, _ = select.select([sock], [], [], 0.2)
                if readable and not sock.recv(65536):
                    return
            except (OSError, ValueError, ssl.SSLError):
                return
        self.close_connection = True

    def _wait_for_release(self, name):
        # True once the test released |name|; false when the client went away first or
        # the server stops.
        released = os.path.join(DIR, "released", name)
        while not _stopping.is_set():
            if os.path.exists(released):
                return True
            try:
                readable, _, _ = select.select([self.connection], [], [], 0.02)
                if readable and not self.connection.recv(65536):
                    return False
            except ssl.SSLWantReadError:
                continue
            except (OSError, ValueError, ssl.SSLError):
                return False
        return False

    def _send_raw(self, data, trickle_ms):
        if trickle_ms <= 0:
            self.wfile.write(data)
            return
        for i in range(len(data)):
            if _stopping.wait(trickle_ms / 1000.0):
                raise OSError("server stopping")
            self.wfile.write(data[i:i + 1])
            self.wfile.flush()

    def _serve_raw(self, rule):
        self.close_connection = True
        trickle_ms = int(rule.get("trickle_ms", 0))
        try:
            self._send_raw(rule["raw"].encode("latin-1"), trickle_ms)
            self.wfile.flush()
            endless = rule.get("endless", "").encode("latin-1")
            repeat = int(rule.get("repeat", 0))
            if endless and repeat > 0:
                times = max(1, (64 * 1024) // len(endless))
                piece = endless * times
                left = repeat
                while left > 0 and not _stopping.is_set():
                    n = min(left, times)
                    self._send_raw(piece if n == times else endless * n, trickle_ms)
                    left -= n
            elif endless:
                piece = endless * max(1, (64 * 1024) // len(endless))
                if trickle_ms > 0:
                    piece = endless
                sent = 0
                deadline = time.monotonic() + 120
                while (sent < (1 << 30) and time.monotonic() < deadline
                       and not _stopping.is_set()):
                    self._send_raw(piece, trickle_ms)
                    sent += len(piece)
            self._send_raw(rule.get("tail", "").encode("latin-1"), trickle_ms)
            self.wfile.flush()
            if rule.get("hang", False):
                self.wfile.flush()
                self._wait_for_client_or_stop()
        except (OSError, ssl.SSLError, ValueError):
            pass

    def _serve(self):
        global _seq
        script = _load_script()
        method = self.command
        rule = _pick_rule(script, method, self.path)
        if rule is None:
            rule = {"id": 0, "status": 404, "content_type": "text/plain", "body": "no rule"}
        length = int(self.headers.get("Content-Length", "0") or 0)
        keep = bool(script.get("record_bodies", True))
        got, body = 0, b""
        if rule.get("read_body", True):
            got, body = self._read_body(length, keep)
        with _lock:
            _seq += 1
            seq = _seq
        body_file = ""
        if keep and got:
            body_file = "bodies/%d.bin" % seq
            with open(os.path.join(DIR, body_file), "wb") as out:
                out.write(body)
        _record({
            "kind": "request", "seq": seq, "method": method, "path": self.path,
            "headers": [[k, v] for k, v in self.headers.items()],
            "body_length": got, "complete": got == length, "body_file": body_file,
            "rule": rule.get("id", 0),
        })
        if got != length and rule.get("read_body", True):
            self.close_connection = True
            return

        delay = rule.get("delay_ms", 0)
        if delay:
            _stopping.wait(delay / 1000.0)
        if rule.get("hold", "") and not self._wait_for_release(rule["hold"]):
            self.close_connection = True
            return
        if rule.get("raw", ""):
            self._serve_raw(rule)
            return
        if rule.get("hang", False):
            self._wait_for_client_or_stop()
            self.close_connection = True
            return

        if rule.get("body_file"):
            with open(rule["body_file"], "rb") as f:
                payload = f.read()
        else:
            payload = rule.get("body", "").encode("utf-8")
        self.send_response(rule.get("status", 200))
        if rule.get("content_type", ""):
            self.send_header("Content-Type", rule["content_type"])
        for name, value in rule.get("headers", []):
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(payload)))
        closing = rule.get("close", False) or not rule.get("read_body", True)
        if closing:
            self.send_header("Connection", "close")
        self.end_headers()
        cut = rule.get("hang_after_bytes", -1)
        try:
            if cut is not None and cut >= 0:
                self.wfile.write(payload[:cut])
                self.wfile.flush()
                self._wait_for_client_or_stop()
                self.close_connection = True
                return
            self.wfile.write(payload)
            self.wfile.flush()
        except (OSError, ssl.SSLError):
            self.close_connection = True
            return
        if not rule.get("read_body", True):
            # The answer went out before the body: take in the rest so that closing does
            # not reset the connection under the client's feet.
            _stopping.wait(rule.get("drain_after_ms", 0) / 1000.0)
            self._read_body(length, False)
        if closing:
            self.close_connection = True

    def do_GET(self):
        self._serve()

    def do_POST(self):
        self._serve()

    def do_PUT(self):
        self._serve()

    def do_DELETE(self):
        self._serve()

    def do_HEAD(self):
        self._serve()


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def handle_error(self, request, client_address):
        pass  # clients that go away mid-exchange are part of the tests


def main():
    os.makedirs(BODIES, exist_ok=True)
    tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    tls.load_cert_chain(os.path.join(DIR, "cert.pem"), os.path.join(DIR, "key.pem"))
    server = Server(("127.0.0.1", 0), Handler)
    server.tls = tls
    print(server.server_address[1], flush=True)
    try:
        server.serve_forever(poll_interval=0.2)
    finally:
        _stopping.set()


if __name__ == "__main__":
    import signal

    signal.signal(signal.SIGTERM, lambda *_: (_stopping.set(), os._exit(0)))
    main()
