#include "platform/deadline_win.h"

FetchDeadline::FetchDeadline(HINTERNET internet, DWORD milliseconds)
    : internet_(internet), due_(GetTickCount64() + milliseconds), call_(new Call) {
  request_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  done_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (request_ != nullptr && done_ != nullptr) {
    helper_ = CreateThread(nullptr, 0, HelperMain, this, 0, nullptr);
  }
}

DWORD WINAPI FetchDeadline::HelperMain(void* parameter) {
  // Only `request_`, `done_` and `call_` are touched here; none of them is freed while
  // the helper may still run.
  auto* self = static_cast<FetchDeadline*>(parameter);
  HANDLE request = self->request_;
  HANDLE done = self->done_;
  Call* call = self->call_;
  for (;;) {
    WaitForSingleObject(request, INFINITE);
    switch (call->kind) {
      case Call::Kind::kStop:
        return 0;
      case Call::Kind::kOpenUrl:
        call->result = InternetOpenUrlA(call->handle, call->url.c_str(),
                                        call->hasHeaders ? call->headers.c_str() : nullptr,
                                        static_cast<DWORD>(call->headers.size()), call->flags,
                                        call->context);
        break;
      case Call::Kind::kRead: {
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
        call->ok = InternetReadFile(call->handle, call->buffer.data(), size, &call->bytesRead);
        break;
      }
    }
    SetEvent(done);
  }
}

bool FetchDeadline::Run() {
  if (fired_) return false;
  const ULONGLONG now = GetTickCount64();
  if (now >= due_) {
    Fire();
    return false;
  }
  SetEvent(request_);
  if (WaitForSingleObject(done_, static_cast<DWORD>(due_ - now)) == WAIT_OBJECT_0) return true;
  Fire();
  return false;
}

void FetchDeadline::Fire() {
  fired_ = true;
  // The documented way to end a blocked WinINet call; where it does not help, the
  // helper simply stays blocked until the process ends.
  InternetCloseHandle(internet_);
}

HINTERNET FetchDeadline::OpenUrl(HINTERNET internet, const char* url, const char* headers,
                                 DWORD headersLength, DWORD flags, DWORD_PTR context) {
  if (helper_ == nullptr) {
    return InternetOpenUrlA(internet, url, headers, headersLength, flags, context);
  }
  call_->kind = Call::Kind::kOpenUrl;
  call_->handle = internet;
  call_->url = url;
  call_->hasHeaders = headers != nullptr;
  call_->headers = headers != nullptr ? std::string(headers, headersLength) : std::string();
  call_->flags = flags;
  call_->context = context;
  if (Run()) return call_->result;
  SetLastError(ERROR_INTERNET_TIMEOUT);
  return nullptr;
}

BOOL FetchDeadline::ReadFile(HINTERNET file, void* buffer, DWORD bytesToRead,
                             DWORD* bytesRead) {
  if (helper_ == nullptr) return InternetReadFile(file, buffer, bytesToRead, bytesRead);
  call_->kind = Call::Kind::kRead;
  call_->handle = file;
  call_->buffer.resize(bytesToRead);
  *bytesRead = 0;
  if (!Run()) {
    SetLastError(ERROR_INTERNET_TIMEOUT);
    return FALSE;
  }
  CopyMemory(buffer, call_->buffer.data(), call_->bytesRead);
  *bytesRead = call_->bytesRead;
  return call_->ok;
}

bool FetchDeadline::Disarm(FetchDeadline* deadline) {
  const bool fired = deadline->fired_;
  if (fired) {
    // The helper may be blocked for good and still holds the call and the events:
    // they are left to the end of the process, as the helper is.
    return true;
  }
  if (deadline->helper_ != nullptr) {
    deadline->call_->kind = Call::Kind::kStop;
    SetEvent(deadline->request_);
    WaitForSingleObject(deadline->helper_, INFINITE);
    CloseHandle(deadline->helper_);
  }
  if (deadline->request_ != nullptr) CloseHandle(deadline->request_);
  if (deadline->done_ != nullptr) CloseHandle(deadline->done_);
  delete deadline->call_;
  delete deadline;
  return false;
}
