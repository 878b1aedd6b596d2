"""Falwick.EXE on a machine that is off line: run under `unshare -n`, in a network
namespace that has nothing but loopback. A local server runs inside the namespace too,
so that any request would be seen; Wine's session is started inside the namespace, from
a prefix of its own (a copy: harness.wine.copy_prefix), because Wine decides about
connectivity in that session's services.

run() starts this module in the namespace: python3 -m harness.offline PREFIX EXE_DIR
MODE RESULT_JSON [INFO_TOOL]."""

import json
import os
import subprocess
import sys
from pathlib import Path

from harness import sample
from harness.info_tool import InfoTool
from harness.programs import ROOT
from harness.server import LocalServer
from harness.wine import Wine, base_environment


def run(prefix, program_dir, mode, result, info_tool=None):
    """Runs the Falwick.EXE in `program_dir` off line in the mode, against the sample
    release; returns {"exit_code", "requests" (the paths the namespace's server was
    asked for), "files" (the program directory's, sorted)}. `result`: a scratch file.
    With `info_tool` (falwick-info.exe), its dry run of the same command line goes
    first: "tool_status" and "tool_report" (its JSON)."""
    env = dict(os.environ, PYTHONPATH=str(ROOT), PYTHONDONTWRITEBYTECODE="1")
    extra = [] if info_tool is None else [str(info_tool)]
    subprocess.run(["unshare", "-n", sys.executable, "-m", "harness.offline", str(prefix),
                    str(program_dir), mode, str(result), *extra], check=True, env=env,
                   timeout=300)
    outcome = json.loads(Path(result).read_text())
    outcome["files"] = sorted(os.listdir(program_dir))
    return outcome


def main():
    prefix, program_dir, mode, result_path = sys.argv[1:5]
    info_tool = sys.argv[5] if len(sys.argv) > 5 else None
    outcome = {}
    subprocess.run(["ip", "link", "set", "lo", "up"], check=True)
    # A wineserver started outside the namespace would answer for the network outside.
    subprocess.run(["wineserver", "-k"], env=base_environment(prefix),
                   stderr=subprocess.DEVNULL)
    with LocalServer() as server:
        server.serve("/info.txt", sample.MUCH_NEWER)
        tokens = sample.tokens(server, mode=mode, download_url=server.url("/download.htm"))
        wine = Wine(prefix)
        try:
            if info_tool is not None:
                outcome["tool_status"], outcome["tool_report"] = InfoTool(wine, info_tool).dry_run(
                    sample.command_line(tokens), "--dir", wine.windows_path(program_dir))
            code, _ = wine.run(Path(program_dir) / "Falwick.EXE", sample.command_line(tokens))
        finally:
            wine.close()
        requests = [request.path for request in server.requests]
    outcome.update(exit_code=code, requests=requests)
    with open(result_path, "w") as result:
        json.dump(outcome, result)


if __name__ == "__main__":
    main()
