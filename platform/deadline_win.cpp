#include "platform/deadline_win.h"

HelperThreadDeadline::HelperThreadDeadline(HINTERNET internet, DWORD milliseconds)
    : internet_(internet), due_(GetTickCount64() + milliseconds), shared_(new Shared) {
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
  for (;;) {
    WaitForSingleObject(call->request.get(), INFINITE);
    switch (call->kind) {
      case Shared::Kind::kStop:
        return 0;
      case Shared::Kind::kOpenUrl:
        call->result = ::InternetOpenUrlA(call->handle, call->url.c_str(),
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
        if (InternetQueryDataAvailable(call->handle, &available, 0, 0) && available > 0 &&
            available < size) {
          size = available;
        }
        call->ok = ::InternetReadFile(call->handle, call->buffer.data(), size, &call->bytesRead);
        break;
      }
    }
    // The last error belongs to the thread that made the call.
    call->error = GetLastError();
    SetEvent(call->done.get());
  }
}

bool HelperThreadDeadline::Run() {
  if (fired_) return false;
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

void HelperThreadDeadline::Fire() {
  fired_ = true;
  // The documented way to end a blocked WinINet call; where it does not help, the
  // helper simply stays blocked until the process ends.
  ::InternetCloseHandle(internet_);
}

InternetHandle HelperThreadDeadline::InternetOpenUrlA(InternetHandle internet, const char* url,
                                                      const char* headers,
                                                      uint32_t headersLength, uint32_t flags,
                                                      uintptr_t context) {
  if (helper_ == nullptr) {
    return ::InternetOpenUrlA(internet, url, headers, headersLength, flags, context);
  }
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
    const BOOL ok = ::InternetReadFile(file, buffer, bytesToRead, &read);
    *bytesRead = read;
    return ok != FALSE;
  }
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
