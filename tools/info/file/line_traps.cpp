// The traps of single lines: keys that are not read or read as another, values that do
// not convert or convert only in part, messages, NUL bytes, lone CRs and long lines.
#include <algorithm>
#include <cmath>

#include "tools/info/file/info_check.h"
#include "tools/info/report/phrases.h"
#include "base/number_scan.h"

namespace {

std::string Describe(const InfoLine& parts) {
  if (parts.key == InfoKey::kNone) return "ignored";
  if (!parts.hasValue) return "a key without \"=\", ignored";
  return "read as " + std::string(InfoKeyName(parts.key));
}

// Whether the number is all the value holds, up to a CR (what follows a CR is reported
// with the CR): only white space may follow where the conversion stopped.
bool ReadWhole(std::string_view value, const NumberScan& scan) {
  const std::string_view rest = value.substr(scan.end, value.find('\r', scan.end) - scan.end);
  return std::all_of(rest.begin(), rest.end(), IsScanSpace);
}

bool IsNonAscii(char c) { return static_cast<unsigned char>(c) >= 0x80; }

// Whether some bytes of `text` form a UTF-8 character of two or more bytes.
bool HoldsUtf8Sequence(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t length =
        lead >= 0xF5 ? 0 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length != 0 && i + length <= text.size() &&
        std::all_of(text.begin() + i + 1, text.begin() + i + length,
                    [](char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; })) {
      return true;
    }
  }
  return false;
}

}  // namespace

void InfoChecker::OnPiece(const TextPiece& piece, const UpdateInfo& info) {
  if (linePieces_.empty()) lineOffset_ = piece.offset;
  const int line = LineAt(piece.offset);
  const InfoLine parts = SplitInfoLine(piece.text);  // as ApplyInfoLine takes it apart
  linePieces_.push_back({piece.offset, piece.text.size(), piece.loneCr});
  if (parts.nul != std::string_view::npos && !utf16_) {
    Warn(Trap::kNulByte, line,
         "a NUL byte (code 0) ends what Falwick reads of this line: " +
             Quote(piece.text.substr(parts.nul + 1)) + " after it is ignored");
  }
  if (parts.key == InfoKey::kNone) {
    CheckLineWithoutKey(parts.text, line);
  } else {
    CheckKeyLine(parts, line, info);
  }
  if (piece.end != PieceEnd::kFull) FinishLine();  // the line goes on only after a full piece
}

// A line that sets nothing: say so if it looks as if it should.
void InfoChecker::CheckLineWithoutKey(std::string_view text, int line) {
  size_t start = 0;
  std::string blank;  // the first white space other than a space before the key
  for (size_t width = 1; start < text.size(); start += width) {
    const char c = text[start];
    width = text.compare(start, 2, "\xC2\xA0") == 0 ? 2 : 1;
    const std::string seen =
        c == '\t'                               ? "a tab"
        : c == '\v' || c == '\f'                ? "a " + Quote(text.substr(start, 1)) + " character"
        : static_cast<unsigned char>(c) == 0xA0 ? "a non-breaking space (byte A0)"
        : width == 2                            ? "a non-breaking space (UTF-8 C2 A0)"
                                                : "";
    if (seen.empty() && c != ' ') break;
    if (blank.empty()) blank = seen;
  }
  const std::string_view rest = text.substr(start);
  const size_t equals = rest.find('=');
  if (equals == std::string_view::npos) return;  // no key and no value: not meant as one
  const std::string_view written = TrimWhiteSpace(rest.substr(0, equals));
  const InfoKey exact = MatchInfoKey(rest);
  const std::string upper = Upper(rest, 8);
  const InfoKey folded = MatchInfoKey(upper);
  if (exact != InfoKey::kNone) {
    Warn(Trap::kKeyAfterTab, line,
         Quote(rest) + " is not read: it follows " + blank +
             ", and a key must start its line (only spaces may stand before it)",
         "remove " + blank + " before the key");
  } else if (folded != InfoKey::kNone) {
    Warn(Trap::kKeyInWrongCase, line,
         Quote(written) + " is not read: keys are case-sensitive",
         "write " + std::string(InfoKeyName(folded)) +
             (blank.empty() ? std::string() : " (and remove " + blank + " before it)"));
  } else if (upper.compare(0, 7, "MESSAGE") == 0) {
    Warn(Trap::kUnknownKey, line,
         Quote(written) + " is not a key Falwick reads (only MESSAGE1, MESSAGE2 and "
                          "MESSAGE3): the line is ignored");
  }
}

