#include "tools/info/run/directory_access.h"

#include <algorithm>
#include <array>

namespace {

constexpr const char* kEveryone = "S-1-1-0";
constexpr const char* kAuthenticatedUsers = "S-1-5-11";
constexpr uint32_t kFileGenericWrite = 0x00120116;  // FILE_GENERIC_WRITE

// Writing bits once generic rights are mapped to the file ones.
constexpr uint32_t kWritingBits = access_mask::kAddFile | access_mask::kAddSubdirectory |
                                  access_mask::kDeleteChild | access_mask::kDelete |
                                  access_mask::kWriteDac | access_mask::kWriteOwner;

struct KnownSid {
  const char* sid;
  const char* name;
  bool harmless;
};

// TrustedInstaller is NT SERVICE\TrustedInstaller's service SID.
constexpr std::array<KnownSid, 13> kKnownSids = {{
    {"S-1-1-0", "Everyone", false},
    {"S-1-5-11", "Authenticated Users", false},
    {"S-1-5-32-545", "Users", false},
    {"S-1-5-4", "INTERACTIVE", false},
    {"S-1-5-32-546", "Guests", false},
    {"S-1-5-32-547", "Power Users", false},
    {"S-1-5-7", "ANONYMOUS LOGON", false},
    {"S-1-5-2", "NETWORK", false},
    {"S-1-5-32-544", "Administrators", true},
    {"S-1-5-18", "SYSTEM", true},
    {"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", "TrustedInstaller", true},
    {"S-1-3-0", "CREATOR OWNER", true},
    {"S-1-3-4", "OWNER RIGHTS", true},  // the owner, judged as the owner
}};

const KnownSid* Known(const std::string& sid) {
  for (const KnownSid& known : kKnownSids) {
    if (sid == known.sid) return &known;
  }
  return nullptr;
}

bool Harmless(const std::string& sid, const std::string& self) {
  const KnownSid* known = Known(sid);
  return sid == self || (known != nullptr && known->harmless);
}

// Generic rights as the file system maps them, so that a deny of one file right and an
// allow of GENERIC_WRITE meet on the same bits.
uint32_t MapGeneric(uint32_t mask) {
  uint32_t mapped = mask & access_mask::kFileAllAccess;
  if ((mask & access_mask::kGenericAll) != 0) mapped |= access_mask::kFileAllAccess;
  if ((mask & access_mask::kGenericWrite) != 0) mapped |= kFileGenericWrite;
  return mapped;
}

enum class Scope { kDirectory, kNewFiles };

bool AppliesTo(const AccessEntry& entry, Scope scope) {
  if (scope == Scope::kDirectory) return (entry.flags & ace_flag::kInheritOnly) == 0;
  return (entry.flags & ace_flag::kObjectInherit) != 0;
}

// The rights `sid` holds in `scope`: each bit decided by the first entry that names it
// for `sid` (its own entries, and denials of groups every user belongs to).
uint32_t Granted(const std::vector<AccessEntry>& entries, const std::string& sid, Scope scope) {
  uint32_t decided = 0;
  uint32_t granted = 0;
  for (const AccessEntry& entry : entries) {
    if (!AppliesTo(entry, scope)) continue;
    const bool names = entry.sid == sid ||
                       (!entry.allow && (entry.sid == kEveryone || entry.sid == kAuthenticatedUsers));
    if (!names) continue;
    const uint32_t bits = MapGeneric(entry.mask) & ~decided;
    if (entry.allow) granted |= bits;
    decided |= bits;
  }
  return granted;
}

// The widest name that `mask`'s writing bits amount to, as the Security tab and icacls
// name them.
std::string WritingRightName(uint32_t mask) {
  const uint32_t mapped = MapGeneric(mask);
  if ((mapped & access_mask::kFileAllAccess) == access_mask::kFileAllAccess) {
    return "full control";
  }
  if ((mapped & access_mask::kWriteDac) != 0) return "change permissions";
  if ((mapped & access_mask::kWriteOwner) != 0) return "take ownership";
  if ((mapped & access_mask::kAddFile) != 0) {
    return (mapped & access_mask::kDelete) != 0 ? "modify" : "write";
  }
  if ((mapped & access_mask::kAddSubdirectory) != 0) return "create folders";
  if ((mapped & access_mask::kDeleteChild) != 0) return "delete files";
  if ((mapped & access_mask::kDelete) != 0) return "delete";
  return "";
}

// "Users", "Everyone", ... for well-known SIDs; for any other, "another user or group
// NAME (SID)" or "... SID".
std::string PrincipalName(const std::string& sid, const std::string& name) {
  if (const KnownSid* known = Known(sid)) return known->name;
  return "another user or group " + (name.empty() ? sid : name + " (" + sid + ")");
}

}  // namespace

std::vector<OtherWriter> OtherWriters(const DirectoryAccess& access, const std::string& selfSid) {
  if (!access.read) return {};
  if (access.nullDacl) return {{kEveryone, "Everyone", "full control", kWritingBits, false, false}};
  std::vector<OtherWriter> writers;
  if (!access.owner.empty() && !Harmless(access.owner, selfSid)) {
    writers.push_back({access.owner, PrincipalName(access.owner, access.ownerName),
                       "change permissions", access_mask::kWriteDac, false, true});
  }
  for (const Scope scope : {Scope::kDirectory, Scope::kNewFiles}) {
    for (const AccessEntry& entry : access.entries) {
      if (!entry.allow || !AppliesTo(entry, scope) || Harmless(entry.sid, selfSid)) continue;
      const bool listed = std::any_of(writers.begin(), writers.end(), [&](const OtherWriter& w) {
        return w.sid == entry.sid && !w.owner;
      });
      if (listed) continue;  // once per SID: the directory's own rights come first
      const uint32_t granted = Granted(access.entries, entry.sid, scope);
      if ((granted & kWritingBits) == 0) continue;
      writers.push_back({entry.sid, PrincipalName(entry.sid, entry.name), WritingRightName(granted),
                         granted & kWritingBits, scope == Scope::kNewFiles, false});
    }
  }
  return writers;
}
