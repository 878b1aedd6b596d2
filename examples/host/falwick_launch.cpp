#include "falwick_launch.h"

#include <algorithm>

std::string FalwickCommandLine(std::string_view falwickPath, const FalwickRequest& request,
                               CheckMode mode) {
  if (falwickPath.empty() || falwickPath.find('"') != std::string_view::npos) return "";
  if (request.product.empty()) return "";
  const std::string_view tokens[] = {
      request.product,   mode == CheckMode::kExplicit ? "PX" : "PU",
      request.infoUrl,   request.infoFile,
      request.installed, request.settingsFile,
      request.section,   request.key,
      request.downloadUrl,
  };
  // Quoted, so that a directory with spaces ("Program Files") stays the program's name
  // and Falwick's own argument string starts at the first token.
  std::string line = "\"";
  line.append(falwickPath).append("\" ");
  for (const std::string_view token : tokens) {
    if (token.find('>') != std::string_view::npos) return "";
    line.append("<").append(token).append(">");
  }
  return line;
}

EncodedUrl UrlForFalwick(std::string_view utf8Url) {
  struct Encoded {
    const char* name;
    bool seen;
  };
  Encoded kinds[] = {{"space", false}, {"tab", false}, {"quotation mark", false},
                     {"non-ASCII character", false}};
  EncodedUrl result;
  for (const char c : utf8Url) {
    const auto byte = static_cast<unsigned char>(c);
    const size_t kind = c == ' ' ? 0 : c == '\t' ? 1 : c == '"' ? 2 : byte >= 0x80 ? 3 : 4;
    if (kind == 4) {
      result.url += c;
      continue;
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    result.url += '%';
    result.url += kHex[byte >> 4];
    result.url += kHex[byte & 15];
    kinds[kind].seen = true;
  }
  for (const Encoded& kind : kinds) {
    if (!kind.seen) continue;
    if (!result.encoded.empty()) result.encoded += ", ";
    result.encoded += kind.name;
  }
  return result;
}

bool CheckingDisabled(std::string_view value) {
  value = value.substr(0, 9);
  size_t i = 0;
  while (i < value.size() && (value[i] == ' ' || (value[i] >= '\t' && value[i] <= '\r'))) ++i;
  if (i < value.size() && (value[i] == '+' || value[i] == '-')) ++i;
  // Nine characters hold no number outside the 32-bit range (where Falwick would read
  // no number at all), so any non-zero digit in the leading run makes it non-zero.
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
    if (value[i] != '0') return true;
  }
  return false;
}

bool ValidUserFolder(std::string_view folder) {
  if (folder.empty()) return false;
  size_t start = 0;
  while (true) {
    const size_t end = std::min(folder.find('\\', start), folder.size());
    const std::string_view name = folder.substr(start, end - start);
    if (name.empty() || name == "." || name == "..") return false;
    for (const char c : name) {
      if (static_cast<unsigned char>(c) < 0x20 ||
          std::string_view("<>:\"/|?*").find(c) != std::string_view::npos) {
        return false;
      }
    }
    if (end == folder.size()) return true;
    start = end + 1;
  }
}

std::string DirectoryOf(std::string_view modulePath) {
  const size_t slash = modulePath.rfind('\\');
  return slash == std::string_view::npos ? "" : std::string(modulePath.substr(0, slash + 1));
}
