// The ANSI side of Windows for tests: a Western code page and a volume's short names.
#pragma once

#include <map>
#include <string>

#include "platform/path_spelling.h"

// A Western code page as Windows converts to it: Latin-1 letters as they are, a few
// best-fit look-alikes, "?" for the rest; and the short names a volume keeps.
class WesternNames : public PathNames {
 public:
  std::map<std::u16string, std::u16string> shortForms;

  std::string ToAnsi(std::u16string_view path) const override {
    std::string ansi;
    for (const char16_t c : path) {
      if (c < 0x100) {
        ansi += static_cast<char>(c);
      } else if (c == u'\uFF02') {  // fullwidth quotation mark
        ansi += '"';
      } else if (c == u'\u0141') {  // L with stroke
        ansi += 'L';
      } else {
        ansi += '?';
      }
    }
    return ansi;
  }
  std::u16string FromAnsi(std::string_view path) const override {
    std::u16string wide;
    for (const char c : path) wide += static_cast<char16_t>(static_cast<unsigned char>(c));
    return wide;
  }
  std::u16string ShortForm(const std::u16string& path) const override {
    const auto found = shortForms.find(path);
    return found == shortForms.end() ? std::u16string() : found->second;
  }
};
