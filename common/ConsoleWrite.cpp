#include "common/ConsoleWrite.h"

#include <windows.h>

#include <string>

#include "common/Utf8.h"

namespace {

void WriteUtf8(HANDLE handle, std::wstring_view text) {
  const std::string bytes = ToUtf8(text);
  const char* next = bytes.data();
  DWORD remaining = static_cast<DWORD>(bytes.size());
  while (remaining > 0) {
    DWORD written = 0;
    if (!WriteFile(handle, next, remaining, &written, /*overlapped=*/nullptr) || written == 0) {
      return;
    }
    next += written;
    remaining -= written;
  }
}

}  // namespace

void WriteText(StandardStream stream, std::wstring_view text) {
  const HANDLE handle =
      GetStdHandle(stream == StandardStream::kOutput ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || text.empty()) {
    return;
  }
  DWORD written = 0;
  if (WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written,
                    /*reserved=*/nullptr)) {
    return;
  }
  // WriteConsoleW refuses a file or a pipe, which is what redirected output is: without this the
  // text of `msitool /? > usage.txt` or of a deployment system's log capture would be lost.
  WriteUtf8(handle, text);
}
