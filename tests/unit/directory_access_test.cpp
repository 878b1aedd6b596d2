#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/info/run/directory_access.h"

namespace {

constexpr const char* kSelf = "S-1-5-21-10-20-30-1001";
constexpr const char* kBob = "S-1-5-21-10-20-30-1002";
constexpr const char* kUsers = "S-1-5-32-545";
constexpr const char* kEveryone = "S-1-1-0";

// Masks as Windows stores them for the rights of the Security tab.
constexpr uint32_t kFull = 0x001F01FF;
constexpr uint32_t kModify = 0x001301BF;
constexpr uint32_t kWrite = 0x00120116;  // FILE_GENERIC_WRITE
constexpr uint32_t kReadExecute = 0x001200A9;
constexpr uint32_t kWritingOnly = 0x00010046;  // add file, add folder, delete child, delete
constexpr uint8_t kOiCi = ace_flag::kObjectInherit | ace_flag::kContainerInherit;
constexpr uint8_t kIo = ace_flag::kInheritOnly;

AccessEntry Allow(const char* sid, uint32_t mask, uint8_t flags = 0, const char* name = "") {
  return {true, mask, flags, sid, name};
}
AccessEntry Deny(const char* sid, uint32_t mask, uint8_t flags = 0) {
  return {false, mask, flags, sid, ""};
}

// What an administrator-made Program Files folder holds besides the entry under test.
std::vector<AccessEntry> Protected(std::vector<AccessEntry> more) {
  std::vector<AccessEntry> entries = {
      Allow("S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", kFull),
      Allow("S-1-5-18", kFull, kOiCi), Allow("S-1-5-32-544", kFull, kOiCi),
      Allow("S-1-3-0", 0x10000000, kOiCi | kIo), Allow(kUsers, kReadExecute, kOiCi)};
  entries.insert(entries.begin(), more.begin(), more.end());
  return entries;
}

std::string Describe(const std::vector<OtherWriter>& writers) {
  std::string text;
  for (const OtherWriter& writer : writers) {
    if (!text.empty()) text += "; ";
    text += writer.principal + ": " + writer.right + (writer.filesOnly ? " (new files)" : "") +
            (writer.owner ? " (owner)" : "");
  }
  return text.empty() ? "none" : text;
}

struct Case {
  const char* what;
  std::vector<AccessEntry> entries;
  const char* expected;  // granted to whom, which right; "none" for no warning
  std::string owner = "S-1-5-32-544";
};

TEST(DirectoryAccess, ListsEveryoneElseWhoMayWriteAndWithWhichRight) {
  const std::vector<Case> cases = {
      {"Users modify (the old installer advice)", Protected({Allow(kUsers, kModify, kOiCi)}),
       "Users: modify"},
      {"Authenticated Users modify, inherited", {Allow("S-1-5-11", kModify, 0x13)},
       "Authenticated Users: modify"},
      {"Everyone full control", {Allow(kEveryone, kFull, kOiCi)}, "Everyone: full control"},
      {"INTERACTIVE write", {Allow("S-1-5-4", kWrite)}, "INTERACTIVE: write"},
      {"another user modify", {Allow(kBob, kModify, kOiCi, "PC\\bob")},
       "another user or group PC\\bob (S-1-5-21-10-20-30-1002): modify"},
      {"Users GENERIC_WRITE", {Allow(kUsers, 0x40000000)}, "Users: write"},
      {"Users GENERIC_ALL", {Allow(kUsers, 0x10000000)}, "Users: full control"},
      {"Users may change permissions", {Allow(kUsers, kReadExecute | 0x40000)},
       "Users: change permissions"},
      {"Users may take ownership", {Allow(kUsers, kReadExecute | 0x80000)},
       "Users: take ownership"},
      {"Users may create folders", {Allow(kUsers, kReadExecute | 0x4)}, "Users: create folders"},
      {"Users may delete files", {Allow(kUsers, kReadExecute | 0x40)}, "Users: delete files"},
      {"Users modify on new files only", {Allow(kUsers, kModify, kOiCi | kIo)},
       "Users: modify (new files)"},
      {"Users read and execute (Program Files as shipped)", Protected({}), "none"},
      {"the user's own folder", {Allow(kSelf, kFull, kOiCi), Allow("S-1-5-18", kFull, kOiCi)},
       "none"},
      {"CREATOR OWNER on new files", {Allow("S-1-3-0", kFull, kOiCi | kIo)}, "none"},
      {"Users write on subfolders only", {Allow(kUsers, kWrite, ace_flag::kContainerInherit | kIo)},
       "none"},
      {"a deny before the allow wins",
       {Deny(kUsers, kWritingOnly, kOiCi), Allow(kUsers, kModify, kOiCi)}, "none"},
      {"a deny on the folder alone leaves new files writable",
       {Deny(kUsers, kWritingOnly), Allow(kUsers, kModify, kOiCi)}, "Users: modify (new files)"},
      {"a deny for Everyone covers Users", {Deny(kEveryone, kWritingOnly), Allow(kUsers, kModify)},
       "none"},
      {"a deny after the allow is too late", {Allow(kUsers, kModify), Deny(kUsers, kWritingOnly)},
       "Users: modify"},
      {"a deny of file writes leaves delete", {Deny(kUsers, kWrite), Allow(kUsers, kModify)},
       "Users: delete"},
      {"a deny for Bob does not cover Users", {Deny(kBob, kWritingOnly), Allow(kUsers, kModify)},
       "Users: modify"},
      {"owned by another user", {Allow(kSelf, kFull)}, "another user or group S-1-5-21-10-20-30-1002: "
       "change permissions (owner)", kBob},
      {"owned by the user", {Allow(kSelf, kFull)}, "none", kSelf},
  };
  for (const Case& c : cases) {
    DirectoryAccess access;
    access.read = true;
    access.owner = c.owner;
    access.entries = c.entries;
    EXPECT_EQ(Describe(OtherWriters(access, kSelf)), c.expected) << c.what;
  }
}

TEST(DirectoryAccess, NoListMeansEveryoneAndAnUnreadListMeansNothingKnown) {
  DirectoryAccess access;
  access.read = true;
  access.nullDacl = true;
  EXPECT_EQ(Describe(OtherWriters(access, kSelf)), "Everyone: full control");
  access.read = false;
  EXPECT_EQ(Describe(OtherWriters(access, kSelf)), "none");
}

}  // namespace
