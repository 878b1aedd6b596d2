// What falwick-info run finds out about the machine beside Falwick's own run, and the
// findings it gives: a folder or temporary directory the ANSI code page cannot spell, a
// URL it changes, a Falwick.EXE without a valid signature, a .htm program that is not
// the browser for https links, a download URL that the browser would read as several
// arguments, a settings file that starts with a UTF-8 byte-order mark, and a directory
// that users other than the one running Falwick can write. The questions go through a
// MachineApi; every decision here is portable.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/path_spelling.h"
#include "tools/info/report/report.h"
#include "tools/info/run/directory_access.h"

// The questions asked of Windows: the program's signature, the program that opens https
// links, a directory's access list, the start of a file. Answered by Win32MachineApi
// (wintrust, shlwapi, advapi32: falwick-info.exe only, Falwick.EXE asks none of this) or,
// in the tests, by a fake.
class MachineApi {
 public:
  virtual ~MachineApi() = default;

  // WinVerifyTrust's result for the Authenticode signature of the file `path`
  // (WINTRUST_ACTION_GENERIC_VERIFY_V2, no user interface, revocation checked for the
  // whole chain but its root): 0 for a valid signature, else the HRESULT it returned
  // (TRUST_E_NOSIGNATURE 0x800B0100 for an unsigned file).
  virtual long VerifySignature(const std::string& path) const = 0;

  // The program that opens `association` for the current user, as AssocQueryStringA
  // finds it with ASSOCSTR_EXECUTABLE and the "open" verb: a file type (".htm") or, with
  // `protocol`, a URL scheme ("https"). Empty when there is none.
  virtual std::string AssociatedProgram(const std::string& association, bool protocol) const = 0;

  // `path` with every short (8.3) name in it spelled out, as GetLongPathNameA gives it;
  // `path` unchanged when it names no file or cannot be lengthened. FindExecutableA may
  // answer in short names where AssocQueryStringA answers in long ones.
  virtual std::string LongPath(const std::string& path) const = 0;

  // The owner and access list of the directory `path` (without a trailing backslash).
  virtual DirectoryAccess ReadAccess(const std::string& path) const = 0;

  // The SID of the user running the tool ("S-1-5-21-..."); empty when unknown.
  virtual std::string CurrentUserSid() const = 0;

  // Up to `count` bytes from the start of the file `path`; empty when it cannot be read.
  virtual std::string FileStart(const std::string& path, size_t count) const = 0;
};

#ifdef _WIN32
class Win32MachineApi final : public MachineApi {
 public:
  long VerifySignature(const std::string& path) const override;
  std::string AssociatedProgram(const std::string& association, bool protocol) const override;
  std::string LongPath(const std::string& path) const override;
  DirectoryAccess ReadAccess(const std::string& path) const override;
  std::string CurrentUserSid() const override;
  std::string FileStart(const std::string& path, size_t count) const override;
};
#endif

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

// The check: the report's "machine" step (docs/diagnosing.md), and its findings in the
// order of the step's members, but the URLs' code page right after the spellings.
struct MachineCheck {
  Fact fact = Fact::Object();
  Findings findings;
};

// Asks `api` and decides. `downloadUrl` is the command line's download URL as given;
// `names` converts to and from the ANSI code page.
MachineCheck CheckMachine(const MachineApi& api, const PathNames& names,
                          const MachinePaths& paths, const std::string& downloadUrl);
