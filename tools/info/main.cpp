// falwick-info: the product maker's and the integrator's view of what Falwick does. One
// table of commands, each with its options and help, and one parser for all of them:
// options and arguments in any order, "--name value" or "--name=value", "--" ends the
// options. Exit status of every check: 0 nothing above a note, 1 warnings, 2 errors,
// 3 could not check (ExitCode, kCouldNotCheck).
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include "platform/deadline_win.h"
#include "tools/info/run/run_command.h"
#endif

#include "tools/info/fetch/fetch_report.h"
#include "tools/info/fetch/url_fetch.h"
#include "tools/info/file/file_bytes.h"
#include "tools/info/file/info_check.h"
#include "tools/info/write/info_writer.h"
#include "ui/version.h"
#include "update/download.h"

namespace {

struct Option {
  const char* name;   // "--installed"
  const char* value;  // what it takes ("VERSION.BUILD"); nullptr: a flag
  const char* help;
};

// A command line after its command: the options given (the last of a name counts; a
// flag's value is empty) and the other arguments.
struct Invocation {
  std::map<std::string, std::string> options;
  std::vector<std::string> arguments;
  const std::string* Find(const std::string& name) const {
    const auto found = options.find(name);
    return found == options.end() ? nullptr : &found->second;
  }
};

struct Command {
  const char* name;
  const char* arguments;  // "FILE|URL"
  size_t argumentCount;
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

// The scheme of "scheme://...", in lower case; empty for text without one.
std::string Scheme(const std::string& text) {
  const size_t colon = text.find("://");
  if (colon == std::string::npos || colon == 0) return {};
  std::string scheme = text.substr(0, colon);
  for (char& c : scheme) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    const bool letter = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
                        c == '-' || c == '.';
    if (!letter) return {};
  }
  return scheme;
}

int Check(const Invocation& in) {
  const std::string& source = in.arguments[0];
  const std::string scheme = Scheme(source);
  if (!scheme.empty() && scheme != "http" && scheme != "https") {
    return Refuse("cannot check " + source + ": Falwick fetches http and https URLs only");
  }
  const std::string* installedOption = in.Find("--installed");
  const std::string* product = in.Find("--product");
  const std::string* caFile = in.Find("--ca-file");
  std::string error;
  if (caFile != nullptr && !ReadFileBytes(*caFile, 1, error)) {
    return Refuse("cannot read --ca-file " + *caFile + ": " + error);
  }
  const std::string installedText = installedOption ? *installedOption : "0.0.000";

  Fact report = Fact::Object();
  report.Add("schema", Fact::Integer(1));
  Findings findings;
  std::optional<std::string> bytes;
  if (!scheme.empty()) {
    const UrlFetch fetch = FetchUrl(source, FetchOptions{caFile ? *caFile : std::string()});
    AddFetch(report, fetch);
    findings = FetchFindings(fetch);
    if (fetch.opened) bytes = fetch.body;
    error = "cannot fetch " + source + ": " + fetch.errorName + ": " + fetch.errorText;
  } else {
    report.Add("fetch", Fact());
    // One byte more than the program stores, so that a larger file can be told apart.
    bytes = ReadFileBytes(source, DownloadUpdateInfo::kMaxStoredBytes + 1, error);
    const size_t slash = source.find('/');
    const bool looksLikeUrl = !bytes && slash != std::string::npos &&
                              source.substr(0, slash).find('.') != std::string::npos &&
                              source[0] != '.';
    if (!bytes) {
      error = "cannot read " + source + ": " + error;
      findings.push_back({"file-not-read", Severity::kError, 0, error,
                          looksLikeUrl ? "for a URL, write https://" + source : "", {}});
    }
  }
  if (installedOption != nullptr) {
    const Findings installed = InstalledVersionFindings(installedText);
    findings.insert(findings.end(), installed.begin(), installed.end());
  }
  std::optional<InfoCheck> check;
  if (bytes) {
    check = CheckInfoFile(*bytes, ParseInstalledVersion(installedText),
                          product ? *product : std::string("<Product>"));
    findings.insert(findings.end(), check->findings.begin(), check->findings.end());
  }
  AddInfoCheck(report, check ? &*check : nullptr, source, bytes ? bytes->size() : 0,
               installedText, installedOption != nullptr);
  AddFindings(report, findings, check ? check->notListed : 0);
  Print(in.Find("--json") ? JsonReport(report) : TextReport(report));
  if (!bytes) {
    (void)Refuse(error);
    return kCouldNotCheck;
  }
  return ExitCode(findings);
}

int Write(const Invocation& in) {
  const std::string* version = in.Find("--version");
  const std::string* build = in.Find("--build");
  if (version == nullptr || build == nullptr) return Refuse("write needs --version and --build");
  InfoFileContent content{*version, *build, {}};
  const char* names[] = {"--message1", "--message2", "--message3"};
  for (size_t n = 0; n < kMessageCount; ++n) {
    if (const std::string* message = in.Find(names[n])) content.messages[n] = *message;
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
  const std::string* directory = in.Find("--dir");
  return RunCommand(in.arguments[0], directory ? *directory : std::string(),
                    in.Find("--json") != nullptr);
}
#endif

const std::vector<Command>& Commands() {
  static const std::vector<Command> kCommands = {
      {"check", "FILE|URL", 1,
       "Shows what Falwick reads from an update-information file, whether a user with the\n"
       "installed version gets the notice, its exact text, and every finding in the file.\n"
       "An http or https URL is fetched as Falwick fetches it (no encoding asked for, none\n"
       "undone), and how it is served is checked too: the status, how long Windows' cache\n"
       "may answer without asking the server, a cache on the way, a compressed body, and\n"
       "whether the server speaks the TLS 1.2 of Windows 10.\n",
       {{"--installed", "VERSION.BUILD", "the user's installed version (default 0.0.000, the oldest)"},
        {"--product", "NAME", "the product name of the standard sentence"},
#ifndef _WIN32
        {"--ca-file", "PEM", "trust the certificates in PEM instead of the system's"},
#endif
        {"--json", nullptr, "one JSON object instead of the text"}},
       Check},
      {"write", "", 0,
       "Prints a file that Falwick reads back exactly as given (CR-LF lines, long messages\n"
       "split over several lines of their key), and on standard error what the notice\n"
       "shows differently. Exit status 2, with the reason, when the content cannot be\n"
       "written so that it reads back the same (nothing is written).\n",
       {{"--version", "V", "VERSION, a decimal number such as 3.5"},
        {"--build", "B", "BUILD, a whole number"},
        {"--message1", "TEXT", "MESSAGE1"},
        {"--message2", "TEXT", "MESSAGE2"},
        {"--message3", "TEXT", "MESSAGE3"}},
       Write},
#ifdef _WIN32
      {"run", "COMMAND-LINE", 1,
       "Goes through Falwick's own run for the host's COMMAND-LINE (one argument) on this\n"
       "machine without changing anything, prints each step as Falwick takes it, the\n"
       "findings, and what Falwick would do (\"outcome\": notice, browser or nothing).\n",
       {{"--dir", "DIR", "Falwick.EXE's directory (default: this program's)"},
        {"--json", nullptr, "one JSON object instead of the text"}},
       Run},
#endif
  };
  return kCommands;
}

std::string Synopsis(const Command& command) {
  std::string line = std::string("falwick-info ") + command.name;
  if (*command.arguments != '\0') line += std::string(" ") + command.arguments;
  for (const Option& option : command.options) {
    line += std::string(" [") + option.name + (option.value ? std::string(" ") + option.value : "") + "]";
  }
  return line;
}

std::string Help(const Command& command) {
  std::string text = "usage: " + Synopsis(command) + "\n\n" + command.help + "\n";
  for (const Option& option : command.options) {
    std::string name = std::string("  ") + option.name + (option.value ? std::string(" ") + option.value : "");
    name.append(name.size() < 26 ? 26 - name.size() : 1, ' ');
    text += name + option.help + "\n";
  }
  return text + "\n" + kExitStatus;
}

std::string Usage() {
  std::string text = "usage:";
  for (const Command& command : Commands()) text += " " + Synopsis(command) + "\n      ";
  text += " falwick-info --help | --version | COMMAND --help\n\n";
  for (const Command& command : Commands()) {
    text += std::string(command.name) + ":\n" + command.help + "\n";
  }
  return text + kExitStatus;
}

// Parses `args` for `command`; nothing, with the reason in `problem`, when they are wrong.
std::optional<Invocation> Parse(const Command& command, const std::vector<std::string>& args,
                                std::string& problem, bool& help) {
  Invocation in;
  bool optionsEnd = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnd || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      in.arguments.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnd = true;
      continue;
    }
    if (arg == "--help") {
      help = true;
      return in;
    }
    const size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const Option* option = nullptr;
    for (const Option& candidate : command.options) {
      if (name == candidate.name) option = &candidate;
    }
    if (option == nullptr) {
      problem = "unknown option " + name + " for " + command.name;
    } else if (option->value == nullptr) {
      if (equals == std::string::npos) in.options[name] = "";
      else problem = name + " takes no value";
    } else if (equals != std::string::npos) {
      in.options[name] = arg.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      in.options[name] = args[++i];
    } else {
      problem = name + " needs a value (" + option->value + ")";
    }
    if (!problem.empty()) return std::nullopt;
  }
  if (in.arguments.size() != command.argumentCount) {
    problem = std::string(command.name) +
              (command.argumentCount == 0 ? " takes options only"
                                          : std::string(" needs one ") + command.arguments);
    return std::nullopt;
  }
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
  for (const Command& command : Commands()) {
    if (first != command.name) continue;
    std::string problem;
    bool help = false;
    const std::optional<Invocation> in =
        Parse(command, std::vector<std::string>(argv + 2, argv + argc), problem, help);
    if (help) {
      Print(Help(command));
      return 0;
    }
    if (!in) return Refuse(problem + " (see falwick-info " + command.name + " --help)");
    return command.run(*in);
  }
#ifndef _WIN32
  if (first == "run") return Refuse("run needs Windows: it runs Falwick's own Windows code");
#endif
  return Refuse((first.empty() ? std::string("no command") : "unknown command " + first) +
                " (see falwick-info --help)");
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
