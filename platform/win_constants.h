// Values of the Windows constants the portable code passes through the platform seam.
// They are spelled out here because the native build has no <windows.h>; the Windows
// build checks each one against the system headers at compile time.
#pragma once

#include <cstdint>

namespace win {

// Files (CreateFileA) and the run-time library's sharing flag.
constexpr intptr_t kInvalidHandle = -1;  // INVALID_HANDLE_VALUE, as a number
constexpr uint32_t kCreateNew = 1;
constexpr uint32_t kFileAttributeArchive = 0x00000020;
constexpr uint32_t kFileFlagDeleteOnClose = 0x04000000;
constexpr int kShareDenyReadWrite = 0x10;  // _SH_DENYRW

// WinINet.
constexpr uint32_t kConnectionModem = 0x01;  // INTERNET_CONNECTION_MODEM
constexpr uint32_t kConnectionLan = 0x02;    // INTERNET_CONNECTION_LAN
constexpr uint32_t kOpenTypePreconfig = 0;   // INTERNET_OPEN_TYPE_PRECONFIG
constexpr uint32_t kFlagExistingConnect = 0x20000000;
constexpr uint32_t kOptionConnectTimeout = 2;
constexpr uint32_t kOptionSendTimeout = 5;
constexpr uint32_t kOptionReceiveTimeout = 6;

// Shell and dialogs.
constexpr int kShowNormal = 1;  // SW_SHOWNORMAL
constexpr intptr_t kShellErrorLimit = 32;  // results up to this are errors
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

}  // namespace win
