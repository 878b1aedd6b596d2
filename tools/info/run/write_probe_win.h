// What Falwick could do with a file of the program directory, found out without changing
// what lies there: write it, create one beside it, delete it.
#pragma once

#include <string>

#include "tools/info/run/dry_run.h"

// Whether Falwick could open `path` for writing: an existing file is opened for writing
// and closed unwritten; a missing one is created with delete-on-close and closed, so it
// is gone again at once.
WriteProbe ProbeFileWrite(const std::string& path);
// Whether a new file can be created in `directory` (ending in a backslash), with a
// delete-on-close file of the tool's own name.
WriteProbe ProbeDirectoryWrite(const std::string& directory);
// Whether DeleteFileA would delete the existing file `path` (it is not deleted).
bool CanDelete(const std::string& path);
bool FileExists(const std::string& path);
