// What a host product needs to start Falwick, as plain text functions: the command
// line, the host's own reading of the disable-checking value, and Falwick's path beside
// the host. The window and the process start are in sample_host_win.cpp.
#pragma once

#include <string>
#include <string_view>

// The eight values a host passes besides the mode, in the order of the command line.
struct FalwickRequest {
  std::string product;       // shown in the notice; must not be empty
  std::string infoUrl;       // where the update-information file is published
  std::string infoFile;      // bare file name for the download, in Falwick's directory
  std::string installed;     // installed version and build, e.g. "3.0.012"
  std::string settingsFile;  // the host's INI, a bare file name in Falwick's directory
  std::string section;       // where the disable-checking value lies in that INI
  std::string key;
  std::string downloadUrl;   // the page the browser opens
};

enum class CheckMode {
  kStartUp,   // "PU": at the host's start, unless the user disabled it
  kExplicit,  // "PX": the user asked; nothing newer opens the download page too
};

// The command line for CreateProcessA: the quoted path of Falwick.EXE, a space, and the
// nine tokens <product><PU|PX><info URL>...<download URL> with nothing between them.
// Returns "" when no such line can say what is meant: an empty product (Falwick would
// take the mode for the product), a value holding ">" (it would end its token early),
// or a path that is empty or holds a quotation mark.
std::string FalwickCommandLine(std::string_view falwickPath, const FalwickRequest& request,
                               CheckMode mode);

// A URL as Falwick must be given it, and what had to change. Falwick hands the download
// URL to the browser as its whole parameter string, unquoted, and a Windows program splits
// its command line at spaces and tabs and reads quotation marks as quoting: a URL holding
// one of these reaches the browser as several arguments, or cut short. And Falwick reads
// its command line in the ANSI code page, where a character the code page lacks becomes
// "?" or a look-alike ('"' for a fullwidth quotation mark). So each of these, and every
// byte of a non-ASCII character (the URL is given in UTF-8), is percent-encoded (space
// %20, tab %09, '"' %22, "é" %C3%A9), which browsers and servers read as the same URL.
// `encoded` lists what was encoded, as it is named to the user ("space", "tab",
// "quotation mark", "non-ASCII character"), comma-separated; "" when nothing was.
struct EncodedUrl {
  std::string url;
  std::string encoded;
};
EncodedUrl UrlForFalwick(std::string_view utf8Url);

// Whether the stored disable-checking value says "do not check at start-up", read as
// Falwick reads it for its check box: after white space, an optional sign and decimal
// digits that are not all zero. "1", "2", "-1" disable; "0", "", "yes" do not. Only the
// first nine characters count: Falwick reads the value into a 10-character buffer.
bool CheckingDisabled(std::string_view value);

// Whether `folder` (the [Host] key UserFolder) can name a folder under the user's
// %LOCALAPPDATA%: one or more names separated by backslashes, none empty, "." or "..",
// and none holding a character Windows forbids in a name (< > : " / | ? * and control
// characters). So it can never climb out of the user's folder, nor name a drive, a
// device path or a network share.
bool ValidUserFolder(std::string_view folder);

// The directory of a module path, up to and including its last backslash ("" when it
// has none).
std::string DirectoryOf(std::string_view modulePath);
