#include <gtest/gtest.h>

#include "fake_roles.h"
#include "tools/info/run/dry_run.h"
#include "tools/info/run/machine_check.h"

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

// The account of the program's own run flow over the unit fakes, as `run` keeps it.
DryRun Account(const std::string& line, bool online = true, const std::string& body = "") {
  CallLog log;
  FakeFiles files{log};
  FakeDownload download{log, files};
  download.online = online;
  download.body = body;
  FakeSetting setting{log};
  FakeNotice notice{log};
  FakeBrowser browser{log};
  CUpdateCheckApp app{files, download, setting, notice, browser};
  DryRun run;
  app.Observe(&run);
  run.end = app.Run(line.c_str());
  return run;
}

TEST(DryRun, KeepsWhatTheRunFlowDecidedAtEachStep) {
  const DryRun bad = Account("<Writer><PQ><a><b><c><d><e><f><g>");
  EXPECT_EQ(bad.problem, ModeProblem::kUnknownMode);
  EXPECT_EQ(bad.request.arguments[0], "PQ");
  EXPECT_FALSE(bad.paths.has_value());
  EXPECT_EQ(Account("<Writer><PU><a>").problem, ModeProblem::kArgumentCount);
  EXPECT_EQ(Account("<Writer>").problem, ModeProblem::kNoArguments);

  const DryRun offline = Account(kLine, false);
  EXPECT_EQ(offline.mode, RunMode::kExplicitCheck);
  EXPECT_EQ(offline.request.arguments[0], "PX");  // as given, before the mode rewrote it
  EXPECT_EQ(offline.paths->info, "C:\\Apps\\Writer\\info.txt");
  EXPECT_EQ(offline.connected, ConnectResult::kNotConnected);
  EXPECT_FALSE(offline.decision.has_value());

  const DryRun newer = Account(kLine, true, "VERSION=3.5\nBUILD=14\n");
  EXPECT_TRUE(newer.fetchOpened);
  EXPECT_EQ(newer.decision->versionCase, VersionCase::kVersionLarger);
  EXPECT_EQ(newer.installed.build, 12);
  EXPECT_EQ(newer.notice->displayVersion, "3.0.014");
  EXPECT_EQ(newer.opened, "http://example.test/get.htm");  // the fake notice answers "Yes"

  const DryRun notNewer = Account(kLine, true, "VERSION=3\nBUILD=12\n");
  EXPECT_FALSE(notNewer.notice.has_value());
  EXPECT_EQ(notNewer.opened, "http://example.test/get.htm");  // the explicit check's page
}

// A run that got as far as `end`, with what the steps would have seen on the way.
DryRun RunThatEnded(RunEnd end) {
  DryRun run;
  run.commandLine = kLine;
  run.parsed = true;
  run.request = ParseCommandLine(kLine);
  run.mode = RunMode::kExplicitCheck;
  run.end = end;
  run.paths = RunPaths{"C:\\W\\", "C:\\W\\info.txt", {"C:\\W\\writer.ini", "Options", "K"}};
  run.infoFile = run.directory = run.settingsFile = Probe("C:\\W\\info.txt", true);
  run.connected = ConnectResult::kOnLine;
  run.connection.stateResult = true;
  run.connection.flags = 0x12;
  run.connection.handleAsked = run.connection.handleOpened = true;
  run.htmProgram = "C:\\browser.exe";
  return run;
}

