#include "tools/info/run/machine_check.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "base/ascii_case.h"
#include "tools/info/report/phrases.h"

namespace {

// WinVerifyTrust's results as an integrator meets them, with the verdict each amounts to.
struct TrustResult {
  uint32_t code;
  const char* name;
  const char* meaning;
  const char* verdict;
};

constexpr TrustResult kTrustResults[] = {
    {0x00000000, "ERROR_SUCCESS", "a valid signature", "valid"},
    {0x800B0100, "TRUST_E_NOSIGNATURE", "no signature", "unsigned"},
    {0x800B0003, "TRUST_E_SUBJECT_FORM_UNKNOWN", "not a file that can be signed", "unsigned"},
    {0x800B0001, "TRUST_E_PROVIDER_UNKNOWN", "no trust provider for this file", "unsigned"},
    {0x80096010, "TRUST_E_BAD_DIGEST", "the file was changed after it was signed", "invalid"},
    {0x800B0109, "CERT_E_UNTRUSTEDROOT",
     "the certificate chains to a root this machine does not trust", "invalid"},
    {0x800B010A, "CERT_E_CHAINING", "the certificate's chain could not be built", "invalid"},
    {0x800B0101, "CERT_E_EXPIRED",
     "the certificate has expired and the signature has no time stamp", "invalid"},
    {0x800B010C, "CERT_E_REVOKED", "the certificate was revoked", "invalid"},
    {0x800B0111, "TRUST_E_EXPLICIT_DISTRUST", "the certificate is marked as not trusted",
     "invalid"},
    {0x800B0004, "TRUST_E_SUBJECT_NOT_TRUSTED", "the signature is not trusted", "invalid"},
    {0x80092026, "CRYPT_E_SECURITY_SETTINGS",
     "the administrator's policy forbids this signature", "invalid"},
    {0x800B0110, "CERT_E_WRONG_USAGE", "the certificate is not for code signing", "invalid"},
    {0x80096019, "TRUST_E_BASIC_CONSTRAINTS", "the certificate's basic constraints are invalid",
     "invalid"},
    {0x80092012, "CRYPT_E_NO_REVOCATION_CHECK",
     "the certificate's revocation could not be checked", "revocation-unknown"},
    {0x80092013, "CRYPT_E_REVOCATION_OFFLINE", "the revocation server could not be reached",
     "revocation-unknown"},
};

// Up to the last backslash, without it ("C:\" keeps its own).
std::string ParentDirectory(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  if (slash == std::string::npos) return "";
  return path.substr(0, slash == 2 && path[1] == ':' ? 3 : slash);
}

bool SameText(std::string a, std::string b) {
  for (std::string* path : {&a, &b}) std::replace(path->begin(), path->end(), '/', '\\');
  return EqualsIgnoringAsciiCase(a, b);
}

std::string Unquoted(const std::string& path) {
  const bool quoted = path.size() >= 2 && path.front() == '"' && path.back() == '"';
  return quoted ? path.substr(1, path.size() - 2) : path;
}

void CheckSignature(MachineCheck& check, const MachineApi& api, const MachinePaths& paths) {
  Fact& seen = check.fact.Add("signature", paths.falwickPresent ? Fact::Object() : Fact());
  if (!paths.falwickPresent) return;
  const std::string& exe = paths.falwickExe;
  const auto result = static_cast<uint32_t>(api.VerifySignature(exe));
  const auto known = std::find_if(std::begin(kTrustResults), std::end(kTrustResults),
                                  [result](const TrustResult& r) { return r.code == result; });
  const bool named = known != std::end(kTrustResults);
  const std::string verdict = named ? known->verdict : "invalid";  // an unknown failure
  const std::string hex = Hex(result, 8);
  // "0x800B0100 TRUST_E_NOSIGNATURE, no signature" and the like.
  const std::string code = named ? hex + " " + known->name + ", " + known->meaning : hex;
  seen.Add("result", Fact::String(hex));
  seen.Add("verdict", Fact::String(verdict));
  seen.Row("Signature", verdict + " (" + code + ")");
  const std::vector<std::pair<std::string, std::string>> fields = {{"path", exe},
                                                                    {"result", hex}};
  if (verdict == "revocation-unknown") {
    check.findings.Add("falwick-signature-revocation-unknown", Severity::kWarning,
                       "the signature of " + exe + " could not be checked for revocation (" +
                           code + "): Windows may refuse it where the revocation server "
                           "cannot be reached", "", fields);
  } else if (verdict != "valid") {
    const bool noSignature = verdict == "unsigned";
    check.findings.Add(
        noSignature ? "falwick-unsigned" : "falwick-signature-invalid",
        noSignature ? Severity::kWarning : Severity::kError,
        (noSignature ? exe + " carries no Authenticode signature ("
                     : "the signature of " + exe + " does not verify on this machine (") +
            code + "): Windows 11's Smart App Control blocks unsigned programs of unknown "
            "reputation however they are started, and virus scanners are quick to quarantine "
            "them",
        "sign Falwick.EXE with an RSA code-signing certificate and a time stamp "
        "(scripts/release --sign)", fields);
  }
}

void CheckPrograms(MachineCheck& check, const MachineApi& api, const MachinePaths& paths) {
  const std::string& htm = paths.htmProgram;
  const std::string https = api.AssociatedProgram("https", true);
  // The .htm program has its row already, from the run's own lookup.
  check.fact.Add("htm_program", Fact::OptionalString(htm));
  check.fact.Add("https_program", Fact::OptionalString(https))
      .Row("https program", https.empty() ? "none" : https);
  if (htm.empty() || https.empty() ||
      SameText(api.LongPath(Unquoted(htm)), api.LongPath(Unquoted(https)))) {
    return;
  }
  check.findings.Add(
      "htm-program-not-https-browser", Severity::kWarning,
      ".htm files open in " + htm + ", https links in " + https +
          ": Falwick opens the download page with the .htm program, not with the browser "
          "chosen for links (on Windows 11 each file type and protocol keeps its own default)",
      "set the browser for .htm in Settings, Apps, Default apps",
      {{"htm_program", htm}, {"https_program", https}});
}

void CheckUrl(MachineCheck& check, const std::string& downloadUrl) {
  constexpr std::pair<char, const char*> kSplitters[] = {
      {' ', "a space (write %20)"}, {'\t', "a tab (write %09)"}, {'"', "a \" (write %22)"}};
  std::string splitters;  // the characters of the URL that split it
  std::string which;      // and their names
  for (const auto& [c, name] : kSplitters) {
    if (downloadUrl.find(c) == std::string::npos) continue;
    splitters += c;
    which += (which.empty() ? "" : " and ") + std::string(name);
  }
  check.fact.Add("url_splitters", Fact::String(splitters));
  if (splitters.empty()) return;
  check.findings.Add("download-url-splits", Severity::kError,
                     "the download URL holds " + which +
                         ": Windows hands the URL to the browser unparsed, and the browser "
                         "reads it as several arguments",
                     "percent-encode these characters in the URL",
                     {{"url", downloadUrl}, {"characters", splitters}});
}

// The ANSI functions see a path the code page cannot spell, and that has no short (8.3)
// name, with "?" or look-alikes in it: it names no folder, or another one.
void CheckSpellings(MachineCheck& check, const MachinePaths& paths) {
  struct Place {
    const char* key;
    const char* label;
    const SpelledPath& spelled;
    const char* id;
    const char* what;   // the path that cannot be spelled
    const char* harm;   // what Falwick cannot do there
    const char* fix;
  };
  const Place places[] = {
      {"falwick_spelling", "Falwick spelled", paths.falwickSpelling,
       "name-outside-ansi-code-page", "Falwick's path",
       "where it can store no download, so it never announces anything",
       "install it in a folder whose path the ANSI code page can spell"},
      {"temp_spelling", "Temp spelled", paths.tempSpelling, "temp-name-outside-ansi-code-page",
       "the temporary directory",
       "where it cannot look the browser up, so the download page never opens",
       "give the folder a short name (fsutil file setshortname) or point TMP to a folder "
       "of this user's whose path the code page can spell"},
  };
  // By Spelling: its name in the JSON and what the row adds to the path.
  constexpr const char* kSpellings[][2] = {
      {"as-it-is", ""},
      {"short", " (its short name: the ANSI code page cannot spell the long one)"},
      {"lossy", " (the ANSI code page cannot spell it, and it has no short name)"}};
  for (const Place& place : places) {
    const SpelledPath& spelled = place.spelled;
    Fact& seen = check.fact.Add(place.key, spelled.text.empty() ? Fact() : Fact::Object());
    if (spelled.text.empty()) {
      seen.Row(place.label, "none: no temporary directory");
      continue;
    }
    const auto& [name, remark] = kSpellings[static_cast<size_t>(spelled.spelling)];
    seen.Add("path", Fact::String(spelled.text));
    seen.Add("spelling", Fact::String(name));
    seen.Row(place.label, spelled.text + remark);
    if (spelled.spelling != Spelling::kLossy) continue;
    check.findings.Add(place.id, Severity::kError,
                       std::string(place.what) +
                           " cannot be spelled in the ANSI code page and has no short name "
                           "(short (8.3) names are off on its volume, or were when the folder "
                           "was made (fsutil 8dot3name query C:)): Falwick sees it as " +
                           spelled.text + ", " + place.harm,
                       place.fix, {{"path", spelled.text}});
  }
}

// A host's URL holding a character the code page lacks reaches Falwick with "?" or a
// look-alike in its place: another URL, or, with a '"' for a fullwidth quotation mark,
// one the browser reads as several arguments.
void CheckUrlCodePage(MachineCheck& check, const PathNames& names, const MachinePaths& paths) {
  const std::pair<const char*, const std::u16string*> urls[] = {
      {"info", &paths.infoUrl}, {"download", &paths.downloadUrl}};
  for (const auto& [which, url] : urls) {
    const std::vector<CodePageChange> changes = CodePageChanges(names, *url);
    if (changes.empty()) continue;
    std::string list;
    for (const CodePageChange& change : changes) {
      if (!list.empty()) list += ", ";
      list += change.character + " as " + change.seen;
    }
    check.findings.Add("url-changed-by-code-page", Severity::kError,
                       "the " + std::string(which) + " URL holds characters the ANSI code page "
                           "changes on the way to Falwick (" + list + "): Falwick uses another "
                           "URL, and a '\"' splits it for the browser",
                       "percent-encode every non-ASCII character of the URL as UTF-8 in the "
                       "host's command line (%E2%80%9C for U+201C)",
                       {{"url", which}, {"characters", list}});
  }
}

void CheckSettingsStart(MachineCheck& check, const MachineApi& api, const MachinePaths& paths) {
  const bool bom =
      !paths.settingsFile.empty() && api.FileStart(paths.settingsFile, 3) == "\xEF\xBB\xBF";
  check.fact.Add("settings_bom", Fact::Bool(bom))
      .RowIf(bom, "Settings start", "a UTF-8 byte-order mark");
  if (!bom) return;
  check.findings.Add(
      "settings-utf8-bom", Severity::kWarning,
      "the settings file " + paths.settingsFile +
          " starts with a UTF-8 byte-order mark, which Windows' profile functions do not "
          "recognise: a section on its first line cannot be read (when that is [" +
          paths.settingsSection + "], the stored value is never seen and a write appends a "
          "second copy of the section)",
      "save the file as ANSI, or as UTF-16 with its mark", {{"path", paths.settingsFile}});
}

const char* AppliesTo(const OtherWriter& writer) {
  return writer.owner ? "owner" : writer.filesOnly ? "new-files" : "directory";
}

std::string DescribeAccess(const DirectoryAccess& access,
                           const std::vector<OtherWriter>& writers) {
  if (!access.read) return "not read (error " + std::to_string(access.error) + ")";
  if (writers.empty()) return "only this user and administrators may write in it";
  std::string text;
  for (const OtherWriter& writer : writers) {
    if (!text.empty()) text += "; ";
    text += writer.owner ? writer.principal + " owns it"
                         : writer.principal + ": " + writer.right +
                               (writer.filesOnly ? " (on new files)" : "");
  }
  return text;
}

void CheckDirectories(MachineCheck& check, const MachineApi& api, const MachinePaths& paths) {
  Fact& list = check.fact.Add("directories", Fact::Array());
  std::vector<std::string> seen;
  const std::string self = api.CurrentUserSid();
  for (const std::string* file : {&paths.falwickExe, &paths.infoFile, &paths.settingsFile}) {
    const std::string directory = ParentDirectory(*file);
    const auto known = [&](const std::string& other) { return SameText(other, directory); };
    if (directory.empty() || std::any_of(seen.begin(), seen.end(), known)) continue;
    seen.push_back(directory);
    const DirectoryAccess access = api.ReadAccess(directory);
    const std::vector<OtherWriter> writers = OtherWriters(access, self);
    Fact& item = list.Add("", Fact::Object());
    item.Add("path", Fact::String(directory));
    item.Add("read", Fact::Bool(access.read));
    item.Add("error", access.read ? Fact() : Fact::Integer(access.error));
    item.Add("owner", Fact::OptionalString(access.owner));
    Fact& listed = item.Add("writers", Fact::Array());
    for (const OtherWriter& writer : writers) {
      Fact& one = listed.Add("", Fact::Object());
      one.Add("sid", Fact::String(writer.sid));
      one.Add("principal", Fact::String(writer.principal));
      one.Add("right", Fact::String(writer.right));
      one.Add("mask", Fact::Integer(writer.mask));
      one.Add("applies_to", Fact::String(AppliesTo(writer)));
      const std::string rights = writer.principal + " " + writer.right + " rights";
      const std::string text =
          (writer.owner ? "the directory " + directory + " belongs to " + writer.principal +
                              ", who may change its permissions and then write in it"
           : writer.filesOnly ? "files created in " + directory + " give " + rights
                              : "the directory " + directory + " grants " + rights) +
          ": another user could replace Falwick.EXE or put a DLL beside it, and it would run "
          "as the next user who starts the host";
      check.findings.Add("directory-writable-by-others", Severity::kWarning, text,
                         "install per user, or keep Falwick.EXE and the settings in a folder "
                         "that only this user (and administrators) can write",
                         {{"directory", directory}, {"principal", writer.principal},
                          {"sid", writer.sid}, {"right", writer.right},
                          {"mask", Hex(writer.mask, 8)}, {"applies_to", AppliesTo(writer)}});
    }
    item.Row("Access", directory + ": " + DescribeAccess(access, writers));
  }
}

}  // namespace

