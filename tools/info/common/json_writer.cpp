#include "tools/info/common/json_writer.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

JsonWriter& JsonWriter::BeginObject() {
  BeforeValue();
  text_ += '{';
  hasMembers_.push_back(false);
  return *this;
}

JsonWriter& JsonWriter::BeginArray() {
  BeforeValue();
  text_ += '[';
  hasMembers_.push_back(false);
  return *this;
}

JsonWriter& JsonWriter::EndObject() {
  const bool any = hasMembers_.back();
  hasMembers_.pop_back();
  if (any) Indent();
  text_ += '}';
  return *this;
}

JsonWriter& JsonWriter::EndArray() {
  const bool any = hasMembers_.back();
  hasMembers_.pop_back();
  if (any) Indent();
  text_ += ']';
  return *this;
}

JsonWriter& JsonWriter::Key(std::string_view name) {
  BeforeValue();
  AppendQuoted(name);
  text_ += ": ";
  afterKey_ = true;
  return *this;
}

void JsonWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (hasMembers_.empty()) return;
  if (hasMembers_.back()) text_ += ',';
  hasMembers_.back() = true;
  Indent();
}

void JsonWriter::Indent() {
  text_ += '\n';
  text_.append(2 * hasMembers_.size(), ' ');
}

JsonWriter& JsonWriter::String(std::string_view text) {
  BeforeValue();
  AppendQuoted(text);
  return *this;
}

void JsonWriter::AppendQuoted(std::string_view text) {
  text_ += '"';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      text_ += '\\';
      text_ += c;
    } else if (byte < 0x20 || byte >= 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", byte);
      text_ += escape;
    } else {
      text_ += c;
    }
  }
  text_ += '"';
}

JsonWriter& JsonWriter::Number(double value) {
  if (!std::isfinite(value)) return Null();  // JSON has no infinities
  BeforeValue();
  // The shortest of these that reads back as the same double.
  char number[32];
  for (const int digits : {15, 16, 17}) {
    std::snprintf(number, sizeof number, "%.*g", digits, value);
    if (std::strtod(number, nullptr) == value) break;
  }
  text_ += number;
  return *this;
}

JsonWriter& JsonWriter::Integer(int64_t value) {
  BeforeValue();
  text_ += std::to_string(value);
  return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
  BeforeValue();
  text_ += value ? "true" : "false";
  return *this;
}

JsonWriter& JsonWriter::Null() {
  BeforeValue();
  text_ += "null";
  return *this;
}

JsonWriter& JsonWriter::OptionalBool(const std::optional<bool>& value) {
  return value ? Bool(*value) : Null();
}

JsonWriter& JsonWriter::OptionalInteger(const std::optional<int64_t>& value) {
  return value ? Integer(*value) : Null();
}
