// The checker behind CheckInfoFile, one object that the program's reader tells about
// every piece it reads. Its parts live by concern: info_checker.cpp (the run and the file
// as a whole), line_traps.cpp (the pieces: keys and values), notice_traps.cpp (the
// verdict and what the notice shows).
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/info/file/editor_lines.h"
#include "tools/info/file/info_check.h"
#include "base/text_mode_reader.h"
#include "update/info_file.h"

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
