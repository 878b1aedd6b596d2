// falwick-info: the product maker's view of an update-information file.
//
//   falwick-info check FILE|URL [--installed VERSION.BUILD] [--product NAME] [--json]
//                      [--ca-file PEM]
//   falwick-info write --version V --build B [--message1 TEXT] [--message2 TEXT]
//                      [--message3 TEXT]
//   falwick-info run [--dir DIR] [--json] COMMAND-LINE      (Windows build)
//   falwick-info --version
//
// check prints what Falwick reads from FILE, whether that announces a newer version, the
// notice it shows, and a warning for every trap; exit status 0 when clean, 1 with
// warnings, 2 when the file cannot be read (or the command line is wrong). Given an http
// or https URL it fetches the file first, as Falwick does, and reports how it was served.
// write prints a well-formed file to standard output; exit status 0, or 2 (with the
// reason on standard error) for content that would not read back as given.
// run is Falwick's own run for a host's command line on this machine, as a dry run
// (run_command.h).
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include "platform/deadline_win.h"
#endif

#include "tools/info/file_check/report_json.h"
#include "tools/info/file_check/report_text.h"
#include "tools/info/url_check/fetch_report.h"
#include "tools/info/file_check/file_check.h"
#include "tools/info/write/info_write.h"
#include "tools/info/common/json_writer.h"
#include "tools/info/run_check/run_command.h"
#include "tools/info/url_check/url_fetch.h"
#include "ui/version.h"
#include "update/download.h"

namespace {

constexpr const char* kDefaultInstalled = "0.0.000";
constexpr const char* kDefaultProduct = "<Product>";

constexpr const char* kUsage =
    "usage: falwick-info check FILE|URL [--installed VERSION.BUILD] [--product NAME]\n"
    "                          [--json] [--ca-file PEM]\n"
    "       falwick-info write --version V --build B [--message1 TEXT] [--message2 TEXT]\n"
    "                          [--message3 TEXT]\n"
    "       falwick-info run [--dir DIR] [--json] COMMAND-LINE\n"
    "       falwick-info --version\n"
    "\n"
    "check  shows what Falwick reads from an update-information file, whether a user with\n"
    "       the installed version (default " "0.0.000" ", the oldest there is) gets the\n"
    "       notice, its exact text, and every trap in the file. Exit status: 0 clean,\n"
    "       1 with warnings, 2 when the file cannot be read. An http or https URL is\n"
    "       fetched as Falwick fetches it (no encoding asked for, none undone), and how\n"
    "       it is served is checked too: how long Windows' cache may answer without\n"
    "       asking the server, a cache on the way, a compressed body; --ca-file\n"
    "       trusts the certificates in PEM instead of the system's (native build).\n"
    "       --json prints one JSON object instead.\n"
    "write  prints a file that Falwick reads back exactly as given (CR-LF lines, long\n"
    "       messages split over several lines of their key). Exit status 0, or 2 with\n"
    "       the reason when the content cannot be written so that it reads back the same.\n"
    "run    (Windows) goes through Falwick's run for the host's COMMAND-LINE (one argument)\n"
    "       on this machine without changing anything, prints each step and what Falwick\n"
    "       would do; DIR is Falwick.EXE's directory (default: this program's). Exit\n"
    "       status: 0 a notice or the download page, 1 nothing, 2 bad usage.\n";

int Usage(const char* problem) {
  if (problem != nullptr) std::fprintf(stderr, "falwick-info: %s\n", problem);
  std::fputs(kUsage, stderr);
  return 2;
}

// Options after the command: "--name value" or "--name=value"; others are positional.
struct Options {
  std::vector<std::pair<std::string, std::string>> named;
  std::vector<std::string> positional;
  std::string error;
};

// `flags` are options without a value ("--json"), given as "" in `named`.
Options ParseOptions(int argc, char** argv, int first, const std::vector<std::string>& names,
                     const std::vector<std::string>& flags = {}) {
  Options options;
  for (int i = first; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      options.positional.push_back(arg);
      continue;
    }
    const size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    bool flag = false;
    for (const std::string& candidate : flags) flag = flag || candidate == arg;
    if (flag) {
      options.named.emplace_back(name, "");
      continue;
    }
    bool known = false;
    for (const std::string& candidate : names) known = known || candidate == name;
    if (!known) {
      options.error = "unknown option " + name;
      return options;
    }
    if (equals != std::string::npos) {
      options.named.emplace_back(name, arg.substr(equals + 1));
    } else if (i + 1 < argc) {
      options.named.emplace_back(name, argv[++i]);
    } else {
      options.error = name + " needs a value";
      return options;
    }
  }
  return options;
}

const std::string* Find(const Options& options, const std::string& name) {
  const std::string* found = nullptr;
  for (const auto& [key, value] : options.named) {
    if (key == name) found = &value;  // the last one counts
  }
  return found;
}

bool ReadWholeFile(const char* path, std::string& bytes, std::string& error) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    error = std::strerror(errno);
    return false;
  }
  // One byte more than the program stores, so that a larger file can be told apart.
  const size_t limit = DownloadUpdateInfo::kMaxStoredBytes + 1;
  char buffer[65536];
  while (bytes.size() < limit) {
    const size_t want = std::min(sizeof buffer, limit - bytes.size());
    const size_t got = std::fread(buffer, 1, want, file);
    bytes.append(buffer, got);
    if (got < want) break;
  }
  const bool failed = std::ferror(file) != 0;
  if (failed) error = std::strerror(errno);
  std::fclose(file);
  return !failed;
}

