#include "tools/info/file/info_check.h"

#include <algorithm>

#include "base/number_scan.h"
#include "tools/info/report/phrases.h"
#include "update/download.h"

namespace {

struct TrapKind {
  std::string_view id;
  Severity severity;  // as a rule; a finding that hides nothing may be milder
};

constexpr TrapKind kTraps[] = {
    {"file-too-large", Severity::kWarning},  // more than Falwick stores of a download
    {"byte-order-mark", Severity::kError},  // UTF-8 byte-order mark before the first key
    {"utf-16", Severity::kError},  // UTF-16 text: NUL bytes end every line
    {"nul-byte", Severity::kWarning},  // a NUL byte cuts a line short
    {"html-page", Severity::kError},  // a web page rather than key lines
    {"ctrl-z", Severity::kError},  // Ctrl-Z ends the file early
    {"cr-line-ends", Severity::kError},  // CR alone, which does not end a line
    {"long-line", Severity::kWarning},  // more than 259 characters: read in pieces
    {"key-after-tab", Severity::kError},  // a key after a tab or other white space
    {"key-in-wrong-case", Severity::kError},  // "Version=" and the like
    {"unknown-key", Severity::kWarning},  // MESSAGE4=, MESSAGE0=
    {"key-without-equals", Severity::kError},  // "VERSION 3.5"
    {"key-read-as-another", Severity::kWarning},  // "MESSAGE12=" is MESSAGE1
    {"value-does-not-convert", Severity::kError},  // "VERSION=three"
    {"value-partly-read", Severity::kError},  // "VERSION=3,5" reads 3
    {"version-decimals", Severity::kWarning},  // "VERSION=3.10" is 3.1, smaller than 3.9
    {"repeated-key", Severity::kWarning},  // a second VERSION or BUILD replaces the first
    {"no-version-no-build", Severity::kError},  // never announces anything
    {"version-without-build", Severity::kWarning},  // the notice shows each user's build
    {"build-without-version", Severity::kWarning},  // compared with each user's own version
    {"version-fraction", Severity::kNote},  // the display version drops it
    {"negative-build", Severity::kWarning},  // the standard sentence shows "3.0.-01"
    {"ampersand", Severity::kWarning},  // "&" underlines instead of showing
    {"non-ascii", Severity::kWarning},  // shown in the user's ANSI code page
    {"message-too-long", Severity::kWarning},  // cut at kMaxMessageLength
    {"notice-too-long", Severity::kWarning},  // more text than the dialog's text area shows
};
static_assert(std::size(kTraps) == static_cast<size_t>(Trap::kCount), "one kind a trap");

bool KeysRead(const InfoCheck& check) {
  return check.versionLine != 0 || check.buildLine != 0 ||
         std::any_of(check.messageLine.begin(), check.messageLine.end(),
                     [](int line) { return line != 0; });
}

}  // namespace

std::string_view TrapId(Trap trap) { return kTraps[static_cast<size_t>(trap)].id; }

InfoChecker::InfoChecker(std::string_view bytes, const ProgramVersion& installed,
                         std::string_view product, bool utf16Allowed)
    : fileSize_(bytes.size()),
      bytes_(bytes.substr(0, DownloadUpdateInfo::kMaxStoredBytes)),
      product_(product),
      lines_(bytes_),
      utf16_(utf16Allowed) {
  result_.installed = installed;
  result_.info.newest = installed;
}

InfoCheck InfoChecker::Run() {
  result_.lineCount = lines_.Count();
  CheckSize();
  CheckEncoding();
  MemoryFile source(bytes_);
  ReadUpdateInfoText(source, result_.info, this);  // the program's own reading
  CheckCtrlZ();
  CheckHtml();
  Conclude();
  std::stable_sort(result_.findings.begin(), result_.findings.end(),
                   [](const Finding& a, const Finding& b) { return a.line < b.line; });
  return std::move(result_);
}

void InfoChecker::Warn(Trap trap, int line, std::string text, std::string fix,
                       std::optional<Severity> severity) {
  const auto kind = static_cast<size_t>(trap);
  if (++counts_[kind] > kMaxFindingsPerTrap) {
    ++result_.notListed;
    return;
  }
  result_.findings.push_back({std::string(kTraps[kind].id),
                              severity.value_or(kTraps[kind].severity), line, std::move(text),
                              std::move(fix), {}});
}

void InfoChecker::OnEnd(const TextModeReader& reader) {
  if (!linePieces_.empty()) FinishLine();
  if (reader.End() == TextEnd::kCtrlZ) ctrlZ_ = reader.Offset();
}

InfoCheck CheckInfoFile(std::string_view bytes, const ProgramVersion& installed,
                        std::string_view productName) {
  InfoChecker checker(bytes, installed, productName, true);
  InfoCheck check = checker.Run();
  // Bytes that look like UTF-16 (a NUL in every other place) and yet hold key lines that
  // Falwick reads are no UTF-16 text: their lines are checked one by one instead.
  if (checker.ReadAsUtf16() && KeysRead(check)) {
    check = InfoChecker(bytes, installed, productName, false).Run();
  }
  return check;
}

// The traps of the file as a whole: its size, its encoding, a Ctrl-Z, a web page.

void InfoChecker::CheckSize() {
  if (fileSize_ <= bytes_.size()) return;
  Warn(Trap::kFileTooLarge, 0,
       "the file is larger than " + std::to_string(DownloadUpdateInfo::kMaxStoredBytes) +
           " bytes (16 MiB): Falwick stores and reads only that much of a download");
}

