// The update-information file a product's maker publishes: lines "KEY=value" with the
// keys VERSION, BUILD and MESSAGE1 to MESSAGE3, read the way the program reads it, and
// the downloaded copy of it, read and then deleted.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "update/program_version.h"

class TextModeReader;
struct TextPiece;

// The maker's three messages: messages[0] is MESSAGE1.
constexpr size_t kMessageCount = 3;
using Messages = std::array<std::string, kMessageCount>;

struct UpdateInfo {
  ProgramVersion newest;  // starts as the installed version
  Messages messages;      // MESSAGE1 to MESSAGE3, in this order
};

// Each message keeps at most this much text; what goes past it is dropped, so that no
// file can make the program hold more than a bounded amount of memory.
constexpr size_t kMaxMessageLength = size_t{64} * 1024;

// The keys, in the order a line is tested against them; the first prefix match wins.
enum class InfoKey { kNone, kVersion, kBuild, kMessage1, kMessage2, kMessage3 };

// Removes leading and trailing spaces (code 32 only; tabs stay).
void TrimSpaces(std::string_view& text);
void TrimSpaces(std::string& text);

// The key a line starts with (after leading spaces), matched case-sensitively as a
// prefix: "VERSIONS=3" is a VERSION line, "MESSAGE12=x" a MESSAGE1 line.
InfoKey MatchInfoKey(std::string_view trimmedLine);

// The position in UpdateInfo::messages of a MESSAGEn key (0 for MESSAGE1).
constexpr size_t MessageIndex(InfoKey messageKey) {
  return static_cast<size_t>(messageKey) - static_cast<size_t>(InfoKey::kMessage1);
}

// The MESSAGEn key of a position in UpdateInfo::messages (MESSAGE1 for 0).
constexpr InfoKey MessageKey(size_t index) {
  return static_cast<InfoKey>(static_cast<size_t>(InfoKey::kMessage1) + index);
}

// The name of a key as it stands in the file ("VERSION", ...); empty for kNone.
std::string_view InfoKeyName(InfoKey key);

// One piece of the file taken apart the way ApplyInfoLine takes it: its text up to the
// first NUL byte, trimmed of spaces; the key that text starts with; and, for a line
// that starts with a key, whether it holds an "=" and the text after the first one.
struct InfoLine {
  std::string_view text;
  InfoKey key = InfoKey::kNone;
  bool hasValue = false;
  std::string_view value;
  size_t nul = std::string_view::npos;  // index in the piece of the NUL that ended the text
};
InfoLine SplitInfoLine(std::string_view piece);

// Applies one piece of the file, as the text reader delivers it (without its line
// feed), to `info`. The piece's text ends at its first NUL byte. Lines without "=" and
// values that do not convert change nothing.
void ApplyInfoLine(std::string_view piece, UpdateInfo& info);

// Told about each piece as ReadUpdateInfoText reads it, and about the end of the file:
// for tools that show what the program reads, with the program's own reading.
class InfoReadObserver {
 public:
  virtual ~InfoReadObserver() = default;
  // `info` as it stands before the piece is applied to it.
  virtual void OnPiece(const TextPiece& piece, const UpdateInfo& info) = 0;
  // Why the file ended (TextEnd) and at which offset.
  virtual void OnEnd(const TextModeReader& reader) = 0;
};

// Reads every piece of `source` into `info`, with the run-time library's text-mode rules.
void ReadUpdateInfoText(File& source, UpdateInfo& info,
                        InfoReadObserver* observer = nullptr);

// Reads the info file at `path` into an UpdateInfo whose version starts as `installed`
// (a file that cannot be opened leaves the start values), then deletes the file, whether
// or not it could be opened. A read error ends the file after what was read before it.
UpdateInfo ReadUpdateInfo(Files& files, const std::string& path,
                          const ProgramVersion& installed);