void InfoChecker::CheckKeyLine(const InfoLine& parts, int line, const UpdateInfo& info) {
  const std::string name(InfoKeyName(parts.key));
  if (!parts.hasValue) {
    Warn(Trap::kKeyWithoutEquals, line,
         Quote(parts.text) + " starts with the key " + name +
             " but has no \"=\": Falwick ignores the line",
         "write " + name + "=value");
    return;
  }
  const size_t equals = parts.text.size() - parts.value.size() - 1;
  const std::string_view written = TrimWhiteSpace(parts.text.substr(0, equals));
  if (written.size() > name.size()) {
    Warn(Trap::kKeyReadAsAnother, line,
         Quote(written) + " is read as the key " + name +
             ": Falwick takes a line for a key when it starts with the key's name");
  }
  if (parts.key == InfoKey::kVersion) {
    CheckVersion(parts.value, line);
  } else if (parts.key == InfoKey::kBuild) {
    CheckBuild(parts.value, line);
  } else {
    CheckMessage(parts, line, info);
  }
}

void InfoChecker::CheckVersion(std::string_view value, int line) {
  NumberScan scan;
  const std::optional<double> version = ScanDouble(value, scan);
  if (!version) {
    Warn(Trap::kValueDoesNotConvert, line,
         "VERSION value " + Quote(value) +
             " is not a number Falwick can read (a decimal number such as 3.5): the line "
             "changes nothing");
    return;
  }
  const std::string_view number = value.substr(scan.start, scan.end - scan.start);
  const size_t point = number.find('.');
  const std::string_view fraction =
      point == std::string_view::npos ? std::string_view() : number.substr(point + 1);
  if (fraction.size() >= 2 && fraction.back() == '0' &&
      fraction.find_first_not_of('0') != std::string_view::npos &&
      fraction.find_first_of("eE") == std::string_view::npos) {
    const std::string read = FormatNumber(*version);
    const double whole = std::trunc(*version);
    const bool belowNine = *version - whole < 0.9;
    Warn(Trap::kVersionDecimals, line,
         "VERSION " + std::string(number) + " is the decimal number " + read +
             ": Falwick compares VERSION as one number, not part by part, so " +
             std::string(number) + " counts as " + read +
             (belowNine ? ", smaller than " + FormatNumber(whole + 0.9)
                        : std::string()),
         "write VERSION as the decimal number it is to compare as: a release after " +
             FormatNumber(whole + 0.9) + " is " + FormatNumber(whole + 0.91) + " or " +
             FormatNumber(whole + 1) + ", not " + FormatNumber(whole) + ".10");
  }
  if (!ReadWhole(value, scan)) {
    Warn(Trap::kValuePartlyRead, line,
         "only the number at the start of VERSION value " + Quote(value) +
             " is read: VERSION becomes " + FormatNumber(*version) +
             " (the decimal point is always \".\")",
         "write the number alone, with \".\" as its decimal point");
  }
  if (result_.versionLine != 0) {
    Warn(Trap::kRepeatedKey, line,
         "VERSION is given again: " + FormatNumber(*version) + " replaces " +
             FormatNumber(version_) + " from line " + std::to_string(result_.versionLine));
  }
  version_ = *version;
  result_.versionLine = line;
}

