#include "update/info_file.h"

#include <cstring>

#include "base/number_scan.h"
#include "base/text_mode_reader.h"

namespace {

constexpr std::string_view kKeyNames[] = {"VERSION", "BUILD", "MESSAGE1", "MESSAGE2",
                                          "MESSAGE3"};
constexpr InfoKey kKeys[] = {InfoKey::kVersion, InfoKey::kBuild, InfoKey::kMessage1,
                             InfoKey::kMessage2, InfoKey::kMessage3};

void AppendMessage(std::string& message, std::string_view text) {
  TrimSpaces(text);
  // A message line after another is joined to it with one space, even when it is empty.
  if (!message.empty() && message.size() < kMaxMessageLength) message += ' ';
  const size_t room = kMaxMessageLength - message.size();
  message.append(text.substr(0, room));
}

}  // namespace

void TrimSpaces(std::string_view& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) {
    text = text.substr(0, 0);
    return;
  }
  text = text.substr(first, text.find_last_not_of(' ') - first + 1);
}

void TrimSpaces(std::string& text) {
  std::string_view view(text);
  TrimSpaces(view);
  text = std::string(view);
}

InfoKey MatchInfoKey(std::string_view trimmedLine) {
  for (size_t k = 0; k < std::size(kKeyNames); ++k) {
    if (trimmedLine.substr(0, kKeyNames[k].size()) == kKeyNames[k]) return kKeys[k];
  }
  return InfoKey::kNone;
}

std::string_view InfoKeyName(InfoKey key) {
  for (size_t k = 0; k < std::size(kKeys); ++k) {
    if (kKeys[k] == key) return kKeyNames[k];
  }
  return {};
}

InfoLine SplitInfoLine(std::string_view piece) {
  InfoLine line;
  // The run-time library hands the line over as a C string: a NUL byte ends it.
  const void* nul = std::memchr(piece.data(), '\0', piece.size());
  if (nul != nullptr) {
    line.nul = static_cast<size_t>(static_cast<const char*>(nul) - piece.data());
    piece = piece.substr(0, line.nul);
  }
  TrimSpaces(piece);
  line.text = piece;
  line.key = MatchInfoKey(piece);
  if (line.key == InfoKey::kNone) return line;  // other lines are not looked into
  const size_t equals = piece.find('=');
  if (equals != std::string_view::npos) {
    line.hasValue = true;
    line.value = piece.substr(equals + 1);
  }
  return line;
}

void ApplyInfoLine(std::string_view piece, UpdateInfo& info) {
  // Most lines hold no key: their first character other than a space settles that
  // before the whole line is scanned. (A NUL byte cuts the line at or after that
  // character, so it cannot make a key line of such a line either.)
  const size_t first = piece.find_first_not_of(' ');
  if (first == std::string_view::npos) return;
  bool mayBeKey = false;
  for (const std::string_view name : kKeyNames) mayBeKey = mayBeKey || piece[first] == name[0];
  if (!mayBeKey) return;

  const InfoLine line = SplitInfoLine(piece);
  const InfoKey key = line.key;
  if (key == InfoKey::kNone || !line.hasValue) return;  // no key, or a key without a value
  const std::string_view value = line.value;

  switch (key) {
    case InfoKey::kVersion:
      if (const auto version = ScanDouble(value)) info.newest.version = *version;
      break;
    case InfoKey::kBuild:
      if (const auto build = ScanInt(value)) info.newest.build = *build;
      break;
    case InfoKey::kMessage1:
    case InfoKey::kMessage2:
    case InfoKey::kMessage3:
      AppendMessage(info.messages[MessageIndex(key)], value);
      break;
    case InfoKey::kNone:
      break;
  }
}

void ReadUpdateInfoText(File& source, UpdateInfo& info, InfoReadObserver* observer) {
  TextModeReader reader(source);
  TextPiece piece;
  while (reader.ReadPiece(piece)) {
    if (observer != nullptr) observer->OnPiece(piece, info);
    ApplyInfoLine(piece.text, info);
  }
  if (observer != nullptr) observer->OnEnd(reader);
}

UpdateInfo ReadUpdateInfo(Files& files, const std::string& path,
                          const ProgramVersion& installed) {
  UpdateInfo info;
  info.newest = installed;
  // Closed before the deletion: an open file cannot be deleted.
  if (const std::unique_ptr<File> file = files.OpenForReading(path)) {
    ReadUpdateInfoText(*file, info);
  }
  files.Delete(path);
  return info;
}
