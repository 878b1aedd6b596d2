#include "platform/shell_api_win.h"

#include <windows.h>

#include <shellapi.h>

static_assert(win::kCreateNew == CREATE_NEW);
static_assert(win::kFileAttributeArchive == FILE_ATTRIBUTE_ARCHIVE);
static_assert(win::kFileFlagDeleteOnClose == FILE_FLAG_DELETE_ON_CLOSE);
static_assert(win::kShowNormal == SW_SHOWNORMAL);

uint32_t Win32ShellApi::GetTempPathA(uint32_t size, char* buffer) {
  return ::GetTempPathA(size, buffer);
}

SystemHandle Win32ShellApi::CreateFileA(const char* path, uint32_t access, uint32_t shareMode,
                                        uint32_t disposition, uint32_t flagsAndAttributes) {
  return ::CreateFileA(path, access, shareMode, nullptr, disposition, flagsAndAttributes,
                       nullptr);
}

intptr_t Win32ShellApi::FindExecutableA(const char* file, const char* directory, char* result) {
  return reinterpret_cast<intptr_t>(::FindExecutableA(file, directory, result));
}

intptr_t Win32ShellApi::ShellExecuteA(WindowHandle owner, const char* verb, const char* file,
                                      const char* parameters, const char* directory,
                                      int showCommand) {
  return reinterpret_cast<intptr_t>(::ShellExecuteA(static_cast<HWND>(owner), verb, file,
                                                    parameters, directory, showCommand));
}

bool Win32ShellApi::DeleteFileA(const char* path) { return ::DeleteFileA(path) != FALSE; }
