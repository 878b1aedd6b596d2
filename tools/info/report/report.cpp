#include "tools/info/report/report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr size_t kLabelColumn = 17;

void AppendQuoted(std::string& out, const std::string& text) {
  out += '"';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte >= 0x7F) {
      char escape[8];
      (void)std::snprintf(escape, sizeof escape, "\\u%04x", byte);
      out += escape;
    } else {
      out += c;
    }
  }
  out += '"';
}

// The shortest of these that reads back as the same double.
std::string JsonNumber(double value) {
  char number[32];
  for (const int digits : {15, 16, 17}) {
    (void)std::snprintf(number, sizeof number, "%.*g", digits, value);
    if (std::strtod(number, nullptr) == value) break;
  }
  return number;
}

std::string Count(size_t count, const char* noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace

const char* SeverityName(Severity severity) {
  static const char* const kNames[] = {"note", "warning", "error"};
  return kNames[static_cast<size_t>(severity)];
}

int ExitCode(const Findings& findings) {
  int code = 0;  // the severities in order: note 0, warning 1, error 2
  for (const Finding& finding : findings) code = std::max(code, static_cast<int>(finding.severity));
  return code;
}

Fact Fact::String(std::string value) { return Fact(Kind::kString, std::move(value)); }
Fact Fact::Integer(int64_t value) { return Fact(Kind::kInteger, {}, value); }
// JSON has no infinities.
Fact Fact::Number(double value) {
  return Fact(std::isfinite(value) ? Kind::kNumber : Kind::kNull, {}, 0, value);
}
Fact Fact::Bool(bool value) { return Fact(Kind::kBool, {}, value ? 1 : 0); }
Fact Fact::Object() { return Fact(Kind::kObject); }
Fact Fact::Array() { return Fact(Kind::kArray); }
Fact Fact::OptionalString(const std::string& value) {
  return value.empty() ? Fact() : String(value);
}
Fact Fact::OptionalInteger(const std::optional<int64_t>& value) {
  return value ? Integer(*value) : Fact();
}
Fact Fact::OptionalBool(const std::optional<bool>& value) { return value ? Bool(*value) : Fact(); }

Fact& Fact::Add(std::string key, Fact value) {
  value.key_ = std::move(key);
  members_.push_back(std::move(value));
  return members_.back();
}

void Fact::Line(std::string label, std::string text) {
  members_.push_back(std::move(Fact(Kind::kLine).Row(std::move(label), std::move(text))));
}

Fact& Fact::Row(std::string label, std::string text) {
  label_ = std::move(label);
  row_ = std::move(text);
  return *this;
}

void Fact::AppendText(std::string& out) const {
  if (!label_.empty()) {
    out += label_;
    out.append(label_.size() < kLabelColumn ? kLabelColumn - label_.size() : 0, ' ');
    out += ' ';
  }
  if (!label_.empty() || !row_.empty()) out += row_ + "\n";
  for (const Fact& member : members_) member.AppendText(out);
}

void Fact::AppendJson(std::string& out, size_t depth) const {
  switch (kind_) {
    case Kind::kNull: out += "null"; return;
    case Kind::kString: AppendQuoted(out, string_); return;
    case Kind::kInteger: out += std::to_string(integer_); return;
    case Kind::kNumber: out += JsonNumber(number_); return;
    case Kind::kBool: out += integer_ != 0 ? "true" : "false"; return;
    case Kind::kObject:
    case Kind::kArray:
    case Kind::kLine: break;
  }
  const bool object = kind_ == Kind::kObject;
  out += object ? '{' : '[';
  bool first = true;
  for (const Fact& member : members_) {
    if (member.kind_ == Kind::kLine) continue;
    out += first ? "\n" : ",\n";
    first = false;
    out.append(2 * (depth + 1), ' ');
    if (object) {
      AppendQuoted(out, member.key_);
      out += ": ";
    }
    member.AppendJson(out, depth + 1);
  }
  if (!first) out += "\n" + std::string(2 * depth, ' ');
  out += object ? '}' : ']';
}

std::string TextReport(const Fact& report) {
  std::string out;
  report.AppendText(out);
  return out;
}

std::string JsonReport(const Fact& report) {
  std::string out;
  report.AppendJson(out, 0);
  return out + "\n";
}

void AddFindings(Fact& report, const Findings& findings, size_t notListed) {
  Fact& list = report.Add("findings", Fact::Array());
  size_t counts[3] = {};
  for (const Finding& finding : findings) {
    ++counts[static_cast<size_t>(finding.severity)];
    Fact& item = list.Add("", Fact::Object());
    item.Add("id", Fact::String(finding.id));
    item.Add("severity", Fact::String(SeverityName(finding.severity)));
    item.Add("line", finding.line != 0 ? Fact::Integer(finding.line) : Fact());
    item.Add("text", Fact::String(finding.text));
    item.Add("fix", Fact::OptionalString(finding.fix));
    for (const auto& [name, value] : finding.fields) item.Add(name, Fact::String(value));
    item.Row("", std::string(SeverityName(finding.severity)) + " [" + finding.id + "]" +
                     (finding.line != 0 ? " line " + std::to_string(finding.line) : "") +
                     ": " + finding.text + (finding.fix.empty() ? "" : "\n  fix: " + finding.fix));
  }
  report.Add("findings_not_listed", Fact::Integer(static_cast<int64_t>(notListed)))
      .Row("", notListed == 0 ? "" : "(" + Count(notListed, "more finding") +
                                         " like those above not shown)");
  Fact& count = report.Add("counts", Fact::Object());
  count.Add("error", Fact::Integer(static_cast<int64_t>(counts[2])));
  count.Add("warning", Fact::Integer(static_cast<int64_t>(counts[1])));
  count.Add("note", Fact::Integer(static_cast<int64_t>(counts[0])));
  count.Row("Findings", Count(counts[2], "error") + ", " + Count(counts[1], "warning") + ", " +
                            Count(counts[0], "note"));
}