void InfoChecker::CheckEncoding() {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes_[i]); };
  // With a byte-order mark, or without: ASCII text in UTF-16 has a NUL in every other byte.
  const bool mark = bytes_.size() >= 2 && ((byte(0) == 0xFF && byte(1) == 0xFE) ||
                                           (byte(0) == 0xFE && byte(1) == 0xFF));
  const size_t pairs = std::min<size_t>(bytes_.size(), 512) / 2;
  size_t evenNuls = 0, oddNuls = 0;
  for (size_t i = 0; i < pairs * 2; ++i) (i % 2 == 0 ? evenNuls : oddNuls) += byte(i) == 0;
  utf16_ = utf16_ && (mark || (pairs >= 2 && std::max(evenNuls, oddNuls) * 2 >= pairs));
  if (utf16_) {
    Warn(Trap::kUtf16, 1,
         "the file is UTF-16 text (two bytes a character): the NUL byte in nearly every "
         "character ends a line for Falwick, so it reads no key at all",
         "save the file as plain text (ASCII or ANSI)");
    return;
  }
  if (bytes_.substr(0, 3) == "\xEF\xBB\xBF") {
    const InfoLine first = SplitInfoLine(lines_.RestOfLine(3));
    const bool hides = first.key != InfoKey::kNone;
    Warn(Trap::kByteOrderMark, 1,
         "the file starts with a UTF-8 byte-order mark (bytes EF BB BF), which Falwick reads "
         "as three characters in front of the first line" +
             (hides ? ", so " + Quote(first.text) + " is not read as " +
                          std::string(InfoKeyName(first.key))
                    : std::string(" (harmless only while that line holds no key)")),
         "save the file without a byte-order mark",
         hides ? Severity::kError : Severity::kWarning);
  }
}

void InfoChecker::CheckCtrlZ() {
  if (!ctrlZ_) return;  // the reader met none
  const size_t at = *ctrlZ_;
  const std::string_view hidden = bytes_.substr(at + 1);
  const bool hidesSomething = std::any_of(hidden.begin(), hidden.end(), [](char c) {
    return !IsScanSpace(c) && c != TextModeReader::kCtrlZ;
  });
  if (!hidesSomething) return;  // a Ctrl-Z that closes the file, as old editors write
  size_t keyCount = 0;
  const std::string keys = lines_.KeyLinesIn(at + 1, bytes_.size(), keyCount);
  Warn(Trap::kCtrlZ, LineAt(at),
       "a Ctrl-Z character (code 26) ends the file for Falwick: the " +
           std::to_string(hidden.size()) + " bytes after it (to line " +
           std::to_string(lines_.Count()) + ") are never read" +
           (keyCount == 0 ? std::string() : ", among them " + keys),
       "remove the Ctrl-Z", keyCount == 0 ? Severity::kWarning : Severity::kError);
}

void InfoChecker::CheckHtml() {
  // A page starts with a tag (after white space, perhaps a byte-order mark) and names
  // itself early on; a message that mentions a tag is no page.
  size_t tag = bytes_.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (tag < bytes_.size() && IsScanSpace(bytes_[tag])) ++tag;
  if (tag == bytes_.size() || bytes_[tag] != '<') return;
  const std::string head = Upper(bytes_, size_t{64} * 1024);
  const auto names = [&head](const char* start) { return head.find(start) != std::string::npos; };
  if (!names("<HTML") && !names("<!DOCTYPE") && !names("<BODY") && !names("<HEAD")) return;
  Warn(Trap::kHtml, LineAt(tag),
       "the file is an HTML page (" + Quote(lines_.RestOfLine(tag)) +
           "), not lines of KEY=value: Falwick reads only lines that start with a key",
       "publish the info file itself at this address, not a web page or a server's error "
       "page");
}

EditorLines::EditorLines(std::string_view bytes) : bytes_(bytes) {
  starts_.push_back(0);
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\n' && bytes[i] != '\r') continue;
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    starts_.push_back(i + 1);
  }
}

int EditorLines::LineAt(size_t offset) const {
  return static_cast<int>(std::upper_bound(starts_.begin(), starts_.end(), offset) -
                          starts_.begin());
}

int EditorLines::Count() const {
  // A line end at the end of the file (or an empty file) starts no line.
  return static_cast<int>(starts_.size() - (starts_.back() == bytes_.size() ? 1 : 0));
}

std::string_view EditorLines::RestOfLine(size_t offset) const {
  return bytes_.substr(offset, bytes_.find_first_of("\r\n", offset) - offset);
}

std::string EditorLines::KeyLinesIn(size_t from, size_t to, size_t& count) const {
  std::string list;
  count = 0;
  for (auto line = static_cast<size_t>(LineAt(from)) - 1; line < starts_.size(); ++line) {
    const size_t start = std::max(starts_[line], from);
    if (start >= to) break;
    const size_t end = std::min(bytes_.find_first_of("\r\n", start), to);
    const InfoLine parts = SplitInfoLine(bytes_.substr(start, end - start));
    if (parts.key == InfoKey::kNone || !parts.hasValue) continue;
    if (++count > 4) continue;
    if (!list.empty()) list += ", ";
    list += Quote(parts.text, 24) + " (line " + std::to_string(line + 1) + ")";
  }
  if (count > 4) list += " and " + std::to_string(count - 4) + " more";
  return list;
}
