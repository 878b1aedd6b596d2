// What Falwick makes of an update-information file, for the product's maker: the values
// it reads, whether they announce a newer version and why, the exact notice text, and
// the traps that make a file read differently from how it looks. The file is read by the
// program's own ReadUpdateInfoText, whose reader reports every piece and line end it
// sees; the numbers come from ScanDouble / ScanInt, which say where they stopped; the
// verdict is DecideVersion's, the notice FormatDisplayVersion's, ComposeNoticeText's and
// ChooseNoticeText's. So the tool and the program cannot disagree.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/text_mode_reader.h"
#include "tools/info/report/report.h"
#include "update/info_file.h"
#include "update/program_version.h"

// The kinds of trap a file can hold, each with a stable id (TrapId) and a severity; what
// each one is, is said beside its id (info_check.cpp).
enum class Trap {
  kFileTooLarge, kByteOrderMark, kUtf16, kNulByte, kHtml, kCtrlZ, kCrLineEnds, kLongLine,
  kKeyAfterTab, kKeyInWrongCase, kUnknownKey, kKeyWithoutEquals, kKeyReadAsAnother,
  kValueDoesNotConvert, kValuePartlyRead, kVersionDecimals, kRepeatedKey, kNoVersionNoBuild,
  kVersionWithoutBuild, kBuildWithoutVersion, kVersionFraction, kNegativeBuild, kAmpersand,
  kNonAscii, kMessageTooLong, kNoticeTooLong, kCount
};

std::string_view TrapId(Trap trap);  // "byte-order-mark"

struct InfoCheck {
  int lineCount = 0;  // as an editor counts them
  ProgramVersion installed;
  UpdateInfo info;  // what Falwick reads, started from the installed version
  int versionLine = 0;  // line whose VERSION took effect; 0 when none did
  int buildLine = 0;
  std::array<int, kMessageCount> messageLine{};  // first line of each message; 0 when none
  VersionDecision decision;  // decision.newer: the notice dialog appears
  std::string reason;        // why (not) newer, in a sentence
  std::string displayVersion;
  bool usesTemplate = false;  // no message: the standard sentence, with the display version
  std::string noticeText;     // exactly the text the dialog's text control gets
  Findings findings;  // at most kMaxFindingsPerTrap of each kind, in line order
  size_t notListed = 0;  // further ones
};

constexpr size_t kMaxFindingsPerTrap = 10;

// What the dialog's text area (298 x 60 dialog units, 8-point Arial) shows, as measured
// on the notice itself: lines of about 90 characters of ordinary text, 7 of them (an
// eighth shows only its upper half); the rest is cut off.
constexpr size_t kNoticeLineCharacters = 90;
constexpr size_t kNoticeLines = 7;

// Reads `bytes` as Falwick reads a downloaded info file, for a user who has `installed`
// and a host that calls itself `productName`.
InfoCheck CheckInfoFile(std::string_view bytes, const ProgramVersion& installed,
                        std::string_view productName);

// The traps of an installed version as the host passes it (argument 3, --installed): one
// that does not convert (an error: Falwick then takes the oldest version there is), one
// without a build, or one that reads as a plain decimal number ("3.5": version 3, build 5).
Findings InstalledVersionFindings(std::string_view text);

// The check as members of `report` (docs/publishing.md), null but "installed" when nothing
// was read (`check` null). `source` names what was read; `installedText` is the installed
// version as given; `installedGiven` false: the default.
void AddInfoCheck(Fact& report, const InfoCheck* check, const std::string& source,
                  size_t bytes, const std::string& installedText, bool installedGiven);

// About how many lines `noticeText` takes in the dialog's text area: it breaks lines at
// CR LF and at a CR or LF alone, and wraps at spaces; "&" prefixes take no room.
size_t EstimateNoticeLines(std::string_view noticeText);

// Line numbers as a text editor shows them, so that each finding names the line the
// maker sees: CR LF, LF and CR alone each end a line. This is not how Falwick reads the
// file (a lone CR ends no line for it, and it reads nothing after a Ctrl-Z): what it
// reads comes from its own reader; these numbers only label positions in the file.
class EditorLines {
 public:
  explicit EditorLines(std::string_view bytes);

  // The 1-based line that holds the byte at `offset`.
  int LineAt(size_t offset) const;
  // The lines of the file; 0 for an empty file.
  int Count() const;
  // The text of the line that holds `offset`, from `offset` on, without its line end.
  std::string_view RestOfLine(size_t offset) const;

  // The lines in [from, to) of the file that would set a value if Falwick read them as
  // lines of their own, as "'VERSION=4' (line 5), 'BUILD=2' (line 6)" (four at most, then
  // "and N more"); `count` is how many there are.
  std::string KeyLinesIn(size_t from, size_t to, size_t& count) const;

 private:
  std::string_view bytes_;
  std::vector<size_t> starts_;  // of each line
};

// The checker behind CheckInfoFile, which the program's reader tells about every piece
// it reads: info_check.cpp (the run and the file as a whole), line_traps.cpp (keys and
// values), notice_traps.cpp (the verdict and what the notice shows).
class InfoChecker : public InfoReadObserver {
 public:
  // `utf16Allowed`: whether a file that looks like UTF-16 may be reported as such.
  InfoChecker(std::string_view bytes, const ProgramVersion& installed,
              std::string_view product, bool utf16Allowed);
  InfoCheck Run();
  bool ReadAsUtf16() const { return utf16_; }  // once run

  void OnPiece(const TextPiece& piece, const UpdateInfo& info) override;
  void OnEnd(const TextModeReader& reader) override;

 private:
  // A piece of the line being read: where it lies and where its first lone CR is.
  struct PieceSummary {
    size_t offset;
    size_t length;
    size_t loneCr;
  };

  // A finding of `trap`'s kind, of its usual severity unless `severity` is given.
  void Warn(Trap trap, int line, std::string text, std::string fix = {},
            std::optional<Severity> severity = std::nullopt);
  int LineAt(size_t offset) const { return lines_.LineAt(offset); }

  // the file as a whole
  void CheckSize();
  void CheckEncoding();
  void CheckCtrlZ();
  void CheckHtml();

  // line_traps.cpp (and OnPiece)
  void CheckLineWithoutKey(std::string_view text, int line);
  void CheckKeyLine(const InfoLine& parts, int line, const UpdateInfo& info);
  void CheckVersion(std::string_view value, int line);
  void CheckBuild(std::string_view value, int line);
  void CheckMessage(const InfoLine& parts, int line, const UpdateInfo& info);
  void FinishLine();
  void CheckLoneCr(std::string_view text, int first, int last);
  void CheckLongLine(std::string_view text, int first, int last);

  // notice_traps.cpp
  void Conclude();
  std::string Reason() const;
  void CheckDisplayedValues();
  void CheckNoticeText();

  size_t fileSize_;
  std::string_view bytes_;  // what Falwick stores of it
  std::string_view product_;
  EditorLines lines_;
  InfoCheck result_;
  std::array<size_t, static_cast<size_t>(Trap::kCount)> counts_{};
  bool utf16_;  // allowed, then: read as UTF-16 text
  double version_ = 0;
  int32_t build_ = 0;
  std::array<bool, kMessageCount> nonAsciiWarned_{};
  std::array<bool, kMessageCount> tooLongWarned_{};
  std::optional<size_t> ctrlZ_;  // where a Ctrl-Z ended the file
  // The line being read (one or more pieces, up to a line feed): where it starts.
  size_t lineOffset_ = 0;
  std::vector<PieceSummary> linePieces_;
};
