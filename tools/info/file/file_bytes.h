// The bytes of a file as the tools read it: whole, up to a bound, through the run-time
// library (the file checked, the download stored, a stale info file).
#pragma once

#include <cstddef>
#include <optional>
#include <string>

// Up to `limit` bytes of the file `path`; nothing, with the reason in `error`, when it
// cannot be opened or read.
std::optional<std::string> ReadFileBytes(const std::string& path, size_t limit,
                                         std::string& error);