void InfoChecker::CheckBuild(std::string_view value, int line) {
  NumberScan scan;
  const std::optional<int32_t> build = ScanInt(value, scan);
  if (!build) {
    Warn(Trap::kValueDoesNotConvert, line,
         "BUILD value " + Quote(value) +
             " is not a whole number Falwick can read (from -2147483648 to 2147483647): "
             "the line changes nothing");
    return;
  }
  if (!ReadWhole(value, scan)) {
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

void InfoChecker::CheckMessage(const InfoLine& parts, int line, const UpdateInfo& info) {
  const size_t n = MessageIndex(parts.key);
  const std::string name(InfoKeyName(parts.key));
  if (result_.messageLine[n] == 0) result_.messageLine[n] = line;
  std::string_view value = parts.value;
  TrimSpaces(value);

  const size_t ampersand = FindUnderliningAmpersand(value);
  if (ampersand != std::string_view::npos) {
    Warn(Trap::kAmpersand, line,
         name + ": " + DescribeAmpersand(value, ampersand) +
             ": in the dialog \"&\" underlines the next character",
         "write \"&&\" for \"&\"");
  }
  if (std::any_of(value.begin(), value.end(), IsNonAscii) && !nonAsciiWarned_[n]) {
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
  const size_t before = info.messages[n].size();
  const size_t wanted = before + (before != 0 ? 1 : 0) + value.size();
  if (wanted > kMaxMessageLength && !tooLongWarned_[n]) {
    tooLongWarned_[n] = true;
    Warn(Trap::kMessageTooLong, line,
         name + " grows past " + std::to_string(kMaxMessageLength) +
             " characters here: Falwick keeps only that much of a message and drops the "
             "rest");
  }
}

// A line as the program reads it ends: say what its lone CRs and its length do.
void InfoChecker::FinishLine() {
  const PieceSummary& last = linePieces_.back();
  const std::string_view text =
      bytes_.substr(lineOffset_, last.offset + last.length - lineOffset_);
  const int first = LineAt(lineOffset_);
  const int lastLine = text.empty() ? first : LineAt(lineOffset_ + text.size() - 1);
  if (!utf16_) {  // UTF-16 bytes are no lines of text at all: said once, at the start
    CheckLoneCr(text, first, lastLine);
    CheckLongLine(text, first, lastLine);
  }
  linePieces_.clear();
}

void InfoChecker::CheckLoneCr(std::string_view text, int first, int last) {
  const auto piece = std::find_if(linePieces_.begin(), linePieces_.end(), [](const auto& p) {
    return p.loneCr != std::string_view::npos;
  });
  if (piece == linePieces_.end()) return;
  const size_t cr = piece->offset - lineOffset_ + piece->loneCr;
  if (text.find_first_not_of(" \r\t", cr) == std::string_view::npos) return;  // hides nothing
  size_t hidden = 0;
  const std::string keys =
      lines_.KeyLinesIn(lineOffset_ + cr + 1, lineOffset_ + text.size(), hidden);
  Warn(Trap::kCrLineEnds, first,
       Lines(first, last) +
           " are separated by CR alone (no LF), which Falwick does not take as a line "
           "end: it reads them as one line" +
           (hidden == 0 ? std::string()
                        : ", so " + keys + (hidden == 1 ? " is" : " are") +
                              " not read as a line of its own"),
       "end lines with CR LF or LF", hidden == 0 ? Severity::kWarning : Severity::kError);
}

void InfoChecker::CheckLongLine(std::string_view text, int first, int last) {
  // Nothing to say while the pieces after the first hold only spaces.
  if (std::all_of(linePieces_.begin() + 1, linePieces_.end(), [&](const PieceSummary& piece) {
        return bytes_.substr(piece.offset, piece.length).find_first_not_of(' ') ==
               std::string_view::npos;
      })) {
    return;
  }
  std::string warning =
      (first == last ? "line " + std::to_string(first) + " is "
                     : Lines(first, last) + ", read as one line, are ") +
      std::to_string(text.size()) + " characters long: Falwick reads at most " +
      std::to_string(TextModeReader::kMaxPieceLength) +
      " characters at a time and handles each piece as a line of its own: ";
  for (size_t i = 0; i < std::min<size_t>(linePieces_.size(), 4); ++i) {
    const size_t from = linePieces_[i].offset - lineOffset_;
    const std::string_view piece = text.substr(from, linePieces_[i].length);
    warning += (i > 0 ? ", characters " : "characters ") + std::to_string(from + 1) + "-" +
               std::to_string(from + piece.size()) +
               (i > 0 ? " " + Quote(piece, 16) : std::string()) + " " +
               Describe(SplitInfoLine(piece));
  }
  if (linePieces_.size() > 4) {
    warning += ", and " + std::to_string(linePieces_.size() - 4) + " more";
  }
  Warn(Trap::kLongLine, first, warning,
       "keep lines to 258 characters; falwick-info write splits a long message over several "
       "lines of its key");
}
