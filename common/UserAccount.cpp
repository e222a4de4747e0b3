#include "common/UserAccount.h"

#include <windows.h>

#include <sddl.h>

#include <vector>

#include "common/Token.h"
#include "common/UniqueHandle.h"

namespace {

// PSIDs that ConvertStringSidToSidW allocates.
using UniqueLocalSid = UniqueHandle<PSID, LocalFree>;

}  // namespace

std::wstring RunningUserSid() {
  const std::vector<BYTE> user = RunningUser();
  UniqueLocalString text;
  if (user.empty() ||
      !ConvertSidToStringSidW(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid, text.put())) {
    return {};
  }
  return text.get();
}

std::optional<std::wstring> AccountNameOfSid(std::wstring_view sid) {
  UniqueLocalSid binary;
  const std::wstring sidText(sid);
  if (!ConvertStringSidToSidW(sidText.c_str(), binary.put())) {
    return std::nullopt;
  }
  DWORD nameLength = 0;
  DWORD domainLength = 0;
  SID_NAME_USE use = SidTypeUnknown;
  // The first call only learns both lengths.
  static_cast<void>(LookupAccountSidW(/*lpSystemName=*/nullptr, binary.get(), nullptr, &nameLength, nullptr,
                                      &domainLength, &use));
  if (nameLength == 0) {
    return std::nullopt;
  }
  std::wstring name(nameLength, L'\0');
  std::wstring domain(domainLength + 1, L'\0');
  if (!LookupAccountSidW(/*lpSystemName=*/nullptr, binary.get(), name.data(), &nameLength, domain.data(),
                         &domainLength, &use)) {
    return std::nullopt;
  }
  name.resize(nameLength);
  domain.resize(domainLength);
  return domain.empty() ? name : domain + L"\\" + name;
}
