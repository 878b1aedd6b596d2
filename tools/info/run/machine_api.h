// The questions falwick-info run asks Windows about the machine beside Falwick's own run:
// the program's signature, the program that opens https links, a directory's access list,
// and the start of a file. Answered by Windows (Win32MachineApi: wintrust, shlwapi,
// advapi32; linked into falwick-info.exe only, Falwick.EXE asks none of this) or, in the
// tests, by a fake; what the answers mean is decided portably (machine_check.h,
// directory_access.h).
#pragma once

#include <cstddef>
#include <string>

#include "tools/info/run/directory_access.h"

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
