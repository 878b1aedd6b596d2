#include "update/notice_text.h"

std::string ComposeNoticeText(const Messages& messages) {
  std::string text;
  for (const std::string& message : messages) {
    if (message.empty()) continue;
    if (!text.empty()) text += "\r\n\r\n";
    text += message;
  }
  return text;
}

std::string ChooseNoticeText(std::string_view noticeText, std::string_view controlTemplate,
                             std::string_view productName, std::string_view displayVersion) {
  if (!noticeText.empty()) return std::string(noticeText);
  return FormatNoticeTemplate(controlTemplate, productName, displayVersion);
}

std::string FormatNoticeTemplate(std::string_view format, std::string_view first,
                                 std::string_view second) {
  std::string result;
  result.reserve(format.size() + first.size() + second.size());
  int used = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size()) {
      if (format[i + 1] == '%') {
        result += '%';
        ++i;
        continue;
      }
      if (format[i + 1] == 's') {
        // A third "%s" has no argument and shows nothing.
        if (used == 0) result += first;
        if (used == 1) result += second;
        ++used;
        ++i;
        continue;
      }
    }
    result += format[i];
  }
  return result;
}
