#include "tools/info/run/machine_check.h"

// clang-format off: windows.h first
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shlwapi.h>
#include <softpub.h>
#include <wintrust.h>
// clang-format on

#include <memory>
#include <vector>

#include "platform/files_win.h"
#include "tools/info/file/file_bytes.h"

namespace {

// Memory that Windows allocated for the caller (LocalAlloc), freed when it goes.
using LocalMemory = std::unique_ptr<void, decltype(&LocalFree)>;

std::string SidText(PSID sid) {
  char* text = nullptr;
  if (sid == nullptr || !ConvertSidToStringSidA(sid, &text)) return std::string();
  const LocalMemory owned(text, &LocalFree);
  return std::string(text);
}

// "DOMAIN\name" for a SID of an account. Well-known SIDs are named by the portable part,
// so their (localised) names are not asked for.
std::string AccountName(PSID sid) {
  char name[256];
  char domain[256];
  DWORD nameSize = sizeof name;
  DWORD domainSize = sizeof domain;
  SID_NAME_USE use;
  if (!LookupAccountSidA(nullptr, sid, name, &nameSize, domain, &domainSize, &use)) {
    return std::string();
  }
  return domainSize > 0 ? std::string(domain) + "\\" + name : std::string(name);
}

}  // namespace

long Win32MachineApi::VerifySignature(const std::string& path) const {
  const std::u16string wide = Win32PathNames().FromAnsi(path);
  WINTRUST_FILE_INFO file = {};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = reinterpret_cast<const wchar_t*>(wide.c_str());
  WINTRUST_DATA data = {};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  // Revocation as the loader and Smart App Control check it: the whole chain but the root,
  // which is trusted by being in the store. Windows may fetch a CRL or ask an OCSP server
  // here; off line that ends in CRYPT_E_REVOCATION_OFFLINE, reported as such.
  data.fdwRevocationChecks = WTD_REVOKE_WHOLECHAIN;
  data.dwProvFlags = WTD_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  // INVALID_HANDLE_VALUE: no user to ask, whatever the policy says.
  const HWND noUser = static_cast<HWND>(INVALID_HANDLE_VALUE);
  const LONG result = WinVerifyTrust(noUser, &action, &data);
  // The state the verification kept must be released with a second call.
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  (void)WinVerifyTrust(noUser, &action, &data);
  return result;
}

std::string Win32MachineApi::AssociatedProgram(const std::string& association,
                                               bool protocol) const {
  // With ASSOCF_IS_PROTOCOL the shell answers for the scheme with the user's choice
  // (UserChoice under the URL association), as it does for a file type; without it a
  // scheme would be read as a class name and the user's choice ignored.
  ASSOCF flags = ASSOCF_NOTRUNCATE | (protocol ? ASSOCF_IS_PROTOCOL : 0);
  std::vector<char> program(MAX_PATH * 4);
  DWORD size = static_cast<DWORD>(program.size());
  if (AssocQueryStringA(flags, ASSOCSTR_EXECUTABLE, association.c_str(), "open", program.data(),
                        &size) != S_OK) {
    return std::string();
  }
  return std::string(program.data());
}

std::string Win32MachineApi::LongPath(const std::string& path) const {
  // The answer's length with its NUL when the buffer is too small, without it when it
  // fits, 0 on failure.
  std::vector<char> buffer(MAX_PATH);
  DWORD length = GetLongPathNameA(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length >= buffer.size()) {
    buffer.resize(length);
    length = GetLongPathNameA(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
  }
  if (length == 0 || length >= buffer.size()) return path;
  return std::string(buffer.data(), length);
}

DirectoryAccess Win32MachineApi::ReadAccess(const std::string& path) const {
  DirectoryAccess access;
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD result = GetNamedSecurityInfoA(
      path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
      &owner, nullptr, &dacl, nullptr, &descriptor);
  if (result != ERROR_SUCCESS) {
    access.error = static_cast<long>(result);
    return access;
  }
  const LocalMemory owned(descriptor, &LocalFree);  // owner and dacl point into it
  access.read = true;
  access.owner = SidText(owner);
  if (owner != nullptr) access.ownerName = AccountName(owner);
  if (dacl == nullptr) {
    access.nullDacl = true;
    return access;
  }
  ACL_SIZE_INFORMATION size = {};
  if (!GetAclInformation(dacl, &size, sizeof size, AclSizeInformation)) return access;
  for (DWORD i = 0; i < size.AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(dacl, i, &ace)) continue;
    const auto* header = static_cast<const ACE_HEADER*>(ace);
    // Allowed and denied ACEs share one layout: header, mask, SID. Object and callback
    // ACEs hardly occur on files; they are left out.
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE && header->AceType != ACCESS_DENIED_ACE_TYPE) {
      continue;
    }
    auto* entry = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    PSID sid = &entry->SidStart;
    access.entries.push_back({header->AceType == ACCESS_ALLOWED_ACE_TYPE, entry->Mask,
                              header->AceFlags, SidText(sid), AccountName(sid)});
  }
  return access;
}

std::string Win32MachineApi::CurrentUserSid() const {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return std::string();
  const std::unique_ptr<void, decltype(&CloseHandle)> owned(token, &CloseHandle);
  DWORD size = 0;
  (void)GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  if (size == 0) return std::string();
  std::vector<unsigned char> buffer(size);
  if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return std::string();
  return SidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

std::string Win32MachineApi::FileStart(const std::string& path, size_t count) const {
  std::string error;
  return ReadFileBytes(path, count, error).value_or(std::string());
}
