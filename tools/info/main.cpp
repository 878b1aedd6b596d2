// falwick-info: the product maker's and the integrator's view of what Falwick does. One
// table of commands, each with its options and help, and one parser for all of them:
// options and arguments in any order, "--name value" or "--name=value", "--" ends the
// options. Every command exits as ExitCode says, with kCouldNotCheck for bad usage.
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include "platform/deadline_win.h"
#include "tools/info/run/dry_run.h"
#endif

#include "tools/info/fetch/fetch_report.h"
#include "tools/info/file/file_bytes.h"
#include "tools/info/file/info_check.h"
#include "tools/info/report/phrases.h"
#include "tools/info/write/info_writer.h"
#include "ui/version.h"

namespace {

struct Option {
  const char* name;   // "--installed"
  const char* value;  // what it takes ("VERSION.BUILD"); nullptr: a flag
  const char* help;
};

// The arguments after the command: the options given (the last of a name counts; a flag's
// value is empty) and the others.
struct Invocation {
  std::map<std::string, std::string> options;
  std::vector<std::string> arguments;
  const std::string* Find(const std::string& name) const {
    const auto found = options.find(name);
    return found == options.end() ? nullptr : &found->second;
  }
  std::string Value(const std::string& name, const char* fallback = "") const {
    const std::string* value = Find(name);
    return value != nullptr ? *value : fallback;
  }
};

struct Command {
  const char* name;
  const char* argument;  // the one argument it takes ("FILE|URL"); "" for none
  const char* help;
  std::vector<Option> options;
  int (*run)(const Invocation&);
};

constexpr const char* kExitStatus =
    "Exit status: 0 nothing above a note, 1 warnings, 2 errors, 3 could not check (bad\n"
    "usage, a file that cannot be read, a URL that cannot be fetched).\n";

int Refuse(const std::string& problem) {
  (void)std::fprintf(stderr, "falwick-info: %s\n", problem.c_str());
  return kCouldNotCheck;
}

void Print(const std::string& text) { (void)std::fwrite(text.data(), 1, text.size(), stdout); }

// A command's report on standard output: the text, or (--json) the JSON.
void Show(const Invocation& in, const Fact& report) {
  Print(in.Find("--json") != nullptr ? JsonReport(report) : TextReport(report));
}

// The scheme of "scheme://..." in upper case; empty for text without one.
std::string Scheme(const std::string& text) {
  const size_t end = text.find("://");
  const std::string scheme = Upper(text, end);
  const bool valid = end != 0 && end != std::string::npos &&
                     scheme.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+-.") ==
                         std::string::npos;
  return valid ? scheme : "";
}

int Check(const Invocation& in) {
  const std::string& source = in.arguments[0];
  const std::string scheme = Scheme(source);
  if (!scheme.empty() && scheme != "HTTP" && scheme != "HTTPS") {
    return Refuse("cannot check " + source + ": Falwick fetches http and https URLs only");
  }
  const std::string* installed = in.Find("--installed");
  const std::string* caFile = in.Find("--ca-file");
  std::string error;
  if (caFile != nullptr && !ReadFileBytes(*caFile, 1, error)) {
    return Refuse("cannot read --ca-file " + *caFile + ": " + error);
  }
  const std::string installedText = in.Value("--installed", "0.0.000");

  Fact report = Fact::Object();
  report.Add("schema", Fact::Integer(1));
  Findings findings;
  std::optional<std::string> bytes;
  if (!scheme.empty()) {
    const UrlFetch fetch = FetchUrl(source, in.Value("--ca-file"));
    AddFetch(report, fetch);
    findings = FetchFindings(fetch);
    if (fetch.opened) bytes = fetch.body;
    error = "cannot fetch " + source + ": " + fetch.errorName + ": " + fetch.errorText;
  } else {
    report.Add("fetch", Fact());
    // One byte more than the program stores, so that a larger file can be told apart.
    bytes = ReadFileBytes(source, DownloadUpdateInfo::kMaxStoredBytes + 1, error);
    const size_t slash = source.find('/');
    const bool host = slash != std::string::npos && source[0] != '.' &&
                      source.substr(0, slash).find('.') != std::string::npos;
    error = "cannot read " + source + ": " + error;
    if (!bytes) {
      findings.Add("file-not-read", Severity::kError, error,
                   host ? "for a URL, write https://" + source : "");
    }
  }
  if (installed != nullptr) findings.Append(InstalledVersionFindings(installedText));
  std::optional<InfoCheck> check;
  if (bytes) {
    check = CheckInfoFile(*bytes, ParseInstalledVersion(installedText),
                          in.Value("--product", "<Product>"));
    findings.Append(check->findings);
  }
  AddInfoCheck(report, check ? &*check : nullptr, source, bytes ? bytes->size() : 0,
               installedText, installed != nullptr);
  AddFindings(report, findings, check ? check->notListed : 0);
  Show(in, report);
  return bytes ? ExitCode(findings) : Refuse(error);
}

int Write(const Invocation& in) {
  const std::string* version = in.Find("--version");
  const std::string* build = in.Find("--build");
  if (version == nullptr || build == nullptr) return Refuse("write needs --version and --build");
  InfoFileContent content{*version, *build, {}};
  for (size_t n = 0; n < kMessageCount; ++n) {
    content.messages[n] = in.Value("--message" + std::to_string(n + 1));
  }
  const WrittenInfoFile file = WriteInfoFile(content);
  if (!file.ok) {
    (void)std::fprintf(stderr, "falwick-info: nothing written: %s\n", file.error.c_str());
    return 2;
  }
  for (const Finding& finding : file.findings) {
    (void)std::fprintf(stderr, "falwick-info: %s [%s]: %s\n", SeverityName(finding.severity),
                       finding.id.c_str(), finding.text.c_str());
  }
#ifdef _WIN32
  (void)_setmode(_fileno(stdout), _O_BINARY);  // CR LF as written, not CR CR LF
#endif
  Print(file.text);
  return std::fflush(stdout) == 0 ? ExitCode(file.findings) : kCouldNotCheck;
}

#ifdef _WIN32
int Run(const Invocation& in) {
  Findings findings;
  const std::optional<Fact> report = RunCommand(in.arguments[0], in.Value("--dir"), findings);
  if (!report) return Refuse("no temporary file for the download could be created");
  Show(in, *report);
  return ExitCode(findings);
}
#endif

const std::vector<Command> kCommands = {
    {"check", "FILE|URL",
     "Shows what Falwick reads from an update-information file, whether the installed\n"
     "version gets the notice, its text and every finding. A URL is fetched as Falwick\n"
     "fetches it, and how it is served is checked too (status, caches, TLS).\n",
     {{"--installed", "VERSION.BUILD", "the installed version (default 0.0.000, the oldest)"},
      {"--product", "NAME", "the product name in the standard sentence"},
#ifndef _WIN32
      {"--ca-file", "PEM", "trust the certificates in PEM instead of the system's"},
#endif
      {"--json", nullptr, "one JSON object instead of the text"}},
     Check},
    {"write", "",
     "Prints a file that Falwick reads back exactly as given, and on standard error what\n"
     "the notice shows differently; refuses (status 2) what cannot read back the same.\n",
     {{"--version", "V", "VERSION, a decimal number such as 3.5"},
      {"--build", "B", "BUILD, a whole number"},
      {"--message1", "TEXT", "MESSAGE1"},
      {"--message2", "TEXT", "MESSAGE2"},
      {"--message3", "TEXT", "MESSAGE3"}},
     Write},
#ifdef _WIN32
    {"run", "COMMAND-LINE",
     "Falwick's own run for the host's COMMAND-LINE on this machine, changing nothing:\n"
     "each step as Falwick takes it, the findings and the outcome.\n",
     {{"--dir", "DIR", "Falwick.EXE's directory (default: this program's)"},
      {"--json", nullptr, "one JSON object instead of the text"}},
     Run},
#endif
};

std::string Spelled(const Option& option) {
  return std::string(option.name) + (option.value ? std::string(" ") + option.value : "");
}

std::string Synopsis(const Command& command) {
  std::string line = std::string("falwick-info ") + command.name;
  if (*command.argument != '\0') line += std::string(" ") + command.argument;
  for (const Option& option : command.options) line += " [" + Spelled(option) + "]";
  return line;
}

std::string Help(const Command& command) {
  std::string text = "usage: " + Synopsis(command) + "\n\n" + command.help + "\n";
  for (const Option& option : command.options) {
    std::string name = "  " + Spelled(option);
    text += name + std::string(name.size() < 26 ? 26 - name.size() : 1, ' ') + option.help + "\n";
  }
  return text + "\n" + kExitStatus;
}

std::string Usage() {
  std::string text = "usage:";
  for (const Command& command : kCommands) text += " " + Synopsis(command) + "\n      ";
  text += " falwick-info --help | --version | COMMAND --help\n\n";
  for (const Command& command : kCommands) {
    text += std::string(command.name) + ":\n" + command.help + "\n";
  }
  return text + kExitStatus;
}

// `args` for `command`: nothing, with the reason in `problem`, when they are wrong; an
// empty Invocation for --help.
std::optional<Invocation> Parse(const Command& command, const std::vector<std::string>& args,
                                std::string& problem, bool& help) {
  Invocation in;
  bool optionsEnd = false;
  for (size_t i = 0; i < args.size() && problem.empty(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnd || arg.compare(0, 2, "--") != 0) {
      in.arguments.push_back(arg);
      continue;
    }
    optionsEnd = arg == "--";
    help = arg == "--help";
    if (help) return in;
    if (optionsEnd) continue;
    const size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const Option* option = nullptr;
    for (const Option& candidate : command.options) {
      if (name == candidate.name) option = &candidate;
    }
    if (option == nullptr) {
      problem = "unknown option " + name + " for " + command.name;
    } else if (option->value == nullptr) {
      in.options[name] = "";
      if (equals != std::string::npos) problem = name + " takes no value";
    } else if (equals != std::string::npos || i + 1 < args.size()) {
      in.options[name] = equals != std::string::npos ? arg.substr(equals + 1) : args[++i];
    } else {
      problem = name + " needs a value (" + option->value + ")";
    }
  }
  if (problem.empty() && in.arguments.size() != (*command.argument != '\0' ? 1u : 0u)) {
    problem = std::string(command.name) +
              (*command.argument == '\0' ? " takes options only"
                                         : std::string(" needs one ") + command.argument);
  }
  if (!problem.empty()) return std::nullopt;
  return in;
}

int Main(int argc, char** argv) {
  const std::string first = argc > 1 ? argv[1] : "";
  if (first == "--help" || first == "-h" || first == "help") {
    Print(Usage());
    return 0;
  }
  if (first == "--version") {
    Print(std::string("falwick-info ") + FALWICK_VERSION_DOTTED + "\n");
    return 0;
  }
  for (const Command& command : kCommands) {
    if (first != command.name) continue;
    std::string problem;
    bool help = false;
    const std::optional<Invocation> in =
        Parse(command, std::vector<std::string>(argv + 2, argv + argc), problem, help);
    if (help) {
      Print(Help(command));
      return 0;
    }
    return in ? command.run(*in)
              : Refuse(problem + " (see falwick-info " + command.name + " --help)");
  }
#ifndef _WIN32
  if (first == "run") return Refuse("run needs Windows: it runs Falwick's own Windows code");
#endif
  return Refuse((first.empty() ? "no command" : "unknown command " + first) +
                std::string(" (see falwick-info --help)"));
}

}  // namespace

int main(int argc, char** argv) {
  const int status = Main(argc, argv);
#ifdef _WIN32
  // A fetch whose call was abandoned at the network deadline leaves a helper thread
  // blocked inside WinINet; the process then ends as Falwick's does, without the DLLs'
  // clean-up that could wait on that call, once what was printed is out.
  (void)std::fflush(stdout);
  (void)std::fflush(stderr);
  EndProcessIfAbandoned(static_cast<UINT>(status));
#endif
  return status;
}
