// Who besides the user running Falwick may write in a directory, decided from the
// directory's access list given as data (MachineApi reads it on Windows). Falwick runs
// from its directory and trusts what lies there: a folder that other users can write lets
// them replace Falwick.EXE or put a DLL beside it, and the code then runs as the next user
// who starts the host.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Access-mask bits that let a holder change what a directory (or a file in it) holds.
namespace access_mask {
constexpr uint32_t kAddFile = 0x0002;          // FILE_ADD_FILE (FILE_WRITE_DATA on a file)
constexpr uint32_t kAddSubdirectory = 0x0004;  // FILE_ADD_SUBDIRECTORY (FILE_APPEND_DATA)
constexpr uint32_t kDeleteChild = 0x0040;      // FILE_DELETE_CHILD
constexpr uint32_t kDelete = 0x00010000;       // DELETE
constexpr uint32_t kWriteDac = 0x00040000;     // WRITE_DAC
constexpr uint32_t kWriteOwner = 0x00080000;   // WRITE_OWNER
constexpr uint32_t kGenericAll = 0x10000000;   // GENERIC_ALL
constexpr uint32_t kGenericWrite = 0x40000000;  // GENERIC_WRITE
constexpr uint32_t kFileAllAccess = 0x001F01FF;  // FILE_ALL_ACCESS ("full control")
}  // namespace access_mask

// AceFlags of an ACE header.
namespace ace_flag {
constexpr uint8_t kObjectInherit = 0x01;     // OBJECT_INHERIT_ACE: files created in it get it
constexpr uint8_t kContainerInherit = 0x02;  // CONTAINER_INHERIT_ACE
constexpr uint8_t kInheritOnly = 0x08;       // INHERIT_ONLY_ACE: not for the directory itself
}  // namespace ace_flag

// One entry of a discretionary access list, in the list's order.
struct AccessEntry {
  bool allow = true;  // ACCESS_ALLOWED_ACE_TYPE; false: ACCESS_DENIED_ACE_TYPE
  uint32_t mask = 0;
  uint8_t flags = 0;  // ace_flag bits
  std::string sid;    // "S-1-5-32-545"
  std::string name;   // the account's name when it could be looked up ("DOMAIN\\user")
};

// A directory's security descriptor as far as the decision needs it.
struct DirectoryAccess {
  bool read = false;  // false: the descriptor could not be read (`error` says why)
  long error = 0;     // GetNamedSecurityInfoA's result
  bool nullDacl = false;  // no access list at all: everyone may do everything
  std::string owner;      // the owner's SID
  std::string ownerName;  // its account name, when known
  std::vector<AccessEntry> entries;  // ACEs of other types are left out
};

// Someone other than the running user who may write there.
struct OtherWriter {
  std::string sid;
  std::string principal;  // "Users", "Everyone", "another user DOMAIN\\bob (S-1-5-21-...)"
  std::string right;      // "full control", "modify", "write", "change permissions", ...
  uint32_t mask = 0;      // the writing bits granted
  bool filesOnly = false;  // granted only on files created in the directory (inherit-only)
  bool owner = false;      // as the directory's owner, who may always change its access list
};

// The SIDs that may write without harm: the running user (`selfSid`), Administrators,
// SYSTEM, TrustedInstaller, and CREATOR OWNER (a placeholder that becomes the creator of
// each new file). Everyone else holding a writing bit is listed, in the access list's
// order, one entry per SID and scope. An ACE counts for the directory unless it is
// inherit-only, and for the files created in it when it is inherit-only with
// OBJECT_INHERIT. Windows decides each bit by the first ACE in the list that names it for
// the caller: a deny ACE for the same SID, Everyone or Authenticated Users takes its bits
// away from the allow ACEs after it, not from those before it. A directory with no
// access list (nullDacl) is writable by Everyone; an owner who is not one of the harmless
// SIDs may always rewrite the list. Nothing is listed when the descriptor was not read.
std::vector<OtherWriter> OtherWriters(const DirectoryAccess& access, const std::string& selfSid);
