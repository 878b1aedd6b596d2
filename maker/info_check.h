// What Falwick makes of an update-information file, for the product's maker: the values
// it reads, whether they announce a newer version, the exact notice text, and the traps
// that make a file read differently from how it looks. Everything here is worked out
// with the program's own reading code (TextModeReader, SplitInfoLine / ApplyInfoLine,
// ScanDouble / ScanInt, IsNewerVersion, FormatDisplayVersion, ComposeNoticeText,
// ChooseNoticeText), so the tool and the program cannot disagree.
//
// Also the other way round: writing a well-formed file that reads back exactly as meant.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "update/program_version.h"
#include "update/update_info.h"

// `text` with tabs, CR, LF, backslashes, other control characters and bytes outside
// ASCII written as escapes (\t, \r, \n, \\, \xNN), for showing file contents.
std::string EscapeBytes(std::string_view text);

// The notice dialog's standard sentence, from the header the resource script uses.
std::string_view NoticeTemplate();

// The kinds of trap a file can hold.
enum class Trap {
  kFileTooLarge,          // more than Falwick stores of a download
  kByteOrderMark,         // UTF-8 byte-order mark before the first key
  kUtf16,                 // UTF-16 text: NUL bytes end every line
  kNulByte,               // a NUL byte cuts a line short
  kHtml,                  // a web page rather than key lines
  kCtrlZ,                 // Ctrl-Z ends the file early
  kCrLineEnds,            // CR alone, which does not end a line
  kLongLine,              // more than 259 characters: read in pieces
  kKeyAfterTab,           // a key after a tab or other white space than spaces
  kKeyInWrongCase,        // "Version=" and the like
  kUnknownKey,            // MESSAGE4=, MESSAGE0=
  kKeyWithoutEquals,      // "VERSION 3.5"
  kKeyReadAsAnother,      // "MESSAGE12=" is MESSAGE1, "VERSIONS=" is VERSION
  kValueDoesNotConvert,   // "VERSION=three"
  kValuePartlyRead,       // "VERSION=3,5" reads 3
  kRepeatedKey,           // a second VERSION or BUILD replaces the first
  kNoVersionNoBuild,      // never announces anything
  kVersionWithoutBuild,   // the notice shows each user's own build
  kBuildWithoutVersion,   // compared with each user's own version
  kVersionFraction,       // the display version drops it
  kAmpersand,             // "&" underlines instead of showing
  kNonAscii,              // shown in the user's ANSI code page
  kMessageTooLong,        // cut at kMaxMessageLength
  kNoticeTooLong,         // more text than the dialog's text area shows
  kCount
};

struct InfoWarning {
  Trap trap;
  int line;  // 1-based line of the file as an editor shows it; 0 for the whole file
  std::string text;
};

struct InfoCheck {
  ProgramVersion installed;
  UpdateInfo info;  // what Falwick reads, started from the installed version
  int lineCount = 0;
  int versionLine = 0;  // line whose VERSION took effect; 0 when none did
  int buildLine = 0;
  std::array<int, 3> messageLine{};  // first line of each message; 0 when none
  bool newer = false;                // the notice dialog appears
  std::string reason;                // why (not) newer, in a sentence
  std::string displayVersion;
  bool usesTemplate = false;  // no message: the standard sentence is shown
  std::string noticeText;     // exactly the text the dialog's text control gets
  std::vector<InfoWarning> warnings;  // at most kMaxWarningsPerTrap of each kind, in line order
  std::array<size_t, static_cast<size_t>(Trap::kCount)> omitted{};  // further ones
};

constexpr size_t kMaxWarningsPerTrap = 10;

// Reads `bytes` as Falwick reads a downloaded info file, for a user who has `installed`
// and a host that calls itself `productName`.
InfoCheck CheckInfoFile(std::string_view bytes, const ProgramVersion& installed,
                        std::string_view productName);

// The shortest decimal form that reads back as `value` ("3.5", "3", "0.1").
std::string FormatNumber(double value);

// What a maker wants published.
struct InfoFileContent {
  std::string version;  // as it is to stand in the file, such as "3.5"
  std::string build;    // such as "14"
  Messages messages;  // empty: no such key
};

struct WrittenInfoFile {
  bool ok = false;
  std::string text;                // the file, CR-LF line ends
  std::string error;               // why nothing was written
  std::vector<std::string> notes;  // written, but worth knowing
};

// Each line holds at most this many characters before its CR LF, so that one read of
// the program (259 characters, line feed included) takes the whole line.
constexpr size_t kMaxWrittenLineLength = 258;

// A file that Falwick reads back to exactly `content`: messages too long for a line are
// split at single spaces over several lines of their key. Refuses (ok false) what cannot
// read back the same: numbers that do not convert whole, messages with line breaks,
// NUL or Ctrl-Z, spaces at their ends, more than kMaxMessageLength characters, or a
// stretch longer than a line without a single space to break at.
WrittenInfoFile WriteInfoFile(const InfoFileContent& content);
