// falwick-info: the product maker's view of an update-information file.
//
//   falwick-info check FILE [--installed VERSION.BUILD] [--product NAME]
//   falwick-info write --version V --build B [--message1 TEXT] [--message2 TEXT]
//                      [--message3 TEXT]
//
// check prints what Falwick reads from FILE, whether that announces a newer version, the
// notice it shows, and a warning for every trap; exit status 0 when clean, 1 with
// warnings, 2 when the file cannot be read (or the command line is wrong).
// write prints a well-formed file to standard output; exit status 0, or 2 (with the
// reason on standard error) for content that would not read back as given.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "maker/info_check.h"
#include "update/download.h"

namespace {

constexpr const char* kDefaultInstalled = "0.0.000";
constexpr const char* kDefaultProduct = "<Product>";

constexpr const char* kUsage =
    "usage: falwick-info check FILE [--installed VERSION.BUILD] [--product NAME]\n"
    "       falwick-info write --version V --build B [--message1 TEXT] [--message2 TEXT]\n"
    "                          [--message3 TEXT]\n"
    "\n"
    "check  shows what Falwick reads from an update-information file, whether a user with\n"
    "       the installed version (default " "0.0.000" ", the oldest there is) gets the\n"
    "       notice, its exact text, and every trap in the file. Exit status: 0 clean,\n"
    "       1 with warnings, 2 when the file cannot be read.\n"
    "write  prints a file that Falwick reads back exactly as given (CR-LF lines, long\n"
    "       messages split over several lines of their key). Exit status 0, or 2 with\n"
    "       the reason when the content cannot be written so that it reads back the same.\n";

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

Options ParseOptions(int argc, char** argv, int first, const std::vector<std::string>& names) {
  Options options;
  for (int i = first; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      options.positional.push_back(arg);
      continue;
    }
    const size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
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

void PrintValue(const char* name, const std::string& value, int line) {
  std::printf("%-17s %s", name, value.c_str());
  if (line != 0) std::printf(" (line %d)", line);
  std::printf("\n");
}

int Check(int argc, char** argv) {
  const Options options = ParseOptions(argc, argv, 2, {"--installed", "--product"});
  if (!options.error.empty()) return Usage(options.error.c_str());
  if (options.positional.size() != 1) return Usage("check needs exactly one FILE");
  const std::string& path = options.positional[0];
  const std::string* installedOption = Find(options, "--installed");
  const std::string* productOption = Find(options, "--product");
  const std::string installedText = installedOption ? *installedOption : kDefaultInstalled;
  const std::string product = productOption ? *productOption : kDefaultProduct;

  std::string bytes;
  std::string error;
  if (!ReadWholeFile(path.c_str(), bytes, error)) {
    std::fprintf(stderr, "falwick-info: cannot read %s: %s\n", path.c_str(), error.c_str());
    return 2;
  }
  const ProgramVersion installed = ParseInstalledVersion(installedText);
  const InfoCheck check = CheckInfoFile(bytes, installed, product);
  const UpdateInfo& info = check.info;

  std::printf("%-17s %s (%zu bytes, %d lines)\n", "File", path.c_str(), bytes.size(),
              check.lineCount);
  PrintValue("VERSION", check.versionLine != 0
                            ? FormatNumber(info.newest.version)
                            : "not set (stays " + FormatNumber(installed.version) +
                                  ", the installed version)",
             check.versionLine);
  PrintValue("BUILD", check.buildLine != 0
                          ? std::to_string(info.newest.build)
                          : "not set (stays " + std::to_string(installed.build) +
                                ", the installed build)",
             check.buildLine);
  for (size_t n = 0; n < kMessageCount; ++n) {
    const std::string& message = info.messages[n];
    const std::string name = "MESSAGE" + std::to_string(n + 1);
    PrintValue(name.c_str(),
               message.empty() ? std::string("none") : "\"" + EscapeBytes(message) + "\"",
               message.empty() ? 0 : check.messageLine[n]);
  }
  std::printf("%-17s %s = version %s, build %d%s\n", "Installed", installedText.c_str(),
              FormatNumber(installed.version).c_str(), installed.build,
              installedOption ? "" : " (default: the oldest version; see --installed)");
  std::printf("%-17s %s: %s\n", "Newer", check.newer ? "yes" : "no", check.reason.c_str());
  std::printf("%-17s %s\n", "Notice",
              check.newer ? "the notice dialog appears"
                          : "none: Falwick ends without showing anything");
  std::printf("%-17s %s\n", "Display version", check.displayVersion.c_str());
  std::printf("Notice text (%s%s):\n",
              check.usesTemplate ? "the standard sentence"
                                 : "the maker's messages, joined by blank lines",
              check.newer ? "" : "; not shown for this installed version");
  size_t start = 0;
  for (;;) {
    const size_t end = check.noticeText.find("\r\n", start);
    const std::string line =
        EscapeBytes(std::string_view(check.noticeText).substr(start, end - start));
    std::printf(line.empty() ? "  |\n" : "  | %s\n", line.c_str());
    if (end == std::string::npos) break;
    start = end + 2;
  }

  if (check.warnings.empty()) {
    std::printf("No warnings.\n");
    return 0;
  }
  size_t total = check.warnings.size();
  for (const size_t omitted : check.omitted) total += omitted;
  std::printf("Warnings (%zu):\n", total);
  for (const InfoWarning& warning : check.warnings) {
    if (warning.line == 0) {
      std::printf("  file: %s\n", warning.text.c_str());
    } else {
      std::printf("  line %d: %s\n", warning.line, warning.text.c_str());
    }
  }
  size_t omitted = total - check.warnings.size();
  if (omitted != 0) std::printf("  (%zu more warnings like those above are not shown)\n", omitted);
  return 1;
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
  for (size_t n = 0; n < 3; ++n) {
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

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage(nullptr);
  const std::string command = argv[1];
  if (command == "check") return Check(argc, argv);
  if (command == "write") return Write(argc, argv);
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  return Usage(("unknown command " + command).c_str());
}