TEST(DryRun, TheReasonAndOutcomeFollowTheRunsAccount) {
  struct Case {
    RunEnd end;
    void (*adjust)(DryRun&);
    const char* reason;
    const char* outcome;
    const char* mentions;
  };
  const Case cases[] = {
      {RunEnd::kEmptyCommandLine, [](DryRun&) {}, "empty-command-line", "nothing", "empty"},
      {RunEnd::kBadCommandLine,
       [](DryRun& r) {
         r.request = ParseCommandLine("<Writer><PQ><a><b><c><d><e><f><g>");
         r.problem = ModeProblem::kUnknownMode;
       },
       "bad-command-line", "nothing", "the mode \"PQ\" is neither PU nor PX"},
      {RunEnd::kBadCommandLine,
       [](DryRun& r) {
         r.request = ParseCommandLine("<Writer><PU><a>");
         r.problem = ModeProblem::kArgumentCount;
       },
       "bad-command-line", "nothing", "2 arguments after the product instead of 8"},
      {RunEnd::kPathTooLong, [](DryRun&) {}, "path-too-long", "nothing", "own path"},
      {RunEnd::kSameFile, [](DryRun&) {}, "same-file", "nothing", "to keep the settings"},
      {RunEnd::kOffline,
       [](DryRun& r) { r.connected = ConnectResult::kNoModemOrLan, r.connection.flags = 0x04; },
       "offline", "nothing", "a proxy connection alone"},
      // A connectivity test abandoned at the deadline is named as such, not by its flags.
      {RunEnd::kOffline, [](DryRun& r) { r.connected = ConnectResult::kTestTimedOut; },
       "offline", "nothing", "did not answer within the 60 s network deadline"},
      {RunEnd::kOffline,
       [](DryRun& r) {
         r.connected = ConnectResult::kNoInternetHandle, r.connection.handleError = 12001;
       },
       "no-internet-handle", "nothing", "ERROR_INTERNET_OUT_OF_HANDLES"},
      {RunEnd::kUrlNotOpened, [](DryRun& r) { r.fetchAsked = true, r.fetch.error = 12029; },
       "url-not-opened", "nothing", "12029 ERROR_INTERNET_CANNOT_CONNECT"},
      {RunEnd::kNotNewer, [](DryRun& r) { r.opened = "http://example.test/get.htm"; },
       "not-newer", "browser", "opens the download page"},
      {RunEnd::kNotNewer,
       [](DryRun& r) { r.opened = "http://example.test/get.htm", r.htmProgram.clear(); },
       "not-newer", "nothing", "so nothing opens"},
      {RunEnd::kNotNewer, [](DryRun& r) { r.infoFile.writable = false; },
       "info-file-not-writable", "nothing", "cannot be written"},
      {RunEnd::kNewer, [](DryRun& r) { r.notice = NoticeDialogData{0, "", "Writer", "3.0.014"}; },
       "newer", "notice", "Writer Version 3.0.014"},
  };
  for (const Case& c : cases) {
    DryRun run = RunThatEnded(c.end);
    c.adjust(run);
    const DryRunVerdict verdict = JudgeDryRun(run);
    EXPECT_EQ(verdict.reason, c.reason) << verdict.sentence;
    EXPECT_EQ(verdict.outcome, c.outcome) << verdict.sentence;
    EXPECT_EQ(verdict.sentence.rfind(verdict.outcome + ": ", 0), 0u) << verdict.sentence;
    EXPECT_NE(verdict.sentence.find(c.mentions), std::string::npos) << verdict.sentence;
    const Fact report = DryRunReport(run, verdict, DryRunFindings(run), Fact());
    EXPECT_NE(TextReport(report).find("\nOutcome: " + verdict.sentence + "\n"),
              std::string::npos);
    EXPECT_NE(JsonReport(report).find("\"reason\": \"" + verdict.reason + "\""),
              std::string::npos);
  }
}

