// The directory of the running executable, where the host's files lie.
#pragma once

#include <optional>
#include <string>

#include "platform/files.h"

// The program's directory, ending in a backslash, or nothing when the module path cannot
// be had whole within the 260-character buffer: a truncated path would name the wrong
// place.
std::optional<std::string> ProgramDirectory(Files& files);
