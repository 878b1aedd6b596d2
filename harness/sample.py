"""The sample host product every run plays unless told otherwise, the info files it is
served, and Falwick's command line of nine bracketed tokens built from them."""

PRODUCT = "Writer"
INSTALLED = "3.0.012"  # version 3.0, build 12

# Info files, by what they announce to the installed version.
NOT_NEWER = b"VERSION=3.0\r\nBUILD=12\r\n"  # the installed version itself
NEWER = b"VERSION=3.5\r\nBUILD=14\r\n"  # the sample release, shown as 3.0.014
MUCH_NEWER = b"VERSION=9.0\r\nBUILD=1\r\n"  # shown as 9.0.001: a whole version ahead

# The host's settings file as the host leaves it before any run: the key is not there.
HOST_SETTINGS = (b"[Options]\r\nLanguage=English\r\nAutoSave=1\r\n\r\n"
                 b"[Window]\r\nLeft=10\r\nTop=20\r\n")

# Nothing listens on port 9 (discard): a URL there is never fetched by accident.
UNREACHABLE = "http://127.0.0.1:9"

TOKEN_NAMES = ("product", "mode", "info_url", "info_file", "installed",
               "settings_file", "section", "key", "download_url")

DEFAULTS = {
    "product": PRODUCT,
    "mode": "PU",
    "info_url": UNREACHABLE + "/info.txt",
    "info_file": "info.txt",
    "installed": INSTALLED,
    "settings_file": "writer.ini",
    "section": "Options",
    "key": "NoUpdateCheck",
    "download_url": UNREACHABLE + "/download page.htm",
}


def tokens(server=None, path="/info.txt", **values):
    """The nine tokens in order: the defaults, the info URL on `server` (at `path`) when
    one is given, and `values` by token name over both."""
    chosen = dict(DEFAULTS)
    if server is not None:
        chosen["info_url"] = server.url(path)
    unknown = set(values) - set(TOKEN_NAMES)
    if unknown:
        raise TypeError("no such token: %s" % ", ".join(sorted(unknown)))
    chosen.update(values)
    return [chosen[name] for name in TOKEN_NAMES]


def command_line(tokens):
    """The argument string of Falwick.EXE: each token in angle brackets, nothing else."""
    return "".join("<%s>" % token for token in tokens)
