"""A recording HTTP proxy on 127.0.0.1 for tests of the system proxy path: it forwards
absolute-form requests (GET http://host:port/path) and tunnels CONNECT (for https),
records each request with its User-Agent, and can refuse everything with 407."""

import select
import socket
import socketserver
import threading
from dataclasses import dataclass
from urllib.parse import urlsplit


@dataclass
class ProxyRequest:
    method: str
    target: str  # "http://127.0.0.1:8000/info.txt", or "localhost:8443" for CONNECT
    user_agent: str


def _read_head(connection):
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = connection.recv(4096)
        if not chunk:
            return None, b""
        data += chunk
    head, rest = data.split(b"\r\n\r\n", 1)
    return head.decode("latin-1").split("\r\n"), rest


def _pipe(a, b, timeout=65):
    """Copies bytes both ways until one side closes (or nothing moves for `timeout`)."""
    sockets = [a, b]
    while True:
        ready, _, _ = select.select(sockets, [], [], timeout)
        if not ready:
            return
        for source in ready:
            data = source.recv(65536)
            if not data:
                return
            (b if source is a else a).sendall(data)


class _Handler(socketserver.BaseRequestHandler):
    def handle(self):
        proxy = self.server.owner
        lines, rest = _read_head(self.request)
        if not lines:
            return
        method, target, _ = (lines[0].split(" ", 2) + ["", ""])[:3]
        headers = {}
        for line in lines[1:]:
            name, _, value = line.partition(":")
            headers[name.strip().lower()] = value.strip()
        proxy.record(ProxyRequest(method, target, headers.get("user-agent", "")))
        if proxy.refuse:
            self.request.sendall(b"HTTP/1.1 407 Proxy Authentication Required\r\n"
                                 b"Proxy-Authenticate: Basic realm=\"test\"\r\n"
                                 b"Content-Length: 0\r\nConnection: close\r\n\r\n")
            return
        if method == "CONNECT":
            host, _, port = target.rpartition(":")
            with socket.create_connection((host, int(port)), timeout=10) as upstream:
                self.request.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
                _pipe(self.request, upstream)
            return
        url = urlsplit(target)
        path = url.path or "/"
        if url.query:
            path += "?" + url.query
        forwarded = ["%s %s HTTP/1.1" % (method, path)]
        forwarded += [line for line in lines[1:]
                      if not line.lower().startswith(("proxy-connection:", "connection:"))]
        forwarded.append("Connection: close")
        with socket.create_connection((url.hostname, url.port or 80), timeout=10) as upstream:
            upstream.sendall(("\r\n".join(forwarded) + "\r\n\r\n").encode("latin-1") + rest)
            _pipe(self.request, upstream)


class _Server(socketserver.ThreadingMixIn, socketserver.TCPServer):
    daemon_threads = True
    allow_reuse_address = True


class RecordingProxy:
    """A proxy on 127.0.0.1 at a free port while in a `with` block; `refuse` answers
    every request with 407."""

    def __init__(self, refuse=False):
        self.refuse = refuse
        self.requests = []
        self._lock = threading.Lock()
        self._server = _Server(("127.0.0.1", 0), _Handler)
        self._server.owner = self

    @property
    def address(self):
        return "127.0.0.1:%d" % self._server.server_address[1]

    def record(self, request):
        with self._lock:
            self.requests.append(request)

    def __enter__(self):
        threading.Thread(target=self._server.serve_forever, daemon=True).start()
        return self

    def __exit__(self, *exc):
        self._server.shutdown()
        self._server.server_close()
