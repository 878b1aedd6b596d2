// Writing a well-formed update-information file that Falwick reads back exactly as the
// maker meant it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "base/text_mode_reader.h"
#include "tools/info/report/report.h"
#include "update/info_file.h"

// What a maker wants published.
struct InfoFileContent {
  std::string version;  // as it is to stand in the file, such as "3.5"
  std::string build;    // such as "14"
  Messages messages;    // empty: no such key
};

struct WrittenInfoFile {
  bool ok = false;
  std::string text;                // the file, CR-LF line ends
  std::string error;               // why nothing was written
  Findings findings;  // written, but what the notice shows differently (CheckInfoFile's)
};

// Each line holds at most this many characters before its CR LF, so that one read of
// the program (259 characters, line feed included) takes the whole line.
constexpr size_t kMaxWrittenLineLength = TextModeReader::kMaxPieceLength - 1;

// A file that Falwick reads back to exactly `content`: messages too long for a line are
// split at single spaces over several lines of their key. Refuses (ok false) what cannot
// read back the same: numbers that do not convert whole, messages with line breaks,
// NUL or Ctrl-Z, spaces at their ends, more than kMaxMessageLength characters, or a
// stretch longer than a line without a single space to break at.
WrittenInfoFile WriteInfoFile(const InfoFileContent& content);
