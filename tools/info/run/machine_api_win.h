// The machine's answers from Windows: WinVerifyTrust (wintrust), AssocQueryStringA
// (shlwapi), GetNamedSecurityInfoA with the access list walked into data (advapi32).
// Linked into falwick-info.exe only; Falwick.EXE asks none of this.
#pragma once

#include "tools/info/run/machine_api.h"

class Win32MachineApi final : public MachineApi {
 public:
  long VerifySignature(const std::string& path) const override;
  std::string AssociatedProgram(const std::string& association, bool protocol) const override;
  std::string LongPath(const std::string& path) const override;
  DirectoryAccess ReadAccess(const std::string& path) const override;
  std::string CurrentUserSid() const override;
  std::string FileStart(const std::string& path, size_t count) const override;
};
