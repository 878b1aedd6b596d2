"""A recording HTTP proxy on 127.0.0.1 for tests of the system proxy path: it forwards
absolute-form requests (GET http://host:port/path) and tunnels CONNECT (for https),
records each request with its User-Agent, and can refuse everything with 407, or answer
407 or nothing at all for the requests to one server only; and the Windows proxy
setting that sends a prefix's WinINet requests to it.

WinINet takes the setting from the registry when a program opens its Internet handle,
so a change applies to the next program started; the environment's no_proxy replaces
the setting's ProxyOverride, and the harness sets it to bypass loopback: runs that are
to go through the proxy remove it (Wine.environment(no_proxy=None))."""

import select
import socket
import socketserver
import threading
from contextlib import contextmanager
from dataclasses import dataclass
from urllib.parse import urlsplit

INTERNET_SETTINGS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings"


@dataclass
class ProxyRequest:
    method: str
    target: str  # "http://127.0.0.1:8000/info.txt", or "localhost:8443" for CONNECT
    user_agent: str

    @property
    def address(self):
        """(host, port) of the server the request is for."""
        if self.method == "CONNECT":
            host, _, port = self.target.rpartition(":")
            return host, int(port)
        url = urlsplit(self.target)
        return url.hostname, url.port or 80


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
        request = ProxyRequest(method, target, headers.get("user-agent", ""))
        proxy.record(request)
        host, port = request.address
        misbehaviour = proxy.misbehaviour.get(port)
        if misbehaviour == "stall":
            proxy.released.wait()
            return
        if proxy.refuse or misbehaviour == "refuse":
            self.request.sendall(b"HTTP/1.1 407 Proxy Authentication Required\r\n"
                                 b"Proxy-Authenticate: Basic realm=\"test\"\r\n"
                                 b"Content-Length: 0\r\nConnection: close\r\n\r\n")
            return
        if method == "CONNECT":
            with socket.create_connection((host, port), timeout=10) as upstream:
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
        with socket.create_connection((host, port), timeout=10) as upstream:
            upstream.sendall(("\r\n".join(forwarded) + "\r\n\r\n").encode("latin-1") + rest)
            _pipe(self.request, upstream)


class _Server(socketserver.ThreadingMixIn, socketserver.TCPServer):
    daemon_threads = True
    allow_reuse_address = True


class RecordingProxy:
    """A proxy on 127.0.0.1 at a free port while in a `with` block; `refuse` answers
    every request with 407. `misbehaviour` maps the port of a server to "refuse" (407)
    or "stall" (no answer until the proxy ends) for the requests to that server."""

    def __init__(self, refuse=False):
        self.refuse = refuse
        self.misbehaviour = {}
        self.released = threading.Event()
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
        self.released.set()
        self._server.shutdown()
        self._server.server_close()


@contextmanager
def windows_proxy_setting(wine, address):
    """The prefix's Windows proxy setting (ProxyEnable 1, ProxyServer `address`, as
    host:port) for the block; then the values as they were."""
    names = ("ProxyEnable", "ProxyServer")
    before = {name: wine.reg_value(INTERNET_SETTINGS, name) for name in names}
    try:
        wine.reg_add(INTERNET_SETTINGS, "ProxyEnable", "1", "REG_DWORD")
        wine.reg_add(INTERNET_SETTINGS, "ProxyServer", address)
        yield
    finally:
        for name in names:
            if before[name] is None:
                wine.reg_delete(INTERNET_SETTINGS, name)
        if before["ProxyEnable"] is not None:
            wine.reg_add(INTERNET_SETTINGS, "ProxyEnable", str(int(before["ProxyEnable"], 16)),
                         "REG_DWORD")
        if before["ProxyServer"] is not None:
            wine.reg_add(INTERNET_SETTINGS, "ProxyServer", before["ProxyServer"])
