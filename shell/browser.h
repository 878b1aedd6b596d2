// Opens a web page in the default browser: the program associated with ".htm" files,
// started with the URL as its command line.
#pragma once

#include <string>

#include "platform/platform.h"

// The association is found through an empty placeholder "www.htm" in the user's
// temporary directory, created with delete-on-close and deliberately left open: the
// file disappears when the process ends. Nothing happens, silently, when the temporary
// directory cannot be had, or when no program is associated with ".htm".
void OpenInBrowser(Platform& platform, WindowHandle owner, const std::string& url);
