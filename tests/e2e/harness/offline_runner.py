"""Runs Falwick.EXE on a machine that is off line: started by the tests under
`unshare -n`, inside a network namespace that has nothing but loopback. A local server
runs inside the namespace too, so that any request would be seen; Wine's session is
started inside the namespace from a prefix of its own, because Wine decides about
connectivity in that session's services.

Usage: python3 -m harness.offline_runner PREFIX EXE_DIR MODE RESULT_JSON"""

import json
import subprocess
import sys

from harness.falwick import command_line
from harness.server import LocalServer
from harness.wine import base_environment


def main():
    prefix, program_dir, mode, result_path = sys.argv[1:5]
    subprocess.run(["ip", "link", "set", "lo", "up"], check=True)
    env = base_environment(prefix)
    subprocess.run(["wineserver", "-k"], env=env, stderr=subprocess.DEVNULL)
    with LocalServer() as server:
        server.serve("/info.txt", b"VERSION=9.0\r\nBUILD=1\r\n")
        tokens = ["Writer", mode, server.url("/info.txt"), "info.txt", "3.0.012",
                  "writer.ini", "Options", "NoUpdateCheck", server.url("/download.htm")]
        completed = subprocess.run(["wine", program_dir + "/Falwick.EXE", command_line(*tokens)],
                                   env=env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL, timeout=150)
        subprocess.run(["wineserver", "-k"], env=env, stderr=subprocess.DEVNULL)
        requests = [request.path for request in server.requests]
    with open(result_path, "w") as result:
        json.dump({"exit_code": completed.returncode, "requests": requests}, result)


if __name__ == "__main__":
    main()
