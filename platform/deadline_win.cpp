#include "platform/deadline_win.h"

bool HelperThreadDeadline::abandoned_ = false;

HelperThreadDeadline::HelperThreadDeadline(DWORD milliseconds, const WinInetCalls& calls)
    : due_(GetTickCount64() + milliseconds), shared_(new Shared) {
  shared_->calls = calls;
  shared_->request.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
  shared_->done.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
  if (shared_->request != nullptr && shared_->done != nullptr) {
    helper_.reset(CreateThread(nullptr, 0, HelperMain, shared_.get(), 0, nullptr));
  }
}

HelperThreadDeadline::~HelperThreadDeadline() {
  if (fired_) {
    (void)helper_.release();
    (void)shared_.release();
    return;
  }
  if (helper_ != nullptr) {
    shared_->kind = Shared::Kind::kStop;
    SetEvent(shared_->request.get());
    WaitForSingleObject(helper_.get(), INFINITE);
  }
}

DWORD WINAPI HelperThreadDeadline::HelperMain(void* parameter) {
  auto* call = static_cast<Shared*>(parameter);
  const WinInetCalls& wininet = call->calls;
  for (;;) {
    WaitForSingleObject(call->request.get(), INFINITE);
    switch (call->kind) {
      case Shared::Kind::kStop:
        return 0;
      case Shared::Kind::kConnectedState:
        call->ok = wininet.getConnectedState(&call->flags, 0);
        break;
      case Shared::Kind::kOpenUrl:
        call->result = wininet.openUrl(call->handle, call->url.c_str(),
                                       call->hasHeaders ? call->headers.c_str() : nullptr,
                                       static_cast<DWORD>(call->headers.size()), call->flags,
                                       call->context);
        break;
      case Shared::Kind::kRead: {
        call->bytesRead = 0;
        // A synchronous read waits until the whole buffer is full, so the bytes that
        // arrived for a read the deadline abandons would be lost. Reading no more than
        // is available keeps every byte that arrived before a stall.
        DWORD size = static_cast<DWORD>(call->buffer.size());
        DWORD available = 0;
        if (wininet.queryDataAvailable(call->handle, &available, 0, 0) && available > 0 &&
            available < size) {
          size = available;
        }
        call->ok = wininet.readFile(call->handle, call->buffer.data(), size, &call->bytesRead);
        break;
      }
    }
    // The last error belongs to the thread that made the call.
    call->error = GetLastError();
    SetEvent(call->done.get());
  }
}

bool HelperThreadDeadline::Run() {
  const ULONGLONG now = GetTickCount64();
  if (now >= due_) {
    Fire();
    return false;
  }
  SetEvent(shared_->request.get());
  if (WaitForSingleObject(shared_->done.get(), static_cast<DWORD>(due_ - now)) == WAIT_OBJECT_0) {
    SetLastError(shared_->error);
    return true;
  }
  Fire();
  return false;
}

bool HelperThreadDeadline::TimedOut() const {
  // Once fired, the abandoned call may still be reading the shared URL or writing into
  // the shared buffer: a later call must not fill them in.
  if (!fired_) return false;
  SetLastError(ERROR_INTERNET_TIMEOUT);
  return true;
}

void HelperThreadDeadline::Fire() {
  // Nothing is closed or cancelled here: the helper may be inside a call on the handles,
  // and Windows documents closing a handle only when no call is using it. The call is
  // simply left to run, or to block until the process ends.
  fired_ = true;
  abandoned_ = true;
}

bool HelperThreadDeadline::InternetGetConnectedState(uint32_t* flags, uint32_t reserved) {
  *flags = 0;
  if (helper_ == nullptr) {
    DWORD value = 0;
    const BOOL connected = shared_->calls.getConnectedState(&value, reserved);
    *flags = value;
    return connected != FALSE;
  }
  if (TimedOut()) return false;
  Shared& call = *shared_;
  call.kind = Shared::Kind::kConnectedState;
  call.flags = 0;
  call.ok = FALSE;
  if (!Run()) {
    SetLastError(ERROR_INTERNET_TIMEOUT);
    return false;
  }
  *flags = call.flags;
  return call.ok != FALSE;
}

InternetHandle HelperThreadDeadline::InternetOpenUrlA(InternetHandle internet, const char* url,
                                                      const char* headers,
                                                      uint32_t headersLength, uint32_t flags,
                                                      uintptr_t context) {
  if (helper_ == nullptr) {
    return shared_->calls.openUrl(internet, url, headers, headersLength, flags, context);
  }
  if (TimedOut()) return nullptr;
  Shared& call = *shared_;
  call.kind = Shared::Kind::kOpenUrl;
  call.handle = internet;
  call.url = url;
  call.hasHeaders = headers != nullptr;
  call.headers = headers != nullptr ? std::string(headers, headersLength) : std::string();
  call.flags = flags;
  call.context = context;
  if (Run()) return call.result;
  SetLastError(ERROR_INTERNET_TIMEOUT);
  return nullptr;
}

bool HelperThreadDeadline::InternetReadFile(InternetHandle file, void* buffer,
                                            uint32_t bytesToRead, uint32_t* bytesRead) {
  *bytesRead = 0;
  if (helper_ == nullptr) {
    DWORD read = 0;
    const BOOL ok = shared_->calls.readFile(file, buffer, bytesToRead, &read);
    *bytesRead = read;
    return ok != FALSE;
  }
  if (TimedOut()) return false;
  Shared& call = *shared_;
  call.kind = Shared::Kind::kRead;
  call.handle = file;
  call.buffer.resize(bytesToRead);
  if (!Run()) {
    SetLastError(ERROR_INTERNET_TIMEOUT);
    return false;
  }
  CopyMemory(buffer, call.buffer.data(), call.bytesRead);
  *bytesRead = call.bytesRead;
  return call.ok != FALSE;
}

void EndProcessIfAbandoned(UINT exitCode) {
  if (!HelperThreadDeadline::AnyAbandoned()) return;
  // Terminating the process itself does not return.
  TerminateProcess(GetCurrentProcess(), exitCode);
}
