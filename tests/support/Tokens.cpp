#include "support/Tokens.h"

#include <vector>

namespace {

constexpr DWORD kNoRestrictionFlags = 0;

}  // namespace

UniqueToken MakeTokenWithoutAdministrators() noexcept {
  UniqueToken processToken;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_ASSIGN_PRIMARY,
                        processToken.put())) {
    return UniqueToken();
  }
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  UniqueSid administrators;
  if (!AllocateAndInitializeSid(&ntAuthority, /*nSubAuthorityCount=*/2, SECURITY_BUILTIN_DOMAIN_RID,
                                DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, administrators.put())) {
    return UniqueToken();
  }
  SID_AND_ATTRIBUTES disabled{administrators.get(), /*Attributes=*/0};
  UniqueToken restricted;
  if (!CreateRestrictedToken(processToken.get(), kNoRestrictionFlags, /*DisableSidCount=*/1, &disabled,
                             /*DeletePrivilegeCount=*/0, /*PrivilegesToDelete=*/nullptr,
                             /*RestrictedSidCount=*/0, /*SidsToRestrict=*/nullptr, restricted.put())) {
    return UniqueToken();
  }
  return restricted;
}

DWORD AdministratorsAttributes(HANDLE token) {
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  UniqueSid administrators;
  DWORD size = 0;
  if (!AllocateAndInitializeSid(&ntAuthority, /*nSubAuthorityCount=*/2, SECURITY_BUILTIN_DOMAIN_RID,
                                DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, administrators.put())) {
    return kNotInToken;
  }
  GetTokenInformation(token, TokenGroups, /*TokenInformation=*/nullptr, /*TokenInformationLength=*/0, &size);
  std::vector<BYTE> buffer(size);
  if (size == 0 || !GetTokenInformation(token, TokenGroups, buffer.data(), size, &size)) return kNotInToken;
  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
  for (DWORD index = 0; index < groups->GroupCount; ++index) {
    if (EqualSid(groups->Groups[index].Sid, administrators.get())) return groups->Groups[index].Attributes;
  }
  return kNotInToken;
}
