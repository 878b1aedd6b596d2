#include "maker/info_check.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>

#include "ui/notice_template.h"
#include "ui/notice_text.h"
#include "update/download.h"
#include "update/number_scan.h"
#include "update/text_mode_reader.h"

namespace {

constexpr char kCtrlZ = 26;
constexpr size_t kQuoteLength = 40;
// What the dialog's text area (298 x 60 dialog units, 8-point Arial) shows, roughly:
// lines of about 90 characters of ordinary text, about 6 of them; the rest is cut off.
constexpr size_t kNoticeLineCharacters = 90;
constexpr size_t kNoticeLines = 6;


std::string Number(size_t value) { return std::to_string(value); }

// `text` in single quotes and escaped, cut to about `limit` characters.
std::string Quote(std::string_view text, size_t limit = kQuoteLength) {
  if (text.size() <= limit) return "'" + EscapeBytes(text) + "'";
  return "'" + EscapeBytes(text.substr(0, limit)) + "...'";
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string UpperPrefix(std::string_view text, size_t length) {
  std::string upper(text.substr(0, length));
  for (char& c : upper) c = Upper(c);
  return upper;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// White space that the number conversions skip, and that TrimSpaces keeps.
bool IsNumberSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A number written out plainly: optional sign, digits, for a version also a point with
// digits and an exponent. Such a text converts whole, so nothing of it is ignored.
bool IsPlainNumber(std::string_view text, bool integer) {
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  if (!integer && i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (!integer && i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    const size_t start = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    if (i == start) return false;
  }
  return i == text.size();
}

std::string_view TrimNumberSpace(std::string_view text) {
  while (!text.empty() && IsNumberSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsNumberSpace(text.back())) text.remove_suffix(1);
  return text;
}

// The first "&" that a static control turns into an underline, or npos.
size_t FindUnderliningAmpersand(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (i + 1 < text.size() && text[i + 1] == '&') {
      ++i;  // "&&" shows one "&"
      continue;
    }
    return i;
  }
  return std::string_view::npos;
}

// What a static control shows around the "&" at `at`.
std::string DescribeAmpersand(std::string_view text, size_t at) {
  const size_t from = at >= 12 ? at - 12 : 0;
  const std::string_view before = text.substr(from, at - from);
  if (at + 1 >= text.size()) {
    return Quote(text.substr(from)) + " ends in a single \"&\", which the dialog does not show";
  }
  const std::string_view after = text.substr(at + 1, 12);
  return Quote(text.substr(from, at - from + 13)) + " shows as " +
         Quote(std::string(before) + std::string(after)) + " with " +
         Quote(text.substr(at + 1, 1)) + " underlined";
}

// Whether `text` holds a UTF-8 encoded character of two or more bytes.
bool HoldsUtf8Sequence(std::string_view text) {
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (lead >= 0xF5) length = 0;
    if (length == 0 || i + length > text.size()) continue;
    bool valid = true;
    for (size_t k = 1; k < length; ++k) {
      valid = valid && (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    }
    if (valid) return true;
  }
  return false;
}

// Line numbers as an editor shows them: CR LF, LF and CR alone each end a line.
class LineIndex {
 public:
  explicit LineIndex(std::string_view bytes) : size_(bytes.size()) {
    starts_.push_back(0);
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
      if (bytes[i] == '\n' || bytes[i] == '\r') starts_.push_back(i + 1);
    }
  }
  int LineAt(size_t offset) const {
    return static_cast<int>(std::upper_bound(starts_.begin(), starts_.end(), offset) -
                            starts_.begin());
  }
  int Count() const {
    if (size_ == 0) return 0;
    return static_cast<int>(starts_.back() == size_ ? starts_.size() - 1 : starts_.size());
  }

 private:
  std::vector<size_t> starts_;
  size_t size_;
};

std::string Lines(int first, int last) {
  return first == last ? "line " + std::to_string(first)
                       : "lines " + std::to_string(first) + "-" + std::to_string(last);
}

// The key lines (those that would set a value) in `bytes`, which start at `offset` of
// the file, with their line numbers: "VERSION=4 (line 5), BUILD=2 (line 6)".
std::string KeyLinesIn(std::string_view bytes, size_t offset, const LineIndex& lines,
                       size_t* count) {
  std::string list;
  *count = 0;
  size_t start = 0;
  while (start <= bytes.size()) {
    size_t end = start;
    while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
    const InfoLine line = SplitInfoLine(bytes.substr(start, end - start));
    if (line.key != InfoKey::kNone && line.hasValue) {
      if (++*count <= 4) {
        if (!list.empty()) list += ", ";
        list += Quote(line.text, 24) + " (line " + std::to_string(lines.LineAt(offset + start)) +
                ")";
      }
    }
    if (end == bytes.size()) break;
    start = end + (bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n' ? 2 : 1);
  }
  if (*count > 4) list += " and " + Number(*count - 4) + " more";
  return list;
}

class Checker {
 public:
  Checker(std::string_view bytes, const ProgramVersion& installed, std::string_view product)
      : bytes_(bytes), product_(product) {
    result_.installed = installed;
    result_.info.newest = installed;
  }

  InfoCheck Run() {
    if (bytes_.size() > DownloadUpdateInfo::kMaxStoredBytes) {
      Warn(Trap::kFileTooLarge, 0,
           "the file is larger than " + Number(DownloadUpdateInfo::kMaxStoredBytes) +
               " bytes (16 MiB): Falwick stores and reads only that much of a download");
      bytes_ = bytes_.substr(0, DownloadUpdateInfo::kMaxStoredBytes);
    }
    lines_.emplace(bytes_);
    result_.lineCount = lines_->Count();
    CheckEncoding();
    ReadPieces();
    CheckCtrlZ();
    CheckHtml();
    Conclude();
    std::stable_sort(result_.warnings.begin(), result_.warnings.end(),
                     [](const InfoWarning& a, const InfoWarning& b) { return a.line < b.line; });
    return std::move(result_);
  }

 private:
  struct PieceSummary {
    size_t offset;
    size_t length;
    std::string shows;  // what the program makes of it
  };

  void Warn(Trap trap, int line, std::string text) {
    const auto kind = static_cast<size_t>(trap);
    if (++counts_[kind] > kMaxWarningsPerTrap) {
      ++result_.omitted[kind];
      return;
    }
    result_.warnings.push_back({trap, line, std::move(text)});
  }

  int LineAt(size_t offset) const { return lines_->LineAt(offset); }

  void CheckEncoding() {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes_[i]); };
    if (bytes_.size() >= 2 && ((byte(0) == 0xFF && byte(1) == 0xFE) ||
                               (byte(0) == 0xFE && byte(1) == 0xFF))) {
      utf16_ = true;
    } else {
      // Without a byte-order mark: ASCII text in UTF-16 has a NUL in every other byte.
      const size_t pairs = std::min<size_t>(bytes_.size(), 512) / 2;
      size_t evenNuls = 0, oddNuls = 0;
      for (size_t i = 0; i < pairs * 2; ++i) (i % 2 == 0 ? evenNuls : oddNuls) += byte(i) == 0;
      utf16_ = pairs >= 2 && std::max(evenNuls, oddNuls) * 2 >= pairs;
    }
    if (utf16_) {
      Warn(Trap::kUtf16, 1,
           "the file is UTF-16 text (two bytes a character): the NUL byte in nearly every "
           "character ends a line for Falwick, so it reads no key at all; save the file as "
           "plain text (ASCII or ANSI)");
      return;
    }
    if (bytes_.substr(0, 3) == "\xEF\xBB\xBF") {
      size_t end = 3;
      while (end < bytes_.size() && bytes_[end] != '\r' && bytes_[end] != '\n') ++end;
      const InfoLine first = SplitInfoLine(bytes_.substr(3, end - 3));
      Warn(Trap::kByteOrderMark, 1,
           "the file starts with a UTF-8 byte-order mark (bytes EF BB BF), which Falwick reads "
           "as three characters in front of the first line" +
               (first.key != InfoKey::kNone
                    ? std::string(", so ") + Quote(first.text) + " is not read as " +
                          std::string(InfoKeyName(first.key))
                    : std::string(" (harmless only while that line holds no key)")) +
               "; save the file without a byte-order mark");
    }
  }

  void ReadPieces() {
    MemoryByteSource source(bytes_);
    TextModeReader reader(source);
    TextPiece piece;
    size_t cursor = 0;  // where the next piece starts in the file
    bool lineOpen = false;
    while (reader.ReadPiece(piece)) {
      const size_t offset = cursor;
      cursor += piece.text.size();
      // The piece's text is the file's bytes as they stand; its line feed was LF or CR LF.
      if (piece.EndsWithNewline()) cursor += bytes_[cursor] == '\r' ? 2 : 1;
      if (!lineOpen) {
        lineOffset_ = offset;
        lineText_.clear();
        linePieces_.clear();
        lineOpen = true;
      }
      lineText_.append(piece.text);
      ApplyPiece(piece.text, offset);
      if (piece.EndsWithNewline()) {
        FinishLine();
        lineOpen = false;
      }
    }
    if (lineOpen) FinishLine();
  }

  void ApplyPiece(std::string_view text, size_t offset) {
    const int line = LineAt(offset);
    std::array<size_t, kMessageCount> before{};
    for (size_t i = 0; i < kMessageCount; ++i) before[i] = result_.info.messages[i].size();
    ApplyInfoLine(text, result_.info);  // the program's own reading of the piece

    const InfoLine parts = SplitInfoLine(text);
    linePieces_.push_back({offset, text.size(), Describe(parts)});
    const size_t nul = text.find('\0');
    if (nul != std::string_view::npos && !utf16_) {
      Warn(Trap::kNulByte, line,
           "a NUL byte (code 0) ends what Falwick reads of this line: " +
               Quote(text.substr(nul + 1)) + " after it is ignored");
    }
    if (parts.key == InfoKey::kNone) {
      CheckLineWithoutKey(parts.text, line);
    } else {
      CheckKeyLine(parts, line, before);
    }
  }

  static std::string Describe(const InfoLine& parts) {
    if (parts.key == InfoKey::kNone) return "ignored";
    if (!parts.hasValue) return "a key without \"=\", ignored";
    return "read as " + std::string(InfoKeyName(parts.key));
  }

  // A line that sets nothing: say so if it looks as if it should.
  void CheckLineWithoutKey(std::string_view text, int line) {
    size_t start = 0;
    std::string blank;  // what stands before the key
    while (start < text.size()) {
      const char c = text[start];
      if (c == ' ') {
        ++start;
      } else if (c == '\t' || c == '\v' || c == '\f') {
        if (blank.empty()) {
          blank = c == '\t' ? "a tab" : "a " + Quote(text.substr(start, 1)) + " character";
        }
        ++start;
      } else if (static_cast<unsigned char>(c) == 0xA0) {
        if (blank.empty()) blank = "a non-breaking space (byte A0)";
        ++start;
      } else if (text.substr(start, 2) == "\xC2\xA0") {
        if (blank.empty()) blank = "a non-breaking space (UTF-8 C2 A0)";
        start += 2;
      } else {
        break;
      }
    }
    const std::string_view rest = text.substr(start);
    const size_t equals = rest.find('=');
    if (equals == std::string_view::npos) return;  // no key and no value: not meant as one
    const std::string_view written = TrimNumberSpace(rest.substr(0, equals));
    const InfoKey exact = MatchInfoKey(rest);
    const std::string upper = UpperPrefix(rest, 8);
    const InfoKey folded = MatchInfoKey(upper);
    if (exact != InfoKey::kNone) {
      Warn(Trap::kKeyAfterTab, line,
           Quote(rest) + " is not read: it follows " + blank +
               ", and a key must start its line (only spaces may stand before it)");
    } else if (folded != InfoKey::kNone) {
      Warn(Trap::kKeyInWrongCase, line,
           Quote(written) + " is not read: keys are case-sensitive, write " +
               std::string(InfoKeyName(folded)) +
               (blank.empty() ? std::string() : " (and remove " + blank + " before it)"));
    } else if (upper.compare(0, 7, "MESSAGE") == 0) {
      Warn(Trap::kUnknownKey, line,
           Quote(written) + " is not a key Falwick reads (only MESSAGE1, MESSAGE2 and "
                            "MESSAGE3): the line is ignored");
    }
  }

  void CheckKeyLine(const InfoLine& parts, int line, const std::array<size_t, 3>& before) {
    const std::string name(InfoKeyName(parts.key));
    if (!parts.hasValue) {
      Warn(Trap::kKeyWithoutEquals, line,
           Quote(parts.text) + " starts with the key " + name +
               " but has no \"=\": Falwick ignores the line");
      return;
    }
    const size_t equals = parts.text.size() - parts.value.size() - 1;
    const std::string_view written = TrimNumberSpace(parts.text.substr(0, equals));
    if (written.size() > name.size()) {
      Warn(Trap::kKeyReadAsAnother, line,
           Quote(written) + " is read as the key " + name +
               ": Falwick takes a line for a key when it starts with the key's name");
    }
    switch (parts.key) {
      case InfoKey::kVersion:
        CheckVersion(parts.value, line);
        break;
      case InfoKey::kBuild:
        CheckBuild(parts.value, line);
        break;
      case InfoKey::kMessage1:
      case InfoKey::kMessage2:
      case InfoKey::kMessage3:
        CheckMessage(parts, line, before);
        break;
      case InfoKey::kNone:
        break;
    }
  }

  // The value up to a CR (what follows a CR is reported with the CR) without white space.
  static std::string_view NumberText(std::string_view value) {
    return TrimNumberSpace(value.substr(0, value.find('\r')));
  }

  void CheckVersion(std::string_view value, int line) {
    const std::optional<double> version = ScanDouble(value);
    if (!version) {
      Warn(Trap::kValueDoesNotConvert, line,
           "VERSION value " + Quote(value) +
               " is not a number Falwick can read (a decimal number such as 3.5): the line "
               "changes nothing");
      return;
    }
    if (!IsPlainNumber(NumberText(value), false)) {
      Warn(Trap::kValuePartlyRead, line,
           "only the number at the start of VERSION value " + Quote(value) +
               " is read: VERSION becomes " + FormatNumber(*version) +
               " (the decimal point is always \".\")");
    }
    if (result_.versionLine != 0) {
      Warn(Trap::kRepeatedKey, line,
           "VERSION is given again: " + FormatNumber(*version) + " replaces " +
               FormatNumber(version_) + " from line " + std::to_string(result_.versionLine));
    }
    version_ = *version;
    result_.versionLine = line;
  }

  void CheckBuild(std::string_view value, int line) {
    const std::optional<int32_t> build = ScanInt(value);
    if (!build) {
      Warn(Trap::kValueDoesNotConvert, line,
           "BUILD value " + Quote(value) +
               " is not a whole number Falwick can read (from -2147483648 to 2147483647): "
               "the line changes nothing");
      return;
    }
    if (!IsPlainNumber(NumberText(value), true)) {
      Warn(Trap::kValuePartlyRead, line,
           "only the whole number at the start of BUILD value " + Quote(value) +
               " is read: BUILD becomes " + std::to_string(*build));
    }
    if (result_.buildLine != 0) {
      Warn(Trap::kRepeatedKey, line,
           "BUILD is given again: " + std::to_string(*build) + " replaces " +
               std::to_string(build_) + " from line " + std::to_string(result_.buildLine));
    }
    build_ = *build;
    result_.buildLine = line;
  }

  void CheckMessage(const InfoLine& parts, int line, const std::array<size_t, 3>& before) {
    const size_t n = parts.key == InfoKey::kMessage1 ? 0 : parts.key == InfoKey::kMessage2 ? 1 : 2;
    const std::string name(InfoKeyName(parts.key));
    if (result_.messageLine[n] == 0) result_.messageLine[n] = line;
    std::string_view value = parts.value;
    TrimSpaces(value);

    const size_t ampersand = FindUnderliningAmpersand(value);
    if (ampersand != std::string_view::npos) {
      Warn(Trap::kAmpersand, line,
           name + ": " + DescribeAmpersand(value, ampersand) +
               ": in the dialog \"&\" underlines the next character; write \"&&\" for \"&\"");
    }
    const bool nonAscii = std::any_of(value.begin(), value.end(), [](char c) {
      return static_cast<unsigned char>(c) >= 0x80;
    });
    if (nonAscii && !nonAsciiWarned_[n]) {
      nonAsciiWarned_[n] = true;
      Warn(Trap::kNonAscii, line,
           name + " holds characters outside ASCII: the dialog shows each byte as a "
                  "character of the user's ANSI code page, which differs from country to "
                  "country" +
               std::string(HoldsUtf8Sequence(value)
                               ? "; this text is UTF-8, whose characters outside ASCII "
                                 "show as two to four characters each"
                               : ""));
    }
    const size_t wanted = before[n] + (before[n] != 0 ? 1 : 0) + value.size();
    if (wanted > kMaxMessageLength && !tooLongWarned_[n]) {
      tooLongWarned_[n] = true;
      Warn(Trap::kMessageTooLong, line,
           name + " grows past " + Number(kMaxMessageLength) +
               " characters here: Falwick keeps only that much of a message and drops the "
               "rest");
    }
  }

  // A line as the program's reads see it ends: say what its CRs and its length do.
  void FinishLine() {
    if (utf16_) return;  // its bytes are no lines of text at all: said once, at the start
    const size_t size = lineText_.size();
    const int first = LineAt(lineOffset_);
    const int last = size == 0 ? first : LineAt(lineOffset_ + size - 1);
    const size_t cr = lineText_.find('\r');
    const bool crMatters =
        cr != std::string::npos &&
        lineText_.find_first_not_of(" \r\t", cr) != std::string::npos;
    if (crMatters) {
      size_t hidden = 0;
      const std::string keys =
          KeyLinesIn(std::string_view(lineText_).substr(cr + 1), lineOffset_ + cr + 1,
                     *lines_, &hidden);
      Warn(Trap::kCrLineEnds, first,
           Lines(first, last) +
               " are separated by CR alone (no LF), which Falwick does not take as a line "
               "end: it reads them as one line" +
               (hidden == 0 ? std::string()
                            : ", so " + keys + (hidden == 1 ? " is" : " are") +
                                  " not read as a line of its own") +
               "; end lines with CR LF or LF");
    }
    bool restMatters = false;
    for (size_t i = 1; i < linePieces_.size(); ++i) {
      const std::string_view text =
          std::string_view(lineText_).substr(linePieces_[i].offset - lineOffset_,
                                             linePieces_[i].length);
      restMatters = restMatters || text.find_first_not_of(' ') != std::string_view::npos;
    }
    if (!restMatters) return;
    std::string text = (first == last ? "line " + std::to_string(first) + " is "
                                      : Lines(first, last) + ", read as one line, are ") +
                       Number(size) + " characters long: Falwick reads at most " +
                       Number(TextModeReader::kMaxPieceLength) +
                       " characters at a time and handles each piece as a line of its own: ";
    for (size_t i = 0; i < linePieces_.size(); ++i) {
      const PieceSummary& piece = linePieces_[i];
      if (i == 4) {
        text += ", and " + Number(linePieces_.size() - 4) + " more";
        break;
      }
      const size_t from = piece.offset - lineOffset_;
      if (i > 0) text += ", ";
      text += "characters " + Number(from + 1) + "-" + Number(from + piece.length);
      if (i > 0) text += " " + Quote(std::string_view(lineText_).substr(from, piece.length), 16);
      text += " " + piece.shows;
    }
    Warn(Trap::kLongLine, first, text);
  }

  void CheckCtrlZ() {
    const size_t at = bytes_.find(kCtrlZ);
    if (at == std::string_view::npos) return;
    const std::string_view hidden = bytes_.substr(at + 1);
    const bool hidesSomething = std::any_of(hidden.begin(), hidden.end(), [](char c) {
      return !IsNumberSpace(c) && c != kCtrlZ;
    });
    if (!hidesSomething) return;  // a Ctrl-Z that closes the file, as old editors write
    size_t keyCount = 0;
    const std::string keys = KeyLinesIn(hidden, at + 1, *lines_, &keyCount);
    Warn(Trap::kCtrlZ, LineAt(at),
         "a Ctrl-Z character (code 26) ends the file for Falwick: the " +
             Number(hidden.size()) + " bytes after it (to line " +
             std::to_string(lines_->Count()) + ") are never read" +
             (keyCount == 0 ? std::string() : ", among them " + keys));
  }

  void CheckHtml() {
    // A page starts with a tag (after white space, perhaps a byte-order mark) and names
    // itself early on; a message that mentions a tag is no page.
    size_t tag = bytes_.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (tag < bytes_.size() && IsNumberSpace(bytes_[tag])) ++tag;
    if (tag == bytes_.size() || bytes_[tag] != '<') return;
    const std::string head = UpperPrefix(bytes_, 64 * 1024);
    const bool html = head.find("<HTML") != std::string::npos ||
                      head.find("<!DOCTYPE") != std::string::npos ||
                      head.find("<BODY") != std::string::npos ||
                      head.find("<HEAD") != std::string::npos;
    if (!html) return;
    const int line = LineAt(tag);
    size_t end = tag;
    while (end < bytes_.size() && bytes_[end] != '\r' && bytes_[end] != '\n') ++end;
    Warn(Trap::kHtml, line,
         "the file is an HTML page (" + Quote(bytes_.substr(tag, end - tag)) +
             "), not lines of KEY=value: is a web page or a server's error page published at "
             "this address? Falwick reads only lines that start with a key");
  }

  void Conclude() {
    const ProgramVersion& installed = result_.installed;
    const ProgramVersion& newest = result_.info.newest;
    const bool versionSet = result_.versionLine != 0;
    const bool buildSet = result_.buildLine != 0;
    result_.displayVersion = FormatDisplayVersion(newest);
    result_.newer = IsNewerVersion(newest, installed);

    if (!versionSet && !buildSet) {
      Warn(Trap::kNoVersionNoBuild, 0,
           "Falwick reads no VERSION and no BUILD from this file, so the published version "
           "stays equal to the installed one: the file never announces anything, whatever "
           "version a user has");
    } else if (!buildSet) {
      Warn(Trap::kVersionWithoutBuild, 0,
           "there is no BUILD: Falwick keeps each user's own build, so the notice shows the "
           "installed build (" +
               result_.displayVersion + " for this installed version)");
    } else if (!versionSet) {
      Warn(Trap::kBuildWithoutVersion, 0,
           "there is no VERSION: Falwick keeps each user's own version and compares BUILD " +
               std::to_string(newest.build) +
               " with the build of whatever version a user has");
    }
    if (versionSet && std::trunc(newest.version) != newest.version) {
      Warn(Trap::kVersionFraction, result_.versionLine,
           "VERSION " + FormatNumber(newest.version) +
               " has a fraction that the notice does not show: it announces " +
               result_.displayVersion +
               " (the whole part of VERSION, \".0.\", then the build)" +
               (result_.newer && std::trunc(newest.version) == std::trunc(installed.version) &&
                        newest.build <= installed.build
                    ? "; to a user of " + FormatDisplayVersion(installed) +
                          " it announces that as newer"
                    : std::string()));
    }

    const std::string installedText = FormatNumber(installed.version);
    const std::string newestText = FormatNumber(newest.version);
    if (!versionSet && !buildSet) {
      result_.reason = "the file sets neither VERSION nor BUILD, so the published version is "
                       "the installed one";
    } else if (newest.version > installed.version) {
      result_.reason = "VERSION " + newestText + " is larger than the installed version " +
                       installedText;
    } else if (std::fabs(newest.version - installed.version) < 1e-6) {
      const char* equal = newest.version == installed.version
                              ? " equals"
                              : " counts as equal (within 1e-6) to";
      result_.reason = (versionSet ? "VERSION " + newestText + equal
                                   : std::string("without VERSION the published version is")) +
                       " the installed version " + installedText + ", and BUILD " +
                       std::to_string(newest.build) +
                       (result_.newer ? " is larger than" : " is not larger than") +
                       " the installed build " + std::to_string(installed.build);
    } else {
      result_.reason = "VERSION " + newestText + " is smaller than the installed version " +
                       installedText + " (the builds are then not compared)";
    }
    if (!result_.newer && versionSet && buildSet && newest.version == installed.version &&
        newest.build == installed.build) {
      result_.reason += " (the file announces the installed version itself)";
    }

    const std::string messages = ComposeNoticeText(result_.info.messages);
    result_.usesTemplate = messages.empty();
    result_.noticeText =
        ChooseNoticeText(messages, NoticeTemplate(), product_, result_.displayVersion);
    size_t lines = 0;  // as the text area wraps them, estimated
    for (size_t start = 0;;) {
      const size_t end = result_.noticeText.find("\r\n", start);
      const size_t length =
          (end == std::string::npos ? result_.noticeText.size() : end) - start;
      lines += std::max<size_t>(1, (length + kNoticeLineCharacters - 1) / kNoticeLineCharacters);
      if (end == std::string::npos) break;
      start = end + 2;
    }
    if (lines > kNoticeLines) {
      Warn(Trap::kNoticeTooLong, 0,
           "the notice text takes about " + Number(lines) +
               " lines in the dialog, whose text area shows about " + Number(kNoticeLines) +
               " of about " + Number(kNoticeLineCharacters) +
               " characters: the rest is cut off (see it with scripts/preview)");
    }
    const size_t ampersand = FindUnderliningAmpersand(product_);
    if (result_.usesTemplate && ampersand != std::string_view::npos) {
      Warn(Trap::kAmpersand, 0,
           "the product name: " + DescribeAmpersand(product_, ampersand) +
               " in the standard sentence: in the dialog \"&\" underlines the next "
               "character");
    }
  }

  std::string_view bytes_;
  std::string_view product_;
  std::optional<LineIndex> lines_;
  InfoCheck result_;
  std::array<size_t, static_cast<size_t>(Trap::kCount)> counts_{};
  bool utf16_ = false;
  double version_ = 0;
  int32_t build_ = 0;
  std::array<bool, 3> nonAsciiWarned_{};
  std::array<bool, 3> tooLongWarned_{};
  // The line being read: where it starts, its text, and its pieces.
  size_t lineOffset_ = 0;
  std::string lineText_;
  std::vector<PieceSummary> linePieces_;
};

// Splits `message` into pieces of at most `room` characters at single spaces (a space
// between two other characters), which joining puts back. Empty `error` on success.
std::vector<std::string_view> SplitMessage(std::string_view message, size_t room,
                                           std::string& error) {
  std::vector<std::string_view> pieces;
  size_t start = 0;
  while (message.size() - start > room) {
    size_t split = std::string_view::npos;
    for (size_t i = start + room; i > start; --i) {
      if (message[i] == ' ' && message[i - 1] != ' ' && message[i + 1] != ' ') {
        split = i;
        break;
      }
    }
    if (split == std::string_view::npos) {
      const std::string_view stretch = message.substr(start, room + 1);
      size_t word = 0;  // the longest run without a space in the stretch
      for (size_t i = 0, run = 0; i < stretch.size(); ++i) {
        run = stretch[i] == ' ' ? 0 : run + 1;
        word = std::max(word, run);
      }
      error = word > room
                  ? Quote(stretch, 24) + " is longer than a line holds (" + Number(room) +
                        " characters) and has no space to break it at"
                  : Quote(stretch, 24) + " has no single space to break it at within " +
                        Number(room) +
                        " characters, only runs of spaces, which read back as one space";
      return {};
    }
    pieces.push_back(message.substr(start, split - start));
    start = split + 1;
  }
  pieces.push_back(message.substr(start));
  return pieces;
}

}  // namespace

