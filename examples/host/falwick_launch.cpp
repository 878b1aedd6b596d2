#include "falwick_launch.h"

#include <algorithm>
#include <iterator>

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

BrowserUrl UrlForBrowser(std::string_view url) {
  struct Split {
    char c;
    const char* code;
    const char* name;
  };
  static constexpr Split kSplits[] = {
      {' ', "%20", "space"}, {'\t', "%09", "tab"}, {'"', "%22", "quotation mark"}};
  BrowserUrl result;
  bool seen[std::size(kSplits)] = {};
  for (const char c : url) {
    size_t i = 0;
    while (i < std::size(kSplits) && kSplits[i].c != c) ++i;
    if (i == std::size(kSplits)) {
      result.url += c;
      continue;
    }
    result.url += kSplits[i].code;
    seen[i] = true;
  }
  for (size_t i = 0; i < std::size(kSplits); ++i) {
    if (!seen[i]) continue;
    if (!result.encoded.empty()) result.encoded += ", ";
    result.encoded += kSplits[i].name;
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