std::vector<CodePageChange> CodePageChanges(const PathNames& names, std::u16string_view url) {
  std::vector<CodePageChange> changes;
  for (size_t i = 0; i < url.size(); ++i) {
    // A character outside the Basic Multilingual Plane is a pair of surrogates.
    const bool pair = url[i] >= 0xD800 && url[i] < 0xDC00 && i + 1 < url.size();
    const std::u16string_view character = url.substr(i, pair ? 2 : 1);
    if (!SpellsInAnsi(names, character)) {
      const uint32_t value = pair ? 0x10000 + ((url[i] - 0xD800u) << 10) + (url[i + 1] - 0xDC00u)
                                  : url[i];
      changes.push_back({"U+" + Hex(value, 4).substr(2), names.ToAnsi(character)});
    }
    if (pair) ++i;
  }
  return changes;
}

MachineCheck CheckMachine(const MachineApi& api, const PathNames& names,
                          const MachinePaths& paths, const std::string& downloadUrl) {
  MachineCheck check;
  CheckSpellings(check, paths);
  CheckUrlCodePage(check, names, paths);
  CheckSignature(check, api, paths);
  CheckPrograms(check, api, paths);
  CheckUrl(check, downloadUrl);
  CheckSettingsStart(check, api, paths);
  CheckDirectories(check, api, paths);
  return check;
}
