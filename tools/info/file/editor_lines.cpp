#include "tools/info/file/editor_lines.h"

#include <algorithm>

#include "tools/info/report/phrases.h"
#include "update/info_file.h"

EditorLines::EditorLines(std::string_view bytes) : bytes_(bytes) {
  starts_.push_back(0);
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\n' && bytes[i] != '\r') continue;
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    starts_.push_back(i + 1);
  }
}

int EditorLines::LineAt(size_t offset) const {
  return static_cast<int>(std::upper_bound(starts_.begin(), starts_.end(), offset) -
                          starts_.begin());
}

int EditorLines::Count() const {
  // A line end at the end of the file (or an empty file) starts no line.
  return static_cast<int>(starts_.size() - (starts_.back() == bytes_.size() ? 1 : 0));
}

std::string_view EditorLines::RestOfLine(size_t offset) const {
  return bytes_.substr(offset, bytes_.find_first_of("\r\n", offset) - offset);
}

std::string EditorLines::KeyLinesIn(size_t from, size_t to, size_t& count) const {
  std::string list;
  count = 0;
  for (auto line = static_cast<size_t>(LineAt(from)) - 1; line < starts_.size(); ++line) {
    const size_t start = std::max(starts_[line], from);
    if (start >= to) break;
    const size_t end = std::min(bytes_.find_first_of("\r\n", start), to);
    const InfoLine parts = SplitInfoLine(bytes_.substr(start, end - start));
    if (parts.key == InfoKey::kNone || !parts.hasValue) continue;
    if (++count > 4) continue;
    if (!list.empty()) list += ", ";
    list += Quote(parts.text, 24) + " (line " + std::to_string(line + 1) + ")";
  }
  if (count > 4) list += " and " + std::to_string(count - 4) + " more";
  return list;
}
