#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "fake_path_names.h"
#include "tools/info/run/machine_check.h"

namespace {

constexpr const char* kSelf = "S-1-5-21-10-20-30-1001";

// Answers as Windows would on a machine set up by the test: per-directory access lists,
// file starts, associations and WinVerifyTrust's result; what it was asked is counted.
class FakeMachine final : public MachineApi {
 public:
  long VerifySignature(const std::string&) const override { return signature; }
  std::string AssociatedProgram(const std::string& association, bool protocol) const override {
    if (!protocol) ++fileTypeLookups;  // .htm is the run's own lookup, not asked again
    return protocol && association == "https" ? https : "";
  }
  DirectoryAccess ReadAccess(const std::string& path) const override {
    ++accessReads;
    auto found = access.find(path);
    if (found != access.end()) return found->second;
    DirectoryAccess own;
    own.read = true;
    own.owner = kSelf;
    own.entries = {{true, 0x1F01FF, 0x03, kSelf, ""}};
    return own;
  }
  std::string LongPath(const std::string& path) const override {
    auto found = longNames.find(path);
    return found == longNames.end() ? path : found->second;
  }
  std::string CurrentUserSid() const override { return kSelf; }
  std::string FileStart(const std::string& path, size_t count) const override {
    auto found = files.find(path);
    return found == files.end() ? "" : found->second.substr(0, count);
  }

