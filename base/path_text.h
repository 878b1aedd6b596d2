// Windows paths as text, without asking the file system.
#pragma once

#include <string>
#include <string_view>

// The path up to and including its last backslash; a path without a backslash keeps all
// its text and gets one.
std::string DirectoryOf(std::string_view path);
