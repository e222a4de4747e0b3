#include "common/Token.h"

UniqueToken OpenQueryToken() noexcept {
  UniqueToken token;
  if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, /*openAsSelf=*/TRUE, token.put())) {
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put());
  }
  return token;
}

std::vector<BYTE> TokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind) {
  DWORD size = 0;
  GetTokenInformation(token, kind, /*buffer=*/nullptr, /*bufferSize=*/0, &size);
  if (size == 0) {
    return {};
  }
  std::vector<BYTE> buffer(size);
  if (!GetTokenInformation(token, kind, buffer.data(), size, &size)) {
    return {};
  }
  return buffer;
}

std::vector<BYTE> RunningUser() {
  const UniqueToken token = OpenQueryToken();
  return token ? TokenInformation(token.get(), TokenUser) : std::vector<BYTE>();
}
