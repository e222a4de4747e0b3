#include "security/UserInfo.h"

#include <windows.h>

#include <vector>

#include "common/ConsoleWrite.h"
#include "common/Token.h"
#include "common/UniqueHandle.h"

namespace {

constexpr const wchar_t* kPrivilegeError =
    L"Initialization Error: Insufficient privileges.\n"
    L"This tool needs to be run with administrative rights.\n"
    L"Please log in as an administrator or use the 'Run as...'\n"
    L"functionality to run the tool with administrative rights.\n";

// From Windows Vista on, an administrator's token that has not been elevated lists the group for
// deny only; the manifest asks for elevation, so such a membership still counts.
constexpr DWORD kFirstMajorVersionWithDenyOnlyAdmins = 6;

UniqueSid AdministratorsSid() {
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  UniqueSid sid;
  AllocateAndInitializeSid(&ntAuthority, /*subAuthorityCount=*/2, SECURITY_BUILTIN_DOMAIN_RID,
                           DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, sid.put());
  return sid;
}

bool PlatformCountsDenyOnly() {
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  return GetVersionExW(&version) && version.dwMajorVersion >= kFirstMajorVersionWithDenyOnlyAdmins;
}

bool MakesAdministrator(const SID_AND_ATTRIBUTES& group, PSID administrators) {
  if (!EqualSid(group.Sid, administrators)) {
    return false;
  }
  if ((group.Attributes & SE_GROUP_USE_FOR_DENY_ONLY) != 0 && PlatformCountsDenyOnly()) {
    return true;
  }
  return (group.Attributes & SE_GROUP_ENABLED) != 0;
}

}  // namespace

const wchar_t* PrivilegeErrorText() noexcept { return kPrivilegeError; }

bool UserInfo::CheckAdministrator() const {
  if (IsAdministrator()) {
    return true;
  }
  WriteText(StandardStream::kError, kPrivilegeError);
  return false;
}

bool UserInfo::IsAdministrator() const {
  const UniqueSid administrators = AdministratorsSid();
  if (!administrators) {
    return false;
  }
  const UniqueToken token = OpenQueryToken();
  if (!token) {
    return false;
  }
  const std::vector<BYTE> buffer = TokenInformation(token.get(), TokenGroups);
  if (buffer.empty()) {
    return false;
  }
  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
  for (DWORD i = 0; i < groups->GroupCount; ++i) {
    if (MakesAdministrator(groups->Groups[i], administrators.get())) {
      return true;
    }
  }
  return false;
}
