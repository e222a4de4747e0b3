#include "common/FolderSecurity.h"

#include <windows.h>

#include <sddl.h>

#include <string>
#include <string_view>
#include <vector>

#include "common/Token.h"

namespace {

constexpr std::wstring_view kPrivateFolderSddl = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
constexpr std::wstring_view kUsersMayRead = L"(A;OICI;FR;;;BU)";

// The SID of the user the tool runs as (the impersonated one on a thread that impersonates), as
// text; empty when the token cannot be read.
std::wstring RunningUserSid() {
  const std::vector<BYTE> user = RunningUser();
  if (user.empty()) {
    return {};
  }
  UniqueLocalString text;
  if (!ConvertSidToStringSidW(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid,
                              text.put())) {
    return {};
  }
  return text.get();
}

UniqueSecurityDescriptor FolderSecurity(std::wstring_view further) {
  UniqueSecurityDescriptor descriptor;
  const std::wstring user = RunningUserSid();
  if (user.empty()) {
    return descriptor;
  }
  std::wstring sddl(kPrivateFolderSddl);
  sddl += L"(A;OICI;FA;;;" + user + L")";
  sddl += further;
  ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                       descriptor.put(), /*descriptorSize=*/nullptr);
  return descriptor;
}

}  // namespace

UniqueSecurityDescriptor PrivateFolderSecurity() { return FolderSecurity({}); }

UniqueSecurityDescriptor LogFolderSecurity() { return FolderSecurity(kUsersMayRead); }
