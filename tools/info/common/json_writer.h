// A small writer of one JSON document, for the tool's --json output. Text is taken as
// bytes: ASCII stays as it is, quotes, backslashes and control characters are escaped,
// and every byte from 0x80 on is written as \u00XX (its value read as Latin-1), so the
// output is valid JSON whatever the bytes of a file or a server were.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class JsonWriter {
 public:
  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  // The name of the next member of the object being written.
  JsonWriter& Key(std::string_view name);

  JsonWriter& String(std::string_view text);
  JsonWriter& Number(double value);
  JsonWriter& Integer(int64_t value);
  JsonWriter& Bool(bool value);
  JsonWriter& Null();
  // A value or null.
  JsonWriter& OptionalBool(const std::optional<bool>& value);
  JsonWriter& OptionalInteger(const std::optional<int64_t>& value);

  // The document, indented by two spaces a level, with a final line feed.
  std::string Text() const { return text_ + "\n"; }

 private:
  void BeforeValue();
  void Indent();
  void AppendQuoted(std::string_view text);

  std::string text_;
  std::vector<bool> hasMembers_;  // one entry per open object or array
  bool afterKey_ = false;
};
