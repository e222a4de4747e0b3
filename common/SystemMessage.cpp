#include "common/SystemMessage.h"

#include <windows.h>

#include "common/UniqueHandle.h"

std::wstring SystemErrorText(unsigned long error) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      /*source=*/nullptr, error, /*languageId=*/0, reinterpret_cast<wchar_t*>(&text),
      /*size=*/0, /*arguments=*/nullptr);
  const UniqueLocalString owner(text);
  std::wstring message = length > 0 ? std::wstring(text, length) : std::wstring();
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                              message.back() == L' ' || message.back() == L'.')) {
    message.pop_back();
  }
  return L"error " + std::to_wstring(error) + (message.empty() ? L"" : L", " + message);
}