  long signature = 0;
  std::string https = "C:\\Browser\\browser.exe";
  std::map<std::string, DirectoryAccess> access;
  std::map<std::string, std::string> longNames = {
      {"C:\\BROWSE~1\\BROWSER.EXE", "C:\\Browser\\browser.exe"}};
  std::map<std::string, std::string> files = {{"C:\\W\\writer.ini", "[Options]\r\n"}};
  mutable int accessReads = 0;
  mutable int fileTypeLookups = 0;
};

MachinePaths Paths() {
  return {"C:\\W\\Falwick.EXE", true, "C:\\W\\info.txt", "C:\\W\\writer.ini", "Options",
          "C:\\Browser\\browser.exe", {"C:\\W\\Falwick.EXE", Spelling::kAsItIs},
          {"C:\\Temp\\", Spelling::kAsItIs}, u"https://example.test/i.txt",
          u"https://example.test/get.htm"};
}

std::string Ids(const MachineCheck& check) {
  std::string ids;
  for (const Finding& finding : check.findings) ids += (ids.empty() ? "" : " ") + finding.id;
  return ids.empty() ? "none" : ids;
}

DirectoryAccess UsersModify() {
  DirectoryAccess access;
  access.read = true;
  access.owner = "S-1-5-32-544";
  access.entries = {{true, 0x1301BF, 0x03, "S-1-5-32-545", ""}};
  return access;
}

struct Case {
  const char* what;
  std::function<void(FakeMachine&, MachinePaths&, std::string&)> set;
  const char* expected;  // the warnings' ids
};

TEST(MachineCheck, WarnsAboutWhatWindowsDoesAndWineHides) {
  const std::vector<Case> cases = {
      {"a signed program, one browser, a plain URL", [](auto&, auto&, auto&) {}, "none"},
      {"unsigned", [](FakeMachine& m, auto&, auto&) { m.signature = 0x800B0100L; },
       "falwick-unsigned"},
      {"changed after signing", [](FakeMachine& m, auto&, auto&) { m.signature = 0x80096010L; },
       "falwick-signature-invalid"},
      {"an untrusted root", [](FakeMachine& m, auto&, auto&) { m.signature = 0x800B0109L; },
       "falwick-signature-invalid"},
      {"revocation off line", [](FakeMachine& m, auto&, auto&) { m.signature = 0x80092013L; },
       "falwick-signature-revocation-unknown"},
      {"no Falwick.EXE: nothing to verify",
       [](FakeMachine& m, MachinePaths& p, auto&) { m.signature = 0x800B0100L; p.falwickPresent = false; },
       "none"},
      {".htm stays with another program",
       [](auto&, MachinePaths& p, auto&) { p.htmProgram = "C:\\Editor\\htmledit.exe"; },
       "htm-program-not-https-browser"},
      {"the same program, spelled otherwise",
       [](FakeMachine& m, auto&, auto&) { m.https = "\"c:/browser/BROWSER.EXE\""; }, "none"},
      {"the same program, one answer in short names",
       [](auto&, MachinePaths& p, auto&) { p.htmProgram = "C:\\BROWSE~1\\BROWSER.EXE"; },
       "none"},
      {"no https program known", [](FakeMachine& m, auto&, auto&) { m.https.clear(); }, "none"},
      {"a space in the URL",
       [](auto&, auto&, std::string& url) { url = "https://example.test/get it.htm"; },
       "download-url-splits"},
      {"a quote in the URL",
       [](auto&, auto&, std::string& url) { url = "https://example.test/get\".htm"; },
       "download-url-splits"},
      {"a UTF-8 BOM before the section",
       [](FakeMachine& m, auto&, auto&) { m.files["C:\\W\\writer.ini"] = "\xEF\xBB\xBF[Options]\r\n"; },
       "settings-utf8-bom"},
      {"a UTF-16 settings file",
       [](FakeMachine& m, auto&, auto&) { m.files["C:\\W\\writer.ini"] = std::string("\xFF\xFE[\0", 4); },
       "none"},
      {"Users may modify the program directory",
       [](FakeMachine& m, auto&, auto&) { m.access["C:\\W"] = UsersModify(); },
       "directory-writable-by-others"},
      {"the settings elsewhere, writable by Users",
       [](FakeMachine& m, MachinePaths& p, auto&) {
         p.settingsFile = "D:\\Shared\\writer.ini";
         m.access["D:\\Shared"] = UsersModify();
       },
       "directory-writable-by-others"},
      {"Falwick's folder in its short name",
       [](auto&, MachinePaths& p, auto&) { p.falwickSpelling.spelling = Spelling::kShort; }, "none"},
      {"neither Falwick's folder nor the temporary directory can be spelled",
       [](auto&, MachinePaths& p, auto&) {
         p.falwickSpelling.spelling = p.tempSpelling.spelling = Spelling::kLossy;
       },
       "name-outside-ansi-code-page temp-name-outside-ansi-code-page"},
      {"fullwidth quotes and a Cyrillic letter in the URLs",
       [](auto&, MachinePaths& p, auto&) {
         p.infoUrl = u"https://example.test/\u0436.txt";
         p.downloadUrl = u"https://example.test/get.htm?q=\uFF02a\uFF02";
       },
       "url-changed-by-code-page url-changed-by-code-page"},
  };
  for (const Case& c : cases) {
    FakeMachine machine;
    MachinePaths paths = Paths();
    std::string url = "https://example.test/get.htm";
    c.set(machine, paths, url);
    EXPECT_EQ(Ids(CheckMachine(machine, WesternNames(), paths, url)), c.expected) << c.what;
    EXPECT_EQ(machine.fileTypeLookups, 0) << c.what;
  }
}

TEST(MachineCheck, AnUnsafeDirectoryNamesThePrincipalAndTheRightInTextAndJson) {
  FakeMachine machine;
  machine.access["C:\\W"] = UsersModify();
  const MachineCheck check =
      CheckMachine(machine, WesternNames(), Paths(), "https://example.test/get.htm");
  EXPECT_EQ(machine.accessReads, 1) << "one directory for the program, info and settings files";
  ASSERT_EQ(check.findings.size(), 1u);
  EXPECT_NE(check.findings[0].text.find("C:\\W grants Users modify rights"), std::string::npos)
      << check.findings[0].text;

  Fact report = Fact::Object();
  report.Add("machine", check.fact);
  AddFindings(report, check.findings);
  const std::string text = JsonReport(report);
  for (const char* member : {R"("id": "directory-writable-by-others")", R"("directory": "C:\\W")",
                             R"("principal": "Users")", R"("sid": "S-1-5-32-545")",
                             R"("right": "modify")", R"("applies_to": "directory")"}) {
    EXPECT_NE(text.find(member), std::string::npos) << member << " in " << text;
  }
  EXPECT_NE(TextReport(report).find("C:\\W: Users: modify"), std::string::npos);
}

TEST(MachineCheck, NamesEachCharacterTheCodePageChanges) {
  const std::vector<CodePageChange> changes =
      CodePageChanges(WesternNames(), u"h://x/\uFF02\u00E9\u0436\U0001F600");
  ASSERT_EQ(changes.size(), 3u);
  EXPECT_EQ(changes[0].character + changes[0].seen, "U+FF02\"");
  EXPECT_EQ(changes[1].character + changes[1].seen, "U+0436?");
  EXPECT_EQ(changes[2].character + changes[2].seen, "U+1F600??");
}

}  // namespace
