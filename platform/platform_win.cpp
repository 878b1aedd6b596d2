#include "platform/platform_win.h"

#include <share.h>
#include <shellapi.h>
#include <stdio.h>
#include <wininet.h>

#include "platform/deadline_win.h"
#include "platform/win_constants.h"
#include "ui/update_notice_dlg_win.h"

static_assert(win::kCreateNew == CREATE_NEW);
static_assert(win::kFileAttributeArchive == FILE_ATTRIBUTE_ARCHIVE);
static_assert(win::kFileFlagDeleteOnClose == FILE_FLAG_DELETE_ON_CLOSE);
static_assert(win::kShareDenyReadWrite == _SH_DENYRW);
static_assert(win::kConnectionModem == INTERNET_CONNECTION_MODEM);
static_assert(win::kConnectionLan == INTERNET_CONNECTION_LAN);
static_assert(win::kOpenTypePreconfig == INTERNET_OPEN_TYPE_PRECONFIG);
static_assert(win::kFlagExistingConnect == INTERNET_FLAG_EXISTING_CONNECT);
static_assert(win::kOptionConnectTimeout == INTERNET_OPTION_CONNECT_TIMEOUT);
static_assert(win::kOptionSendTimeout == INTERNET_OPTION_SEND_TIMEOUT);
static_assert(win::kOptionReceiveTimeout == INTERNET_OPTION_RECEIVE_TIMEOUT);
static_assert(win::kShowNormal == SW_SHOWNORMAL);
static_assert(win::kIdOk == IDOK && win::kIdCancel == IDCANCEL);

namespace {

FILE* AsFile(FileHandle file) { return static_cast<FILE*>(file); }

}  // namespace

Win32Platform::Win32Platform(HINSTANCE instance) : instance_(instance) {}

uint32_t Win32Platform::GetModuleFileNameA(char* buffer, uint32_t size) {
  return ::GetModuleFileNameA(nullptr, buffer, size);
}

uint32_t Win32Platform::GetTempPathA(uint32_t size, char* buffer) {
  return ::GetTempPathA(size, buffer);
}

SystemHandle Win32Platform::CreateFileA(const char* path, uint32_t access, uint32_t shareMode,
                                        uint32_t disposition, uint32_t flagsAndAttributes) {
  return ::CreateFileA(path, access, shareMode, nullptr, disposition, flagsAndAttributes,
                       nullptr);
}

bool Win32Platform::DeleteFileA(const char* path) { return ::DeleteFileA(path) != FALSE; }

FileHandle Win32Platform::FsOpen(const char* path, const char* mode, int shareFlag) {
  FILE* file = ::_fsopen(path, mode, shareFlag);
  // The program buffers by itself; the library's buffer would only add a copy.
  if (file != nullptr) (void)::setvbuf(file, nullptr, _IONBF, 0);
  return file;
}

size_t Win32Platform::FRead(void* buffer, size_t size, size_t count, FileHandle file) {
  return ::fread(buffer, size, count, AsFile(file));
}

size_t Win32Platform::FWrite(const void* buffer, size_t size, size_t count, FileHandle file) {
  return ::fwrite(buffer, size, count, AsFile(file));
}

int Win32Platform::FError(FileHandle file) { return ::ferror(AsFile(file)); }

int Win32Platform::FClose(FileHandle file) { return ::fclose(AsFile(file)); }

bool Win32Platform::InternetGetConnectedState(uint32_t* flags, uint32_t reserved) {
  DWORD value = 0;
  const BOOL connected = ::InternetGetConnectedState(&value, reserved);
  *flags = value;
  return connected != FALSE;
}

InternetHandle Win32Platform::InternetOpenA(const char* agent, uint32_t accessType,
                                            const char* proxy, const char* proxyBypass,
                                            uint32_t flags) {
  return ::InternetOpenA(agent, accessType, proxy, proxyBypass, flags);
}

bool Win32Platform::InternetSetOptionA(InternetHandle handle, uint32_t option, void* buffer,
                                       uint32_t length) {
  return ::InternetSetOptionA(handle, option, buffer, length) != FALSE;
}

InternetHandle Win32Platform::InternetOpenUrlA(InternetHandle internet, const char* url,
                                               const char* headers, uint32_t headersLength,
                                               uint32_t flags, uintptr_t context) {
  if (deadline_ != nullptr) {
    return deadline_->OpenUrl(internet, url, headers, headersLength, flags, context);
  }
  return ::InternetOpenUrlA(internet, url, headers, headersLength, flags, context);
}

bool Win32Platform::InternetReadFile(InternetHandle file, void* buffer, uint32_t bytesToRead,
                                     uint32_t* bytesRead) {
  DWORD read = 0;
  const BOOL ok = deadline_ != nullptr ? deadline_->ReadFile(file, buffer, bytesToRead, &read)
                                       : ::InternetReadFile(file, buffer, bytesToRead, &read);
  *bytesRead = read;
  return ok != FALSE;
}

bool Win32Platform::InternetCloseHandle(InternetHandle handle) {
  return ::InternetCloseHandle(handle) != FALSE;
}

DeadlineHandle Win32Platform::ArmDeadline(InternetHandle internet, uint32_t milliseconds) {
  deadline_ = new FetchDeadline(internet, milliseconds);
  return deadline_;
}

bool Win32Platform::DisarmDeadline(DeadlineHandle handle) {
  if (handle == deadline_) deadline_ = nullptr;
  return FetchDeadline::Disarm(static_cast<FetchDeadline*>(handle));
}

uint32_t Win32Platform::GetPrivateProfileStringA(const char* section, const char* key,
                                                 const char* defaultValue, char* buffer,
                                                 uint32_t size, const char* fileName) {
  return ::GetPrivateProfileStringA(section, key, defaultValue, buffer, size, fileName);
}

bool Win32Platform::WritePrivateProfileStringA(const char* section, const char* key,
                                               const char* value, const char* fileName) {
  return ::WritePrivateProfileStringA(section, key, value, fileName) != FALSE;
}

intptr_t Win32Platform::FindExecutableA(const char* file, const char* directory,
                                        char* result) {
  return reinterpret_cast<intptr_t>(::FindExecutableA(file, directory, result));
}

intptr_t Win32Platform::ShellExecuteA(WindowHandle owner, const char* verb, const char* file,
                                      const char* parameters, const char* directory,
                                      int showCommand) {
  return reinterpret_cast<intptr_t>(::ShellExecuteA(static_cast<HWND>(owner), verb, file,
                                                    parameters, directory, showCommand));
}

std::unique_ptr<NoticeDialog> Win32Platform::CreateNoticeDialog() {
  return std::make_unique<CUpdateNoticeDlg>(instance_);
}
