#include "tools/info/report/report.h"

#include <gtest/gtest.h>

namespace {

TEST(Report, AnyBytesMakeValidJson) {
  Fact report = Fact::Object();
  report.Add("text", Fact::String(std::string("a\"\\\r\n\x01\x7f\xe9\0z", 10)));
  Fact& list = report.Add("list", Fact::Array());
  list.Add("", Fact::Number(3.1));
  list.Add("", Fact::Number(1e300 * 1e300));
  list.Add("", Fact::Integer(-7));
  report.Add("empty", Fact::Object());
  report.Add("maybe", Fact::OptionalBool(std::nullopt));
  EXPECT_EQ(JsonReport(report),
            "{\n  \"text\": \"a\\\"\\\\\\u000d\\u000a\\u0001\\u007f\\u00e9\\u0000z\",\n"
            "  \"list\": [\n    3.1,\n    null,\n    -7\n  ],\n  \"empty\": {},\n"
            "  \"maybe\": null\n}\n");
}

// One report value: each fact once, as a JSON member and, where it has one, as a row.
TEST(Report, TheTextShowsTheRowsAndTheFindingsTheJsonTheMembers) {
  Fact report = Fact::Object();
  report.Add("newer", Fact::Bool(true)).Row("Newer", "yes: VERSION 4 is larger");
  report.Add("bytes", Fact::Integer(12));  // JSON only
  report.Line("Notice", "the notice dialog appears");  // text only
  report.Add("notice", Fact::Object()).Row("Notice text", "the standard sentence\n  | Hi");
  AddFindings(report, {{"byte-order-mark", Severity::kError, 1, "a mark", "save it without", {}},
                       {"ampersand", Severity::kWarning, 0, "an &", "", {{"extra", "x"}}}},
              2);
  EXPECT_EQ(TextReport(report),
            "Newer             yes: VERSION 4 is larger\n"
            "Notice            the notice dialog appears\n"
            "Notice text       the standard sentence\n  | Hi\n"
            "error [byte-order-mark] line 1: a mark\n  fix: save it without\n"
            "warning [ampersand]: an &\n"
            "(2 more findings like those above not shown)\n"
            "Findings          1 error, 1 warning, 0 notes\n");
  const std::string json = JsonReport(report);
  for (const char* member :
       {R"("newer": true)", R"("bytes": 12)", R"("severity": "error")", R"("line": 1)",
        R"("fix": "save it without")", R"("fix": null)", R"("extra": "x")",
        R"("findings_not_listed": 2)", R"("error": 1)", R"("note": 0)"}) {
    EXPECT_NE(json.find(member), std::string::npos) << member << " in " << json;
  }
  EXPECT_EQ(json.find("Notice"), std::string::npos);
}

TEST(Report, TheExitCodeIsTheWorstSeverity) {
  const auto with = [](std::initializer_list<Severity> severities) {
    Findings findings;
    for (const Severity severity : severities) findings.push_back({"x", severity, 0, "", "", {}});
    return ExitCode(findings);
  };
  EXPECT_EQ(with({}), 0);
  EXPECT_EQ(with({Severity::kNote}), 0);
  EXPECT_EQ(with({Severity::kNote, Severity::kWarning}), 1);
  EXPECT_EQ(with({Severity::kError, Severity::kWarning}), 2);
}

}  // namespace
