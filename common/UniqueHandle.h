#pragma once

#include <windows.h>

#include <cstdint>
#include <type_traits>

// Owns one platform handle and releases it with Close; move-only. kInvalid is the handle kind's
// empty value: 0 for most, -1 (INVALID_HANDLE_VALUE) for files and find handles.
// Releasing keeps the caller's last-error value, so a failure can still be read after cleanup.
template <typename Handle, auto Close, std::intptr_t kInvalid = 0>
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

  static Handle Invalid() noexcept {
    if constexpr (std::is_pointer_v<Handle>) {
      return reinterpret_cast<Handle>(kInvalid);
    } else {
      return static_cast<Handle>(kInvalid);
    }
  }

  Handle get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return handle_ != Invalid(); }

  // Gives up ownership without closing.
  Handle release() noexcept {
    Handle handle = handle_;
    handle_ = Invalid();
    return handle;
  }

  void reset(Handle handle = Invalid()) noexcept {
    if (handle_ != Invalid()) {
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
  Handle handle_ = Invalid();
};

constexpr std::intptr_t kInvalidHandleValue = -1;  // INVALID_HANDLE_VALUE, as a template argument

using UniqueKernelHandle = UniqueHandle<HANDLE, CloseHandle>;
using UniqueToken = UniqueKernelHandle;
using UniqueFile = UniqueHandle<HANDLE, CloseHandle, kInvalidHandleValue>;
using UniqueFindHandle = UniqueHandle<HANDLE, FindClose, kInvalidHandleValue>;
using UniqueKey = UniqueHandle<HKEY, RegCloseKey>;
using UniqueModule = UniqueHandle<HMODULE, FreeLibrary>;
using UniqueIcon = UniqueHandle<HICON, DestroyIcon>;
using UniqueSid = UniqueHandle<PSID, FreeSid>;
// Security descriptors that ConvertStringSecurityDescriptorToSecurityDescriptorW allocates.
using UniqueSecurityDescriptor = UniqueHandle<PSECURITY_DESCRIPTOR, LocalFree>;
// Text that ConvertSidToStringSidW and FormatMessageW allocate.
using UniqueLocalString = UniqueHandle<wchar_t*, LocalFree>;
