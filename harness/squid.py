"""Debian's squid as the office proxy of the tests: started on 127.0.0.1 at a free port
with a configuration of its own (cache, logs, pid file and password file in a private
directory; nothing under /etc/squid, no system service), stopped by its process id. Its
access log says what it was asked and how it answered.

The proxy forwards http, tunnels https (CONNECT to any port, the test servers' ports
being high), asks for credentials (407, Basic, checked by squid's basic_ncsa_auth
against a private password file) for requests to one site, answers with its own error
page when an origin is down, and caches as Debian's squid does out of the box (the
packaged refresh_pattern lines: an answer without Cache-Control or Expires stays fresh
for 20 % of the time since its Last-Modified, at most three days).

StaleCopy is the caching-proxy scenario: a release squid keeps answering from its cache
after a newer one has been published."""

import base64
import email.utils
import http.client
import itertools
import logging
import os
import pwd
import shutil
import signal
import socket
import subprocess
import time
from dataclasses import dataclass

from harness.server import LocalServer

SQUID = "/usr/sbin/squid"
BASIC_AUTH_HELPER = "/usr/lib/squid/basic_ncsa_auth"
# Requests to this site need the proxy's credentials; squid resolves it (and localhost)
# from the private hosts file to 127.0.0.1.
MEMBERS_SITE = "members.localhost"
USER, PASSWORD = "office", "falwick-proxy-test"
HOSTNAME = "office-proxy"  # squid's name in Via and X-Cache
# Squid refuses to run as root; started by root, it runs as Debian's proxy user.
RUN_AS = "proxy"

_names = itertools.count()

CONFIG = """\
http_port 127.0.0.1:{port}
visible_hostname {hostname}
pid_filename {dir}/squid.pid
cache_log {dir}/cache.log
logformat falwick %ts.%03tu %6tr %>a %Ss/%03>Hs %<st %rm %ru %[un %Sh/%<a %mt "%{{User-Agent}}>h"
access_log stdio:{dir}/access.log falwick
buffered_logs off
cache_store_log none
logfile_rotate 0
netdb_filename none
coredump_dir {dir}
cache_mem 8 MB
hosts_file {dir}/hosts
dns_nameservers 127.0.0.1
pinger_enable off
shutdown_lifetime 0 seconds
{user}

auth_param basic program {helper} {dir}/passwd
auth_param basic realm Office proxy
auth_param basic children 1 startup=1 idle=1
acl signed_in proxy_auth REQUIRED
acl members dstdomain -n {members}
http_access deny members !signed_in
http_access allow localhost
http_access deny all

# As Debian's /etc/squid/squid.conf
refresh_pattern ^ftp:		1440	20%	10080
refresh_pattern -i (/cgi-bin/|\\?) 0	0%	0
refresh_pattern .		0	20%	4320
"""


@dataclass
class LogEntry:
    """One line of the access log (squid's native format with the User-Agent)."""
    time: float
    result: str  # squid's result code: TCP_MISS, TCP_MEM_HIT, TCP_DENIED, TCP_TUNNEL, ...
    status: int  # the status sent to the client (0: none, the client went away)
    method: str
    url: str  # "http://127.0.0.1:8000/info.txt", or "localhost:8443" for CONNECT
    user: str  # "-" unless credentials were given
    hierarchy: str  # HIER_DIRECT/127.0.0.1 (asked the origin), HIER_NONE/- (did not)
    user_agent: str
    line: str


def parse_line(line):
    head, _, agent = line.partition(' "')
    stamp, _elapsed, _client, code, _size, method, url, user, hierarchy, _type = head.split()
    result, _, status = code.partition("/")
    return LogEntry(float(stamp), result, int(status), method, url, user, hierarchy,
                    agent.rstrip().rstrip('"'), line)


