// The directory of the running executable, where the host's files lie.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/files.h"

// The module path up to and including its last backslash; a path without a backslash
// keeps all its text and gets one.
std::string ProgramDirectoryOf(std::string_view modulePath);

// The program's directory, or nothing when the module path cannot be had whole within
// the 260-character buffer: a truncated path would name the wrong place.
std::optional<std::string> ProgramDirectory(Files& files);

// Whether two paths name the same file, compared without regard to ASCII case as the
// file system does.
bool SamePath(std::string_view a, std::string_view b);
