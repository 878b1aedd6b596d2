// Windows paths as text, without asking the file system.
#pragma once

#include <string>
#include <string_view>

// The path up to and including its last backslash; a path without a backslash keeps all
// its text and gets one.
std::string DirectoryOf(std::string_view path);

// Whether two paths name the same file, compared without regard to ASCII case as the
// file system does.
bool SamePath(std::string_view a, std::string_view b);
