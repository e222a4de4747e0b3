#include "common/Utf8.h"

#include <windows.h>

std::string ToUtf8(std::wstring_view text) {
  const int length = static_cast<int>(text.size());
  const int size = WideCharToMultiByte(CP_UTF8, /*flags=*/0, text.data(), length, nullptr,
                                       /*bufferSize=*/0, nullptr, nullptr);
  if (size <= 0) {
    return {};
  }
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, /*flags=*/0, text.data(), length, bytes.data(), size, nullptr,
                      nullptr);
  return bytes;
}
