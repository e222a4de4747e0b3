#pragma once

#include <windows.h>

// Owns one platform handle and releases it with Close; move-only.
// Releasing keeps the caller's last-error value, so a failure can still be read after cleanup.
template <typename Handle, auto Close>
class UniqueHandle {
 public:
  UniqueHandle() noexcept = default;
  explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    reset(other.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { reset(); }

  Handle get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return handle_ != Handle{}; }

  // Gives up ownership without closing.
  Handle release() noexcept {
    Handle handle = handle_;
    handle_ = Handle{};
    return handle;
  }

  void reset(Handle handle = Handle{}) noexcept {
    if (handle_ != Handle{}) {
      const DWORD lastError = GetLastError();
      Close(handle_);
      SetLastError(lastError);
    }
    handle_ = handle;
  }

  // Closes what is held and returns the slot for a platform call to fill.
  Handle* put() noexcept {
    reset();
    return &handle_;
  }

 private:
  Handle handle_{};
};

using UniqueKernelHandle = UniqueHandle<HANDLE, CloseHandle>;
using UniqueToken = UniqueKernelHandle;
using UniqueKey = UniqueHandle<HKEY, RegCloseKey>;
using UniqueSid = UniqueHandle<PSID, FreeSid>;
using UniqueLocalMemory = UniqueHandle<HLOCAL, LocalFree>;
