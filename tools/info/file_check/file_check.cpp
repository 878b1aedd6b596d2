#include "tools/info/file_check/file_check.h"

#include <algorithm>

#include "tools/info/file_check/piece_checker.h"
#include "update/download.h"

namespace {

constexpr std::string_view kTrapIds[] = {
    "file-too-large",     "byte-order-mark",        "utf-16",
    "nul-byte",           "html-page",              "ctrl-z",
    "cr-line-ends",       "long-line",              "key-after-tab",
    "key-in-wrong-case",  "unknown-key",            "key-without-equals",
    "key-read-as-another", "value-does-not-convert", "value-partly-read",
    "repeated-key",       "no-version-no-build",    "version-without-build",
    "build-without-version", "version-fraction",    "ampersand",
    "non-ascii",          "message-too-long",       "notice-too-long",
};
static_assert(std::size(kTrapIds) == static_cast<size_t>(Trap::kCount), "one id a trap");

bool KeysRead(const InfoCheck& check) {
  return check.versionLine != 0 || check.buildLine != 0 ||
         std::any_of(check.messageLine.begin(), check.messageLine.end(),
                     [](int line) { return line != 0; });
}

bool Reports(const InfoCheck& check, Trap trap) {
  return std::any_of(check.warnings.begin(), check.warnings.end(),
                     [trap](const InfoWarning& warning) { return warning.trap == trap; });
}

}  // namespace

std::string_view TrapId(Trap trap) { return kTrapIds[static_cast<size_t>(trap)]; }

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
  std::stable_sort(result_.warnings.begin(), result_.warnings.end(),
                   [](const InfoWarning& a, const InfoWarning& b) { return a.line < b.line; });
  return std::move(result_);
}

void InfoChecker::Warn(Trap trap, int line, std::string text) {
  const auto kind = static_cast<size_t>(trap);
  if (++counts_[kind] > kMaxWarningsPerTrap) {
    ++result_.omitted[kind];
    return;
  }
  result_.warnings.push_back({trap, line, std::move(text)});
}

void InfoChecker::OnPiece(const TextPiece& piece, const UpdateInfo& info) {
  if (linePieces_.empty()) lineOffset_ = piece.offset;
  CheckPiece(piece, info);
  if (piece.end != PieceEnd::kFull) FinishLine();  // the line goes on only after a full piece
}

void InfoChecker::OnEnd(const TextModeReader& reader) {
  if (!linePieces_.empty()) FinishLine();
  if (reader.End() == TextEnd::kCtrlZ) ctrlZ_ = reader.Offset();
}

InfoCheck CheckInfoFile(std::string_view bytes, const ProgramVersion& installed,
                        std::string_view productName) {
  InfoCheck check = InfoChecker(bytes, installed, productName, true).Run();
  // Bytes that look like UTF-16 (a NUL in every other place) and yet hold key lines that
  // Falwick reads are no UTF-16 text: their lines are checked one by one instead.
  if (KeysRead(check) && Reports(check, Trap::kUtf16)) {
    check = InfoChecker(bytes, installed, productName, false).Run();
  }
  return check;
}
