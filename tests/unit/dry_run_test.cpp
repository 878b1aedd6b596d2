#include <gtest/gtest.h>

#include "tools/info/run_check/dry_run.h"
#include "tools/info/run_check/dry_run_report.h"
#include "tools/info/run_check/machine_check.h"
#include "tools/info/common/wininet_errors.h"

namespace {

const char* kLine =
    "<Writer><PX><http://example.test/info.txt><info.txt><3.0.012><writer.ini><Options>"
    "<NoUpdateCheck><http://example.test/get.htm>";

WriteProbe Probe(const std::string& path, bool writable, long error = 0, bool readOnly = false,
                 bool underProgramFiles = false) {
  WriteProbe probe;
  probe.path = path;
  probe.probed = probe.exists = true;
  probe.writable = writable;
  probe.error = error;
  probe.readOnly = readOnly;
  probe.underProgramFiles = underProgramFiles;
  return probe;
}

// A run that got as far as `end`, with what the steps would have seen on the way.
DryRun RunThatEnded(RunEnd end) {
  DryRun run;
  run.commandLine = kLine;
  run.request = ParseCommandLine(kLine);
  run.mode = RunMode::kExplicitCheck;
  run.end = end;
  run.info = run.directory = run.settings = Probe("C:\\W\\info.txt", true);
  run.connection.stateAsked = run.connection.stateResult = true;
  run.connection.flags = 0x12;
  run.connection.handleAsked = run.connection.handleOpened = true;
  run.htmProgram = "C:\\browser.exe";
  return run;
}

TEST(DryRun, TheReasonAndOutcomeRefineHowTheRunFlowEnded) {
  struct Case {
    RunEnd end;
    void (*adjust)(DryRun&);
    const char* reason;
    const char* outcome;
  };
  const Case cases[] = {
      {RunEnd::kEmptyCommandLine, [](DryRun&) {}, "empty-command-line", "nothing"},
      {RunEnd::kBadCommandLine, [](DryRun&) {}, "bad-command-line", "nothing"},
      {RunEnd::kPathTooLong, [](DryRun&) {}, "path-too-long", "nothing"},
      {RunEnd::kSameFile, [](DryRun&) {}, "same-file", "nothing"},
      {RunEnd::kOffline, [](DryRun& r) { r.connection.flags = 0x14; }, "offline", "nothing"},
      {RunEnd::kOffline, [](DryRun& r) { r.connection.handleOpened = false; },
       "no-internet-handle", "nothing"},
      {RunEnd::kUrlNotOpened, [](DryRun& r) { r.fetch.error = 12029; }, "url-not-opened",
       "nothing"},
      {RunEnd::kNotNewer, [](DryRun& r) { r.browserAsked = true; }, "not-newer", "browser"},
      {RunEnd::kNotNewer, [](DryRun& r) { r.browserAsked = true, r.htmProgram.clear(); },
       "not-newer", "nothing"},
      {RunEnd::kNotNewer, [](DryRun& r) { r.info.writable = false; }, "info-file-not-writable",
       "nothing"},
      {RunEnd::kNewer, [](DryRun& r) { r.noticeShown = true; }, "newer", "notice"},
  };
  for (const Case& c : cases) {
    DryRun run = RunThatEnded(c.end);
    c.adjust(run);
    const DryRunVerdict verdict = JudgeDryRun(run);
    EXPECT_EQ(verdict.reason, c.reason) << verdict.sentence;
    EXPECT_EQ(verdict.outcome, c.outcome) << verdict.sentence;
    EXPECT_EQ(verdict.exitStatus, verdict.outcome == "nothing" ? 1 : 0);
    EXPECT_EQ(verdict.sentence.rfind(verdict.outcome + ": ", 0), 0u) << verdict.sentence;
    const std::string text = FormatDryRun(run, verdict, DryRunWarnings(run), nullptr);
    EXPECT_NE(text.find("\nOutcome: " + verdict.sentence + "\n"), std::string::npos);
  }
}

TEST(DryRun, SentencesNameTheCauseAnIntegratorActsOn) {
  DryRun unreachable = RunThatEnded(RunEnd::kUrlNotOpened);
  unreachable.fetch.error = 12029;
  EXPECT_NE(JudgeDryRun(unreachable).sentence.find("12029 ERROR_INTERNET_CANNOT_CONNECT"),
            std::string::npos);
  DryRun proxyOnly = RunThatEnded(RunEnd::kOffline);
  proxyOnly.connection.flags = 0x04;
  EXPECT_NE(JudgeDryRun(proxyOnly).sentence.find("a proxy connection alone"), std::string::npos);
  // A connectivity test abandoned at the deadline is named as such, not by the flags it
  // never gave.
  DryRun timedOut = RunThatEnded(RunEnd::kOffline);
  timedOut.connection.stateResult = false;
  timedOut.connection.flags = 0;
  timedOut.connection.stateDeadlinePassed = true;
  const DryRunVerdict abandoned = JudgeDryRun(timedOut);
  EXPECT_EQ(abandoned.reason, "offline");
  const std::string deadline = "did not answer within the 60 s network deadline";
  EXPECT_NE(abandoned.sentence.find(deadline), std::string::npos) << abandoned.sentence;
  EXPECT_EQ(abandoned.sentence.find("no modem"), std::string::npos) << abandoned.sentence;
  EXPECT_NE(FormatDryRun(timedOut, abandoned, {}, nullptr).find(deadline), std::string::npos);
  EXPECT_NE(DryRunJson(timedOut, abandoned, {}, nullptr).find(R"("deadline_passed": true)"),
            std::string::npos);
  DryRun bad = RunThatEnded(RunEnd::kBadCommandLine);
  bad.request = ParseCommandLine("<Writer><PQ><a><b><c><d><e><f><g>");
  EXPECT_NE(JudgeDryRun(bad).sentence.find("the mode \"PQ\" is neither PU nor PX"),
            std::string::npos);
  bad.request = ParseCommandLine("<Writer><PU><a>");
  EXPECT_EQ(CommandLineProblem(bad.request), "2 arguments after the product instead of 8");
}

TEST(DryRun, WriteProblemsAndErrorsAreNamedByTheirUsualCause) {
  const struct {
    WriteProbe probe;
    const char* cause;
  } causes[] = {
      {Probe("C:\\Programme\\?berall\\info.txt", false, 123), "outside the ANSI code page"},
      {Probe("C:\\W\\info.txt", false, 5, true), "read-only"},
      {Probe("C:\\Program Files\\W\\info.txt", false, 5, false, true),
       "standard user may not create or change files under Program Files"},
      {Probe("C:\\W\\info.txt", false, 32), "another program"},
  };
  for (const auto& c : causes) {
    EXPECT_NE(WriteProblemCause(c.probe).find(c.cause), std::string::npos) << c.cause;
  }
  const struct {
    long number;
    const char* name;
    bool certificate;
  } errors[] = {{12007, "ERROR_INTERNET_NAME_NOT_RESOLVED", false},
                {12029, "ERROR_INTERNET_CANNOT_CONNECT", false},
                {12002, "ERROR_INTERNET_TIMEOUT", false},
                {12045, "ERROR_INTERNET_INVALID_CA", true},
                {12057, "ERROR_INTERNET_SEC_CERT_REV_FAILED", true},
                {12157, "ERROR_INTERNET_SECURITY_CHANNEL_ERROR", false},
                {12999, "error 12999", false}};
  for (const auto& e : errors) {
    EXPECT_EQ(DescribeWinInetError(e.number).name, e.name);
    EXPECT_EQ(IsCertificateError(e.number), e.certificate) << e.number;
  }
}

TEST(DryRun, TheMachineCheckFollowsTheStepsAndItsWarningsTheRunsOwn) {
  DryRun run = RunThatEnded(RunEnd::kNotNewer);
  MachineCheck machine;
  machine.signature = {true, static_cast<long>(0x800B0100L), "unsigned"};
  machine.warnings = {{"falwick-unsigned", "C:\\W\\Falwick.EXE carries no signature",
                       {{"result", "0x800B0100"}}}};
  const DryRunVerdict verdict = JudgeDryRun(run);
  const std::vector<FetchWarning> own = {{"http-not-https", "plain http"}};

  const std::string text = FormatDryRun(run, verdict, own, &machine);
  const size_t signature = text.find("Signature");
  const size_t warnings = text.find("Run warnings (2):\n  plain http\n  C:\\W\\Falwick.EXE");
  EXPECT_NE(signature, std::string::npos) << text;
  EXPECT_NE(warnings, std::string::npos) << text;
  EXPECT_LT(signature, warnings);

  const std::string json = DryRunJson(run, verdict, own, &machine);
  const size_t first = json.find(R"("id": "http-not-https")");
  const size_t second = json.find(R"("id": "falwick-unsigned")");
  EXPECT_NE(first, std::string::npos) << json;
  EXPECT_LT(first, second);
  EXPECT_NE(json.find(R"("result": "0x800B0100")", second), std::string::npos) << json;
  const size_t steps = json.find(R"("machine": {)");
  EXPECT_LT(json.find(R"("steps": {)"), steps) << json;
  EXPECT_NE(json.find(R"("verdict": "unsigned")", steps), std::string::npos) << json;
  EXPECT_NE(DryRunJson(run, verdict, own, nullptr).find(R"("machine": null)"),
            std::string::npos);
}

}  // namespace
