// What falwick-info run finds out about the machine beside Falwick's own run, and the
// findings it gives: a folder or temporary directory the ANSI code page cannot spell, a
// URL it changes, a Falwick.EXE without a valid signature, a .htm program that is not
// the browser for https links, a download URL that the browser would read as several
// arguments, a settings file that starts with a UTF-8 byte-order mark, and a directory
// that users other than the one running Falwick can write. The questions go through a
// MachineApi; every decision here is portable.
#pragma once

#include <string>
#include <vector>

#include "platform/path_spelling.h"
#include "tools/info/report/report.h"
#include "tools/info/run/directory_access.h"
#include "tools/info/run/machine_api.h"

// Where the run's files lie, all full paths.
struct MachinePaths {
  std::string falwickExe;  // DIR\Falwick.EXE
  bool falwickPresent = false;
  std::string infoFile;
  std::string settingsFile;
  std::string settingsSection;  // the section Falwick reads and writes
  // The program Falwick opens the download page with: FindExecutableA's answer for
  // ".htm", as the dry run found it through the program's own DefaultBrowser (empty:
  // none). It is taken from the run rather than asked again, so that the report names
  // the one program Falwick would start; only the https program is asked of the api.
  std::string htmProgram;
  // How Falwick spells its own path and the temporary directory for the ANSI functions,
  // by the program's own rule (platform/files_win.h); the temporary directory's text is
  // empty when none could be had.
  SpelledPath falwickSpelling;
  SpelledPath tempSpelling;
  // The info and download URLs as the host gives them (UTF-16), before the ANSI code
  // page; empty when not known.
  std::u16string infoUrl;
  std::u16string downloadUrl;
};

// A character of a URL that the ANSI code page changes on its way to Falwick.
struct CodePageChange {
  std::string character;  // "U+201C"
  std::string seen;       // what Falwick reads instead: "?" or a look-alike
};

// The characters of `url` that do not come back unchanged from the ANSI code page.
std::vector<CodePageChange> CodePageChanges(const PathNames& names, std::u16string_view url);

// The check: its facts, the report's "machine" step ({"falwick_spelling" and
// "temp_spelling": {"path", "spelling": "as-it-is", "short" or "lossy"} (null for a
// temporary directory that could not be had), "signature": {"result", "verdict": "valid",
// "unsigned", "invalid" or "revocation-unknown"} or null, "htm_program", "https_program",
// "url_splitters" (the characters of the download URL that split it), "settings_bom",
// "directories" (of Falwick.EXE, the info and settings files): [{"path", "read",
// "error", "owner", "writers": [{"sid", "principal", "right", "mask", "applies_to"}]}]},
// with the rows "Falwick spelled", "Temp spelled", "Signature", "https program",
// "Settings start" and "Access" for each directory), and its findings, in the order of
// the members, but the URLs' code page right after the spellings.
struct MachineCheck {
  Fact fact = Fact::Object();
  Findings findings;
};

// Asks `api` and decides. `downloadUrl` is the command line's download URL as given;
// `names` converts to and from the ANSI code page.
MachineCheck CheckMachine(const MachineApi& api, const PathNames& names,
                          const MachinePaths& paths, const std::string& downloadUrl);