std::string EscapeBytes(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '\t') {
      out += "\\t";
    } else if (byte == '\r') {
      out += "\\r";
    } else if (byte == '\n') {
      out += "\\n";
    } else if (byte == '\\') {
      out += "\\\\";
    } else if (byte < 0x20 || byte >= 0x7F) {
      char escaped[8];
      (void)std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out;
}

std::string_view NoticeTemplate() { return FALWICK_NOTICE_TEMPLATE; }

std::string FormatNumber(double value) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

InfoCheck CheckInfoFile(std::string_view bytes, const ProgramVersion& installed,
                        std::string_view productName) {
  return Checker(bytes, installed, productName).Run();
}

WrittenInfoFile WriteInfoFile(const InfoFileContent& content) {
  WrittenInfoFile out;
  const auto refuse = [&out](std::string why) {
    out.ok = false;
    out.text.clear();
    out.error = std::move(why);
    return out;
  };

  const std::optional<double> version = ScanDouble(content.version);
  if (!IsPlainNumber(content.version, false) || !version) {
    return refuse("VERSION " + Quote(content.version) +
                  (version && !IsPlainNumber(content.version, false)
                       ? " would be read as " + FormatNumber(*version)
                       : std::string(" is not a number Falwick can read")) +
                  ": give a decimal number such as 3.5, without spaces");
  }
  const std::optional<int32_t> build = ScanInt(content.build);
  if (!IsPlainNumber(content.build, true) || !build) {
    return refuse("BUILD " + Quote(content.build) +
                  (build && !IsPlainNumber(content.build, true)
                       ? " would be read as " + std::to_string(*build)
                       : std::string(" is not a whole number Falwick can read")) +
                  ": give a whole number from -2147483648 to 2147483647, such as 14");
  }
  out.text = "VERSION=" + content.version + "\r\nBUILD=" + content.build + "\r\n";
  if (std::trunc(*version) != *version) {
    out.notes.push_back("VERSION " + content.version + " shows as " +
                        FormatDisplayVersion({*version, *build}) +
                        " in the notice: the display version drops the fraction");
  }

  const InfoKey keys[] = {InfoKey::kMessage1, InfoKey::kMessage2, InfoKey::kMessage3};
  for (size_t n = 0; n < 3; ++n) {
    const std::string& message = content.messages[n];
    if (message.empty()) continue;
    const std::string name(InfoKeyName(keys[n]));
    const size_t bad = message.find_first_of(std::string_view("\r\n\0\x1a", 4));
    if (bad != std::string::npos) {
      const char c = message[bad];
      return refuse(name + " holds " +
                    (c == '\0'       ? std::string("a NUL byte, which ends a line for Falwick")
                     : c == kCtrlZ   ? std::string("a Ctrl-Z, which ends the file for Falwick")
                                     : std::string("a line break, which a line cannot hold")) +
                    " (the notice puts blank lines between the messages itself)");
    }
    if (message.front() == ' ' || message.back() == ' ') {
      return refuse(name + (message.front() == ' ' ? " starts" : " ends") +
                    " with a space, which Falwick trims from every line");
    }
    if (message.size() > kMaxMessageLength) {
      return refuse(name + " has " + Number(message.size()) + " characters; Falwick keeps " +
                    Number(kMaxMessageLength) + " of a message");
    }
    std::string error;
    const size_t room = kMaxWrittenLineLength - name.size() - 1;
    const std::vector<std::string_view> pieces = SplitMessage(message, room, error);
    if (!error.empty()) {
      return refuse(name + " cannot be split into lines that Falwick reads whole and joins "
                           "with one space: " + error);
    }
    for (const std::string_view piece : pieces) {
      out.text += name + "=" + std::string(piece) + "\r\n";
    }
    const size_t ampersand = FindUnderliningAmpersand(message);
    if (ampersand != std::string::npos) {
      out.notes.push_back(name + ": " + DescribeAmpersand(message, ampersand) +
                          " in the dialog; write \"&&\" for \"&\"");
    }
    if (std::any_of(message.begin(), message.end(),
                    [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
      out.notes.push_back(name + " holds characters outside ASCII: the dialog shows each byte "
                                 "as a character of the user's ANSI code page");
    }
  }

  // Whatever the rules above miss, the program's own reading catches.
  UpdateInfo back;
  back.newest = {std::nan(""), *build == 0 ? 1 : 0};
  MemoryByteSource source(out.text);
  ReadUpdateInfoText(source, back);
  if (!(back.newest.version == *version) || back.newest.build != *build ||
      back.messages != content.messages) {
    return refuse("the file would not read back as given");
  }
  out.ok = true;
  return out;
}
