// falwick-info run [--dir DIR] [--json] COMMAND-LINE (Windows build): Falwick's own run for
// the host's COMMAND-LINE, on this machine, as a dry run. It prints every step with what it
// found and, last, the outcome. Exit status: 0 when Falwick would show the notice or open
// the download page, 1 when it would show nothing, 2 for bad usage.
#pragma once

int RunCommand(int argc, char** argv);