def _free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Squid:
    """squid on 127.0.0.1 while in a `with` block, its files in `directory` (made anew)."""

    def __init__(self, directory):
        self.directory = directory
        self.port = None
        self.process = None
        self.startup_seconds = None
        # The service name keeps this instance's shared memory apart from any other squid.
        self.name = "falwick%dx%d" % (os.getpid(), next(_names))

    @property
    def address(self):
        return "127.0.0.1:%d" % self.port

    @property
    def access_log_path(self):
        return self.directory / "access.log"

    def _write_files(self):
        if self.directory.exists():
            shutil.rmtree(self.directory)
        self.directory.mkdir(parents=True)
        (self.directory / "hosts").write_text("127.0.0.1 localhost %s\n" % MEMBERS_SITE)
        hashed = subprocess.run(["openssl", "passwd", "-apr1", PASSWORD], check=True,
                                capture_output=True, text=True).stdout.strip()
        (self.directory / "passwd").write_text("%s:%s\n" % (USER, hashed))
        user = ""
        if os.geteuid() == 0:
            user = "cache_effective_user " + RUN_AS
        (self.directory / "squid.conf").write_text(CONFIG.format(
            port=self.port, hostname=HOSTNAME, dir=self.directory, user=user,
            helper=BASIC_AUTH_HELPER, members=MEMBERS_SITE))
        if os.geteuid() == 0:
            # The directory is the proxy user's alone: squid writes its logs there.
            account = pwd.getpwnam(RUN_AS)
            for path in [self.directory, *self.directory.iterdir()]:
                os.chown(path, account.pw_uid, account.pw_gid)
            self.directory.chmod(0o700)

    def start(self, attempts=3):
        for attempt in range(1, attempts + 1):
            self.port = _free_port()
            self._write_files()
            started = time.monotonic()
            with open(self.directory / "console.log", "wb") as console:
                self.process = subprocess.Popen(
                    [SQUID, "-N", "-n", self.name, "-f", str(self.directory / "squid.conf")],
                    stdin=subprocess.DEVNULL, stdout=console, stderr=console,
                    start_new_session=True)
            if self._wait_until_listening():
                self.startup_seconds = time.monotonic() - started
                return self
            self.process.wait()
            # Shown in the suite's output as it happens, like a repeated Wine start.
            logging.getLogger("harness.squid").warning(
                "squid on port %d ended after %.3f s with code %s%s:\n%s%s",
                self.port, time.monotonic() - started, self.process.returncode,
                ", started again" if attempt < attempts else "",
                (self.directory / "console.log").read_text(errors="replace"),
                self.cache_log()[-2000:])
        console = (self.directory / "console.log").read_text(errors="replace")
        raise RuntimeError("squid did not start:\n" + console + self.cache_log()[-2000:])

    def _wait_until_listening(self, timeout=30):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                return False  # the port was taken meanwhile, or a fault: see cache.log
            if "Accepting HTTP Socket connections" in self.cache_log():
                return True
            time.sleep(0.02)
        self.stop()
        return False

    def cache_log(self):
        try:
            return (self.directory / "cache.log").read_text(errors="replace")
        except OSError:
            return ""

    def stop(self):
        """Ends squid by its process id (SIGTERM: it closes its logs and shared memory)."""
        if self.process is None or self.process.poll() is not None:
            return
        self.process.send_signal(signal.SIGTERM)
        try:
            self.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        for leftover in ("/dev/shm/%s-%s" % (self.name, part)
                         for part in ("cf__metadata.shm", "cf__queues.shm", "cf__readers.shm")):
            if os.path.exists(leftover):
                os.remove(leftover)

    def access_log(self):
        """Every request answered so far, in order."""
        try:
            text = self.access_log_path.read_text(encoding="latin-1")
        except FileNotFoundError:
            return []
        return [parse_line(line) for line in text.splitlines() if line.strip()]

    def get(self, url, user_agent, credentials=None):
        """A GET of `url` through the proxy, as a client set to use it would send it:
        (status, [(header, value)], body)."""
        headers = {"User-Agent": user_agent}
        if credentials is not None:
            headers["Proxy-Authorization"] = "Basic " + base64.b64encode(
                ("%s:%s" % credentials).encode()).decode()
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=30)
        try:
            connection.request("GET", url, headers=headers)
            answer = connection.getresponse()
            return answer.status, answer.getheaders(), answer.read()
        finally:
            connection.close()

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()


def http_date(seconds_ago):
    return email.utils.formatdate(time.time() - seconds_ago, usegmt=True)


class StaleCopy:
    """An origin (a LocalServer at `path`) that publishes `old` with a Last-Modified a
    day old and no Cache-Control, as most static hosting does, behind `squid`. Once the
    old file has been fetched through squid (by Falwick, or by `prime`), `publish(new)`
    puts a newer one in its place: squid keeps answering with the old one from its cache
    without asking the origin (for about 20 % of a day)."""

    DAY = 24 * 3600

    def __init__(self, squid, old, path="/info.txt"):
        self.squid, self.path = squid, path
        self.origin = LocalServer().start()
        self.origin.serve(path, old, headers={"Last-Modified": http_date(self.DAY),
                                              "Content-Type": "text/plain"})

    @property
    def url(self):
        return self.origin.url(self.path)

    def prime(self, user_agent):
        """Fetches the file through squid once, so that squid keeps it."""
        status, _, _ = self.squid.get(self.url, user_agent)
        assert status == 200, status

    def publish(self, new):
        """The newer file, modified now, in the old one's place on the origin."""
        self.origin.serve(self.path, new, headers={"Last-Modified": http_date(0),
                                                   "Content-Type": "text/plain"})

    def origin_requests(self):
        return list(self.origin.requests)

    def entries(self):
        """squid's access log entries for the file."""
        return [entry for entry in self.squid.access_log() if entry.url == self.url]

    def through_proxy(self, user_agent):
        """What squid answers for the file now: (status, {header: value}, body)."""
        status, headers, body = self.squid.get(self.url, user_agent)
        return status, dict(headers), body

    def close(self):
        self.origin.stop()
