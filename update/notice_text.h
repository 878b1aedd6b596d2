// The text the notice dialog shows above its question: the maker's messages when the
// info file has any, otherwise the dialog's standard sentence with the product name and
// the display version.
#pragma once

#include <string>
#include <string_view>

#include "update/info_file.h"

// The maker's messages joined by blank lines (CR LF CR LF), empty ones skipped.
std::string ComposeNoticeText(const Messages& messages);

// The maker's notice text when there is one; otherwise the template of the text control
// filled with the product name and the display version.
std::string ChooseNoticeText(std::string_view noticeText, std::string_view controlTemplate,
                             std::string_view productName, std::string_view displayVersion);

// Replaces the first "%s" of `format` with `first` and the second with `second`; "%%"
// gives "%". The arguments are inserted as they are, never read as formats, and the
// result has whatever length they need.
std::string FormatNoticeTemplate(std::string_view format, std::string_view first,
                                 std::string_view second);
