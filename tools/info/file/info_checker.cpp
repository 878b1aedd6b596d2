#include "tools/info/file/info_checker.h"

#include <algorithm>

#include "update/download.h"

namespace {

struct TrapKind {
  std::string_view id;
  Severity severity;  // as a rule; a finding that hides nothing may be milder
};

constexpr TrapKind kTraps[] = {
    {"file-too-large", Severity::kWarning},        {"byte-order-mark", Severity::kError},
    {"utf-16", Severity::kError},                  {"nul-byte", Severity::kWarning},
    {"html-page", Severity::kError},               {"ctrl-z", Severity::kError},
    {"cr-line-ends", Severity::kError},            {"long-line", Severity::kWarning},
    {"key-after-tab", Severity::kError},           {"key-in-wrong-case", Severity::kError},
    {"unknown-key", Severity::kWarning},           {"key-without-equals", Severity::kError},
    {"key-read-as-another", Severity::kWarning},   {"value-does-not-convert", Severity::kError},
    {"value-partly-read", Severity::kError},       {"version-decimals", Severity::kWarning},
    {"repeated-key", Severity::kWarning},          {"no-version-no-build", Severity::kError},
    {"version-without-build", Severity::kWarning}, {"build-without-version", Severity::kWarning},
    {"version-fraction", Severity::kNote},         {"negative-build", Severity::kWarning},
    {"ampersand", Severity::kWarning},             {"non-ascii", Severity::kWarning},
    {"message-too-long", Severity::kWarning},      {"notice-too-long", Severity::kWarning},
};
static_assert(std::size(kTraps) == static_cast<size_t>(Trap::kCount), "one kind a trap");

bool KeysRead(const InfoCheck& check) {
  return check.versionLine != 0 || check.buildLine != 0 ||
         std::any_of(check.messageLine.begin(), check.messageLine.end(),
                     [](int line) { return line != 0; });
}

bool Reports(const InfoCheck& check, Trap trap) {
  return std::any_of(check.findings.begin(), check.findings.end(),
                     [trap](const Finding& finding) { return finding.id == TrapId(trap); });
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
