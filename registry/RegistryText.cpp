#include "registry/RegistryText.h"

std::wstring ReadRegistryText(HKEY key, const wchar_t* name) {
  DWORD size = 0;
  if (RegGetValueW(key, /*lpSubKey=*/nullptr, name, RRF_RT_REG_SZ, /*pdwType=*/nullptr, /*pvData=*/nullptr,
                   &size) != ERROR_SUCCESS) {
    return {};
  }
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (RegGetValueW(key, /*lpSubKey=*/nullptr, name, RRF_RT_REG_SZ, /*pdwType=*/nullptr, text.data(), &size) !=
      ERROR_SUCCESS) {
    return {};
  }
  text.resize(wcsnlen(text.c_str(), text.size()));
  return text;
}