TEST(DryRun, FaultsOfTheRunAreFindingsWithTheirSeverity) {
  DryRun proxyOnly = RunThatEnded(RunEnd::kOffline);
  proxyOnly.connected = ConnectResult::kNoModemOrLan;
  proxyOnly.connection.flags = 0x04;
  DryRun locked = RunThatEnded(RunEnd::kNotNewer);
  locked.directory = Probe("C:\\Program Files\\W\\", false, 5, false, true);
  DryRun dotted = RunThatEnded(RunEnd::kNotNewer);
  dotted.request.arguments[kInstalledVersionArgument] = "3.5";
  const struct {
    DryRun run;
    const char* id;
    Severity severity;
  } cases[] = {
      {RunThatEnded(RunEnd::kSameFile), "same-file", Severity::kError},
      {proxyOnly, "proxy-connection-only", Severity::kError},
      {locked, "program-directory-not-writable", Severity::kError},
      {dotted, "installed-without-build", Severity::kWarning},
  };
  for (const auto& c : cases) {
    const Findings findings = DryRunFindings(c.run);
    ASSERT_EQ(findings.size(), 1u) << c.id;
    EXPECT_EQ(findings[0].id, c.id);
    EXPECT_EQ(findings[0].severity, c.severity) << c.id;
  }
  EXPECT_TRUE(DryRunFindings(RunThatEnded(RunEnd::kNotNewer)).empty());
  EXPECT_NE(JsonReport(DryRunReport(proxyOnly, JudgeDryRun(proxyOnly), {}, Fact()))
                .find(R"("result": "no-modem-or-lan")"),
            std::string::npos);
}

TEST(DryRun, TheMachineCheckIsAStepAndItsFindingsFollowTheRunsOwn) {
  const DryRun run = RunThatEnded(RunEnd::kNotNewer);
  Fact machine = Fact::Object();
  machine.Add("signature", Fact::Object())
      .Row("Signature", "unsigned")
      .Add("verdict", Fact::String("unsigned"));
  Findings findings = {{"http-not-https", Severity::kWarning, 0, "plain http", "", {}}};
  findings.push_back({"falwick-unsigned", Severity::kWarning, 0, "no signature", "",
                      {{"result", "0x800B0100"}}});
  const Fact report = DryRunReport(run, JudgeDryRun(run), findings, machine);
  const std::string text = TextReport(report);
  const size_t signature = text.find("Signature");
  EXPECT_LT(signature, text.find("warning [http-not-https]: plain http\nwarning [falwick-unsigned]"))
      << text;
  const std::string json = JsonReport(report);
  const size_t steps = json.find(R"("machine": {)");
  EXPECT_LT(json.find(R"("steps": {)"), steps) << json;
  EXPECT_NE(json.find(R"("verdict": "unsigned")", steps), std::string::npos) << json;
  const size_t first = json.find(R"("id": "http-not-https")");
  EXPECT_LT(first, json.find(R"("id": "falwick-unsigned")"));
  EXPECT_NE(json.find(R"("result": "0x800B0100")", first), std::string::npos) << json;
  EXPECT_NE(JsonReport(DryRunReport(run, JudgeDryRun(run), {}, Fact())).find(R"("machine": null)"),
            std::string::npos);
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
    const char* fix;  // in the fix, or "" for none
  } errors[] = {{12007, "ERROR_INTERNET_NAME_NOT_RESOLVED", false, "host name"},
                {12029, "ERROR_INTERNET_CANNOT_CONNECT", false, "firewall"},
                {12002, "ERROR_INTERNET_TIMEOUT", false, ""},
                {12045, "ERROR_INTERNET_INVALID_CA", true, "intermediate"},
                {12057, "ERROR_INTERNET_SEC_CERT_REV_FAILED", true, "CRL and OCSP"},
                {12157, "ERROR_INTERNET_SECURITY_CHANNEL_ERROR", false, "TLS 1.2"},
                {12999, "error 12999", false, ""}};
  for (const auto& e : errors) {
    const WinInetErrorInfo info = DescribeWinInetError(e.number);
    EXPECT_EQ(info.name, e.name);
    EXPECT_EQ(IsCertificateError(e.number), e.certificate) << e.number;
    EXPECT_EQ(info.fix.empty(), *e.fix == '\0') << e.number;
    EXPECT_NE(info.fix.find(e.fix), std::string::npos) << info.fix;
  }
}

}  // namespace
