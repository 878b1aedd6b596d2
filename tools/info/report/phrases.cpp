#include "tools/info/report/phrases.h"

#include <charconv>
#include <cstdio>

#include "base/number_scan.h"

std::string EscapeBytes(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const char* named = c == '\t' ? "\\t" : c == '\r' ? "\\r" : c == '\n' ? "\\n" : nullptr;
    if (c == '\\') named = "\\\\";
    if (named != nullptr) {
      out += named;
    } else if (byte < 0x20 || byte >= 0x7F) {
      char escaped[8];
      (void)std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out;
}

std::string Quote(std::string_view text, size_t limit) {
  if (text.size() <= limit) return "'" + EscapeBytes(text) + "'";
  return "'" + EscapeBytes(text.substr(0, limit)) + "...'";
}

std::string FormatNumber(double value) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

std::string Hex(uint32_t value, int digits) {
  char text[16];
  (void)std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(value));
  return text;
}

std::string Lines(int first, int last) {
  return first == last ? "line " + std::to_string(first)
                       : "lines " + std::to_string(first) + "-" + std::to_string(last);
}

std::string_view TrimWhiteSpace(std::string_view text) {
  while (!text.empty() && IsScanSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsScanSpace(text.back())) text.remove_suffix(1);
  return text;
}

std::string Upper(std::string_view text, size_t length) {
  std::string upper(text.substr(0, length));
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

size_t FindUnderliningAmpersand(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (i + 1 < text.size() && text[i + 1] == '&') {
      ++i;  // "&&" shows one "&"
      continue;
    }
    return i;
  }
  return std::string_view::npos;
}

std::string DescribeAmpersand(std::string_view text, size_t at) {
  const size_t from = at >= 12 ? at - 12 : 0;
  const std::string_view before = text.substr(from, at - from);
  if (at + 1 >= text.size()) {
    return Quote(text.substr(from)) + " ends in a single \"&\", which the dialog does not show";
  }
  const std::string_view after = text.substr(at + 1, 12);
  return Quote(text.substr(from, at - from + 13)) + " shows as " +
         Quote(std::string(before) + std::string(after)) + " with " +
         Quote(text.substr(at + 1, 1)) + " underlined";
}