bool IsUrl(const std::string& text) {
  std::string scheme = text.substr(0, text.find(':') == std::string::npos ? 0 : text.find(':'));
  for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return (scheme == "http" || scheme == "https") && text.compare(scheme.size(), 3, "://") == 0;
}

void Print(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

int Check(int argc, char** argv) {
  const Options options =
      ParseOptions(argc, argv, 2, {"--installed", "--product", "--ca-file"}, {"--json"});
  if (!options.error.empty()) return Usage(options.error.c_str());
  if (options.positional.size() != 1) return Usage("check needs exactly one FILE or URL");
  const std::string& source = options.positional[0];
  const std::string* installedOption = Find(options, "--installed");
  const std::string* productOption = Find(options, "--product");
  const std::string* caFile = Find(options, "--ca-file");
  const bool json = Find(options, "--json") != nullptr;
  const std::string installedText = installedOption ? *installedOption : kDefaultInstalled;
  const std::string product = productOption ? *productOption : kDefaultProduct;

  std::string bytes;
  std::optional<UrlFetch> fetch;
  std::vector<FetchWarning> fetchWarnings;
  if (IsUrl(source)) {
    fetch = FetchUrl(source, FetchOptions{caFile ? *caFile : std::string()});
    fetchWarnings = FetchWarnings(*fetch);
    bytes = fetch->body;
  } else {
    std::string error;
    if (!ReadWholeFile(source.c_str(), bytes, error)) {
      std::fprintf(stderr, "falwick-info: cannot read %s: %s\n", source.c_str(), error.c_str());
      return 2;
    }
  }
  const bool opened = !fetch || fetch->opened;
  const InfoCheck check = CheckInfoFile(bytes, ParseInstalledVersion(installedText), product);
  const ReportSubject subject{source, bytes.size(), installedText, installedOption != nullptr};

  if (json) {
    JsonWriter out;
    out.BeginObject();
    if (fetch) WriteFetchJson(out.Key("fetch"), *fetch);
    if (opened) WriteCheckMembers(out, check, subject);
    out.Key("warnings").BeginArray();
    WriteWarningsJson(out, fetchWarnings);
    if (opened) WriteCheckWarnings(out, check);
    out.EndArray();
    out.EndObject();
    Print(out.Text());
  } else {
    if (fetch) Print(FormatFetchReport(*fetch) + FormatFetchWarnings(fetchWarnings));
    if (opened) Print(FormatCheckReport(check, subject));
  }
  if (!opened) {
    std::fprintf(stderr, "falwick-info: cannot fetch %s: %s\n", source.c_str(),
                 fetch->errorText.c_str());
    return 2;
  }
  return check.warnings.empty() && fetchWarnings.empty() ? 0 : 1;
}

int Write(int argc, char** argv) {
  const Options options = ParseOptions(
      argc, argv, 2, {"--version", "--build", "--message1", "--message2", "--message3"});
  if (!options.error.empty()) return Usage(options.error.c_str());
  if (!options.positional.empty()) return Usage("write takes options only");
  const std::string* version = Find(options, "--version");
  const std::string* build = Find(options, "--build");
  if (version == nullptr || build == nullptr) return Usage("write needs --version and --build");

  InfoFileContent content;
  content.version = *version;
  content.build = *build;
  const char* names[] = {"--message1", "--message2", "--message3"};
  for (size_t n = 0; n < kMessageCount; ++n) {
    if (const std::string* message = Find(options, names[n])) content.messages[n] = *message;
  }
  const WrittenInfoFile file = WriteInfoFile(content);
  if (!file.ok) {
    std::fprintf(stderr, "falwick-info: nothing written: %s\n", file.error.c_str());
    return 2;
  }
  for (const std::string& note : file.notes) {
    std::fprintf(stderr, "falwick-info: note: %s\n", note.c_str());
  }
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);  // CR LF as written, not CR CR LF
#endif
  std::fwrite(file.text.data(), 1, file.text.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 2;
}


#ifdef _WIN32
// A fetch whose call was abandoned at the network deadline leaves a helper thread
// blocked inside WinINet; the process then ends as Falwick's does, without the DLLs'
// clean-up that could wait on that call, once what was printed is out.
int EndAfterFetch(int status) {
  std::fflush(stdout);
  std::fflush(stderr);
  EndProcessIfAbandoned(static_cast<UINT>(status));
  return status;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage(nullptr);
  const std::string command = argv[1];
#ifdef _WIN32
  if (command == "check") return EndAfterFetch(Check(argc, argv));
#else
  if (command == "check") return Check(argc, argv);
#endif
  if (command == "write") return Write(argc, argv);
#ifdef _WIN32
  if (command == "run") return EndAfterFetch(RunCommand(argc, argv));
#else
  if (command == "run") return Usage("run needs Windows: it runs Falwick's own Windows code");
#endif
  if (command == "--version") {
    std::puts("falwick-info " FALWICK_VERSION_DOTTED);  // Falwick's own version
    return 0;
  }
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  return Usage(("unknown command " + command).c_str());
}
