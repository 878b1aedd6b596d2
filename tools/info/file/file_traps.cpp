// The traps of the file as a whole: its size, its encoding, a Ctrl-Z, a web page.
#include <algorithm>

#include "tools/info/file/info_checker.h"
#include "tools/info/report/phrases.h"
#include "update/download.h"
#include "base/number_scan.h"

namespace {

constexpr char kCtrlZ = 26;

}  // namespace

void InfoChecker::CheckSize() {
  if (fileSize_ <= bytes_.size()) return;
  Warn(Trap::kFileTooLarge, 0,
       "the file is larger than " + std::to_string(DownloadUpdateInfo::kMaxStoredBytes) +
           " bytes (16 MiB): Falwick stores and reads only that much of a download");
}

void InfoChecker::CheckEncoding() {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes_[i]); };
  bool utf16 = false;
  if (bytes_.size() >= 2 && ((byte(0) == 0xFF && byte(1) == 0xFE) ||
                             (byte(0) == 0xFE && byte(1) == 0xFF))) {
    utf16 = true;
  } else {
    // Without a byte-order mark: ASCII text in UTF-16 has a NUL in every other byte.
    const size_t pairs = std::min<size_t>(bytes_.size(), 512) / 2;
    size_t evenNuls = 0, oddNuls = 0;
    for (size_t i = 0; i < pairs * 2; ++i) (i % 2 == 0 ? evenNuls : oddNuls) += byte(i) == 0;
    utf16 = pairs >= 2 && std::max(evenNuls, oddNuls) * 2 >= pairs;
  }
  utf16_ = utf16_ && utf16;
  if (utf16_) {
    Warn(Trap::kUtf16, 1,
         "the file is UTF-16 text (two bytes a character): the NUL byte in nearly every "
         "character ends a line for Falwick, so it reads no key at all",
         "save the file as plain text (ASCII or ANSI)");
    return;
  }
  if (bytes_.substr(0, 3) == "\xEF\xBB\xBF") {
    const InfoLine first = SplitInfoLine(lines_.RestOfLine(3));
    const bool hides = first.key != InfoKey::kNone;
    Warn(Trap::kByteOrderMark, 1,
         "the file starts with a UTF-8 byte-order mark (bytes EF BB BF), which Falwick reads "
         "as three characters in front of the first line" +
             (hides ? ", so " + Quote(first.text) + " is not read as " +
                          std::string(InfoKeyName(first.key))
                    : std::string(" (harmless only while that line holds no key)")),
         "save the file without a byte-order mark",
         hides ? Severity::kError : Severity::kWarning);
  }
}

void InfoChecker::CheckCtrlZ() {
  if (!ctrlZ_) return;  // the reader met none
  const size_t at = *ctrlZ_;
  const std::string_view hidden = bytes_.substr(at + 1);
  const bool hidesSomething = std::any_of(hidden.begin(), hidden.end(), [](char c) {
    return !IsScanSpace(c) && c != kCtrlZ;
  });
  if (!hidesSomething) return;  // a Ctrl-Z that closes the file, as old editors write
  size_t keyCount = 0;
  const std::string keys = lines_.KeyLinesIn(at + 1, bytes_.size(), keyCount);
  Warn(Trap::kCtrlZ, LineAt(at),
       "a Ctrl-Z character (code 26) ends the file for Falwick: the " +
           std::to_string(hidden.size()) + " bytes after it (to line " +
           std::to_string(lines_.Count()) + ") are never read" +
           (keyCount == 0 ? std::string() : ", among them " + keys),
       "remove the Ctrl-Z", keyCount == 0 ? Severity::kWarning : Severity::kError);
}

void InfoChecker::CheckHtml() {
  // A page starts with a tag (after white space, perhaps a byte-order mark) and names
  // itself early on; a message that mentions a tag is no page.
  size_t tag = bytes_.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (tag < bytes_.size() && IsScanSpace(bytes_[tag])) ++tag;
  if (tag == bytes_.size() || bytes_[tag] != '<') return;
  const std::string head = UpperPrefix(bytes_, size_t{64} * 1024);
  const bool html = head.find("<HTML") != std::string::npos ||
                    head.find("<!DOCTYPE") != std::string::npos ||
                    head.find("<BODY") != std::string::npos ||
                    head.find("<HEAD") != std::string::npos;
  if (!html) return;
  Warn(Trap::kHtml, LineAt(tag),
       "the file is an HTML page (" + Quote(lines_.RestOfLine(tag)) +
           "), not lines of KEY=value: Falwick reads only lines that start with a key",
       "publish the info file itself at this address, not a web page or a server's error "
       "page");
}
