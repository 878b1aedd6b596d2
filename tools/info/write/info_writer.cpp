#include "tools/info/write/info_writer.h"

#include <cmath>
#include <optional>
#include <string_view>

#include "tools/info/file/info_check.h"
#include "tools/info/report/phrases.h"
#include "base/number_scan.h"

namespace {

// Whether the conversion took all of `text`: no white space before the number, nothing
// after it.
bool ConvertsWhole(const NumberScan& scan) {
  return scan.start == 0 && scan.stop == ScanStop::kEndOfText;
}

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
      error = stretch.find(' ') == std::string_view::npos
                  ? Quote(stretch, 24) + " is longer than a line holds (" +
                        std::to_string(room) + " characters) and has no space to break it at"
                  : Quote(stretch, 24) + " has no single space to break it at within " +
                        std::to_string(room) +
                        " characters, only runs of spaces, which read back as one space";
      return {};
    }
    pieces.push_back(message.substr(start, split - start));
    start = split + 1;
  }
  pieces.push_back(message.substr(start));
  return pieces;
}

// Why `message` cannot stand in the file as it is, or empty.
std::string RefuseMessage(const std::string& name, const std::string& message) {
  const size_t bad = message.find_first_of(std::string_view("\r\n\0\x1a", 4));
  if (bad != std::string::npos) {
    const char c = message[bad];
    return name + " holds " +
           (c == '\0' ? std::string("a NUL byte, which ends a line for Falwick")
            : c == TextModeReader::kCtrlZ
                ? std::string("a Ctrl-Z, which ends the file for Falwick")
                : std::string("a line break, which a line cannot hold")) +
           " (the notice puts blank lines between the messages itself)";
  }
  if (message.front() == ' ' || message.back() == ' ') {
    return name + (message.front() == ' ' ? " starts" : " ends") +
           " with a space, which Falwick trims from every line";
  }
  if (message.size() > kMaxMessageLength) {
    return name + " has " + std::to_string(message.size()) + " characters; Falwick keeps " +
           std::to_string(kMaxMessageLength) + " of a message";
  }
  return {};
}

WrittenInfoFile Refused(std::string why) { return {false, {}, std::move(why), {}}; }

}  // namespace

WrittenInfoFile WriteInfoFile(const InfoFileContent& content) {
  NumberScan scan;
  const std::optional<double> version = ScanDouble(content.version, scan);
  if (!version || !ConvertsWhole(scan)) {
    return Refused("VERSION " + Quote(content.version) +
                  (version ? " would be read as " + FormatNumber(*version)
                           : std::string(" is not a number Falwick can read")) +
                  ": give a decimal number such as 3.5, without spaces");
  }
  const std::optional<int32_t> build = ScanInt(content.build, scan);
  if (!build || !ConvertsWhole(scan)) {
    return Refused("BUILD " + Quote(content.build) +
                  (build ? " would be read as " + std::to_string(*build)
                         : std::string(" is not a whole number Falwick can read")) +
                  ": give a whole number from -2147483648 to 2147483647, such as 14");
  }
  std::string text = "VERSION=" + content.version + "\r\nBUILD=" + content.build + "\r\n";

  for (size_t n = 0; n < kMessageCount; ++n) {
    const std::string& message = content.messages[n];
    if (message.empty()) continue;
    const std::string name(InfoKeyName(MessageKey(n)));
    const std::string refused = RefuseMessage(name, message);
    if (!refused.empty()) return Refused(refused);
    std::string error;
    const size_t room = kMaxWrittenLineLength - name.size() - 1;
    const std::vector<std::string_view> pieces = SplitMessage(message, room, error);
    if (!error.empty()) {
      return Refused(name + " cannot be split into lines that Falwick reads whole and joins "
                           "with one space: " + error);
    }
    for (const std::string_view piece : pieces) {
      text += name + "=" + std::string(piece) + "\r\n";
    }
  }

  // Whatever the rules above miss, the program's own reading catches.
  UpdateInfo back;
  back.newest = {std::nan(""), *build == 0 ? 1 : 0};
  MemoryFile source(text);
  ReadUpdateInfoText(source, back);
  if (!(back.newest.version == *version) || back.newest.build != *build ||
      back.messages != content.messages) {
    return Refused("the file would not read back as given");
  }
  // What the notice then shows differently from what was given is check's to say.
  Findings findings = CheckInfoFile(text, ProgramVersion{}, "Product").findings;
  return {true, std::move(text), {}, std::move(findings)};
}
