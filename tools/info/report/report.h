// falwick-info's reports. Every command builds one report: a tree of facts, ending in
// its findings, which one text renderer and one JSON renderer print. A fact is a JSON
// value under its key and, where a person reads it, a row of the text report
// ("Label             text"); a fact without a key shows only in the text, one without
// a row only in the JSON. Text in the JSON is taken as bytes: ASCII as it is, control
// characters and every byte from 0x80 on as \u00XX (the byte read as Latin-1).
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// How much a finding matters; the exit code follows the worst (ExitCode).
enum class Severity : uint8_t {
  kNote,     // how Falwick shows it: the display version dropping the fraction
  kWarning,  // it works, but some users see something other than intended, or see it late
  kError,    // Falwick will not do what the file or the command line means
};

const char* SeverityName(Severity severity);  // "note", "warning", "error"

struct Finding {
  std::string id;  // stable, kebab-case: "byte-order-mark"
  Severity severity = Severity::kWarning;
  int line = 0;      // of the file, as an editor counts lines; 0: none
  std::string text;  // what was found and what it does
  std::string fix;   // what to do about it; empty when there is nothing to add
  std::vector<std::pair<std::string, std::string>> fields;  // further JSON members
};
// A report's findings, in its order; Add appends one that names no line.
struct Findings : std::vector<Finding> {
  using std::vector<Finding>::vector;
  void Add(std::string id, Severity severity, std::string text, std::string fix = {},
           std::vector<std::pair<std::string, std::string>> fields = {}) {
    push_back({std::move(id), severity, 0, std::move(text), std::move(fix), std::move(fields)});
  }
  void Append(const Findings& more) { insert(end(), more.begin(), more.end()); }
};

// The exit code of every command: 0 nothing above a note, 1 warnings, 2 errors, and
// kCouldNotCheck for bad usage, a file that cannot be read or a URL that cannot be fetched.
int ExitCode(const Findings& findings);
constexpr int kCouldNotCheck = 3;

class Fact {
 public:
  Fact() = default;  // null
  static Fact String(std::string value);
  static Fact Integer(int64_t value);
  static Fact Number(double value);  // null when not finite
  static Fact Bool(bool value);
  static Fact Object();
  static Fact Array();
  static Fact OptionalString(const std::string& value);  // null when empty
  static Fact OptionalInteger(const std::optional<int64_t>& value);
  static Fact OptionalBool(const std::optional<bool>& value);

  // A member of this object under `key` (an item of this array: `key` empty); returns it,
  // to stay valid while the report lives.
  Fact& Add(std::string key, Fact value);
  // A row of the text report (as Row) that the JSON leaves out.
  void Line(std::string label, std::string text);
  // The fact's row in the text report: `text` after `label` in its column, or, without
  // a label, `text` as a line of its own. Lines after a line feed in `text` follow as
  // they are.
  Fact& Row(std::string label, std::string text);
  Fact& RowIf(bool shown, std::string label, std::string text) {
    return shown ? Row(std::move(label), std::move(text)) : *this;
  }

  friend std::string TextReport(const Fact& report);
  friend std::string JsonReport(const Fact& report);

 private:
  enum class Kind : uint8_t { kNull, kString, kInteger, kNumber, kBool, kObject, kArray, kLine };
  explicit Fact(Kind kind, std::string string = {}, int64_t integer = 0, double number = 0)
      : kind_(kind), string_(std::move(string)), integer_(integer), number_(number) {}
  void AppendText(std::string& out) const;
  void AppendJson(std::string& out, size_t depth) const;

  Kind kind_ = Kind::kNull;
  std::string key_;
  std::string string_;
  int64_t integer_ = 0;
  double number_ = 0;
  std::list<Fact> members_;  // a list: the members added stay where they are
  std::string label_;
  std::string row_;
};

// The report as a person reads it, and as one JSON object (ended by a line feed).
std::string TextReport(const Fact& report);
std::string JsonReport(const Fact& report);

// The report's last members: "findings" (each {"id", "severity", "line", "text", "fix",
// ...fields}), "findings_not_listed" (further ones like them, counted only) and
// "counts" ({"error", "warning", "note"}); in the text, "severity [id] line N: text"
// and its fix for each, then the counts.
void AddFindings(Fact& report, const Findings& findings, size_t notListed = 0);
