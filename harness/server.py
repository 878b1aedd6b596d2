"""A local HTTP server on 127.0.0.1 (random port) that answers from a scenario and
records every request.

A scenario maps a path to a Response. Besides plain answers, a Response can misbehave
the way broken or hostile servers do: chunked bodies, bodies cut off or reset mid-way,
trickling, stalling before the headers or in the middle of the body, redirects, and very
large bodies generated while they are sent. With `tls` the server speaks https only."""

import socket
import socketserver
import ssl
import struct
import sys
import threading
import time
from dataclasses import dataclass, field
from http.server import BaseHTTPRequestHandler


@dataclass
class Response:
    body: bytes = b""
    status: int = 200
    headers: dict = field(default_factory=dict)
    chunked: bool = False
    # Misbehaviour: "cut" closes after cut_after body bytes (despite Content-Length);
    # "reset" sends an RST there; "stall" stops sending there and keeps the connection;
    # "stall_headers" never answers; "trickle" sends one byte every trickle_interval s.
    behaviour: str = ""
    cut_after: int = 0
    trickle_interval: float = 1.0
    # A body generated while it is sent: `stream()` yields the bytes in pieces and
    # `length` is announced as Content-Length (used instead of `body` when set).
    stream: object = None
    length: int = 0
    # For "cut", "reset" and "stall": send the first pause_after bytes, wait `pause`
    # seconds (so that they arrive on their own), then the rest up to cut_after.
    pause_after: int = 0
    pause: float = 0.0


def response(body=b"", **kwargs):
    """A Response; a str body is taken as Latin-1."""
    if isinstance(body, str):
        body = body.encode("latin-1")
    return Response(body, **kwargs)


@dataclass
class Request:
    method: str
    path: str
    user_agent: str
    headers: dict


class _Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_GET(self):
        server = self.server.owner
        server.record(Request("GET", self.path, self.headers.get("User-Agent", ""),
                              dict(self.headers.items())))
        response = server.scenario.get(self.path.split("?")[0])
        if response is None:
            response = Response(b"<html><body>404 Not Found</body></html>", 404,
                                {"Content-Type": "text/html"})
        self._answer(response, server)

    def _answer(self, response, server):
        if response.behaviour == "stall_headers":
            server.stalled.wait()
            return
        self.send_response(response.status)
        for name, value in response.headers.items():
            self.send_header(name, value)
        body = response.body
        if response.chunked:
            self.send_header("Transfer-Encoding", "chunked")
        else:
            length = response.length if response.stream is not None else len(body)
            self.send_header("Content-Length", str(length))
        self.end_headers()
        self.wfile.flush()

        if response.stream is not None:
            try:
                for piece in response.stream():
                    self.wfile.write(piece)
            except OSError:
                pass  # the client went away before the end: expected of large bodies
            self.close_connection = True
            return
        if response.chunked:
            for start in range(0, len(body), 1000):
                piece = body[start:start + 1000]
                self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
            self.wfile.write(b"0\r\n\r\n")
        elif response.behaviour in ("cut", "reset", "stall"):
            first = min(response.pause_after, response.cut_after)
            if first:
                self.wfile.write(body[:first])
                self.wfile.flush()
                time.sleep(response.pause)
            self.wfile.write(body[first:response.cut_after])
            self.wfile.flush()
            if response.behaviour == "stall":
                server.stalled.wait()
            elif response.behaviour == "reset":
                # SO_LINGER with a zero time-out: close() sends RST instead of FIN.
                self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                           struct.pack("ii", 1, 0))
            self.close_connection = True
            return
        elif response.behaviour == "trickle":
            for i in range(len(body)):
                if server.stalled.is_set():
                    break
                self.wfile.write(body[i:i + 1])
                self.wfile.flush()
                time.sleep(response.trickle_interval)
        else:
            self.wfile.write(body)
        self.wfile.flush()


class _ThreadingServer(socketserver.ThreadingMixIn, socketserver.TCPServer):
    daemon_threads = True
    allow_reuse_address = True
    tls = None  # an ssl.SSLContext for https

    def handle_error(self, request, client_address):
        # A client that hangs up before the end of a body (Falwick stops reading after
        # 16 MiB, a run is ended) is expected; anything else is reported.
        if not isinstance(sys.exc_info()[1], (ConnectionError, ssl.SSLError)):
            super().handle_error(request, client_address)

    def finish_request(self, request, client_address):
        self.owner.record_connection()
        # The TLS handshake runs here, in the connection's own thread, so that it never
        # blocks other connections.
        if self.tls is not None:
            try:
                request = self.tls.wrap_socket(request, server_side=True)
            except (ssl.SSLError, OSError):
                return
        super().finish_request(request, client_address)


class LocalServer:
    """Serves `scenario` on 127.0.0.1 at a free port while in a `with` block."""

    def __init__(self, scenario=None, port=0, tls=None, host="127.0.0.1"):
        """`tls`: an ssl.SSLContext (server side) to serve https instead of http.
        `host`: the name its URLs use ("localhost" for https: WinINet matches a
        certificate against DNS names only)."""
        self.scenario = dict(scenario or {})
        self.host = host
        self.requests = []
        self.connections = 0  # accepted, whether a request followed or not
        self.stalled = threading.Event()  # set to release stalled connections
        self._lock = threading.Lock()
        self._server = _ThreadingServer(("127.0.0.1", port), _Handler)
        self._server.owner = self
        self._server.tls = tls
        self._thread = None

    @property
    def port(self):
        return self._server.server_address[1]

    def url(self, path):
        scheme = "https" if self._server.tls is not None else "http"
        return "%s://%s:%d%s" % (scheme, self.host, self.port, path)

    def serve(self, path, body=b"", **kwargs):
        """Answers `path` with response(body, **kwargs)."""
        self.scenario[path] = response(body, **kwargs)

    def record(self, request):
        with self._lock:
            self.requests.append(request)

    def record_connection(self):
        with self._lock:
            self.connections += 1

    def start(self):
        self._thread = threading.Thread(target=self._server.serve_forever, daemon=True)
        self._thread.start()
        return self

    def stop(self):
        self.stalled.set()
        self._server.shutdown()
        self._server.server_close()

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()
