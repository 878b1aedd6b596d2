"""Falwick.EXE on a machine that is off line: run under `unshare -n`, in a network
namespace that has nothing but loopback. A local server runs inside the namespace too,
so that any request would be seen; Wine's session is started inside the namespace, from
a prefix of its own (a copy: harness.wine.copy_prefix), because Wine decides about
connectivity in that session's services.

run() lays out the program directory and starts this module in the namespace:
python3 -m harness.offline PREFIX PROGRAM_DIR MODE WORK_DIR [INFO_TOOL]."""

import json
import os
import subprocess
import sys
from pathlib import Path

from harness import sample
from harness.falwick import ProgramDirectory
from harness.info_tool import InfoTool
from harness.programs import ROOT
from harness.runs import Case, Runner
from harness.server import LocalServer
from harness.wine import Wine, base_environment


def run(prefix, exe, work, mode, info_tool=None):
    """Runs `exe` as Falwick.EXE in a program directory of its own under `work`, off
    line, in the mode, against the sample release; returns {"exit_code", "requests"
    (the paths the namespace's server was asked for), "files" (the program directory's,
    sorted)}. With `info_tool` (falwick-info.exe), its dry run of the same command line
    goes first: "tool_status" and "tool_report" (its JSON)."""
    program = ProgramDirectory(Path(work) / "Program Files" / "Writer", exe)
    env = dict(os.environ, PYTHONPATH=str(ROOT), PYTHONDONTWRITEBYTECODE="1")
    extra = [] if info_tool is None else [str(info_tool)]
    subprocess.run(["unshare", "-n", sys.executable, "-m", "harness.offline", str(prefix),
                    str(program.path), mode, str(work), *extra], check=True, env=env,
                   timeout=300)
    outcome = json.loads((Path(work) / "offline.json").read_text())
    outcome["files"] = sorted(program.files())
    return outcome


def main():
    prefix, program_dir, mode, work = sys.argv[1:5]
    program_dir, work = Path(program_dir), Path(work)
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
                report = InfoTool(wine, info_tool).dry_run(
                    sample.command_line(tokens), "--dir", wine.windows_path(program_dir))
                outcome["tool_status"], outcome["tool_report"] = report.status, report.data
            runner = Runner(wine, work / "runs", program_dir / "Falwick.EXE")
            run = runner.run("offline", Case(program=ProgramDirectory(program_dir, None),
                                             server=server,
                                             command_line=sample.command_line(tokens)),
                             actions=None)
        finally:
            wine.close()
        requests = [request.path for request in server.requests]
    outcome.update(exit_code=run.exit_code, requests=requests)
    (work / "offline.json").write_text(json.dumps(outcome))


if __name__ == "__main__":
    main()
