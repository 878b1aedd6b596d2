// The downloaded update-information file: read, then deleted.
#pragma once

#include <string>

#include "platform/files.h"
#include "update/program_version.h"
#include "update/update_info.h"

// Reads the info file at `path` into an UpdateInfo whose version starts as `installed`
// (a file that cannot be opened leaves the start values), then deletes the file, whether
// or not it could be opened. A read error ends the file after what was read before it.
UpdateInfo ReadUpdateInfo(Files& files, const std::string& path,
                          const ProgramVersion& installed);
