#include "products/Installation.h"

#include <windows.h>

#include <vector>

#include "installer/InstallerCodes.h"
#include "installer/InstallerText.h"
#include "registry/UserInstallRecords.h"

namespace {

constexpr unsigned long kStateBufferSize = 16;
constexpr unsigned long kSidBufferSize = 200;  // the longest SID text has 184 characters
constexpr unsigned long kMaxInstallations = 256;  // the list ends well before, unless it never does
constexpr const wchar_t* kMachineSid = L"S-1-5-18";  // LocalSystem: UserData's per-machine records

bool SameSid(std::wstring_view left, std::wstring_view right) {
  return CompareStringOrdinal(left.data(), static_cast<int>(left.size()), right.data(),
                              static_cast<int>(right.size()), /*bIgnoreCase=*/TRUE) == CSTR_EQUAL;
}

bool IsAnotherUser(std::wstring_view sid, std::wstring_view runningUserSid) {
  return !sid.empty() && !SameSid(sid, kMachineSid) && !SameSid(sid, runningUserSid);
}

// A property of the product as the installer keeps it for one user; empty when it cannot give it.
std::wstring ReadForUser(installer::Installer& installer, const std::wstring& productCode, const std::wstring& sid,
                         int context, const wchar_t* property) {
  return installer::ReadText([&](wchar_t* value, unsigned long* length) {
    return installer.GetProductInfoEx(productCode.c_str(), sid.c_str(), context, property, value, length);
  });
}

// Another user's installation, as the installer reports it for every user; kNone when it reports none.
Installation FromInstaller(installer::Installer& installer, const std::wstring& productCode,
                           std::wstring_view runningUserSid) {
  Installation found;
  for (unsigned long index = 0; index < kMaxInstallations; ++index) {
    int context = 0;
    wchar_t sid[kSidBufferSize] = {};
    unsigned long sidLength = kSidBufferSize;
    if (installer.EnumInstallations(productCode.c_str(), index, &context, sid, &sidLength) != installer::kSuccess) {
      break;
    }
    sid[kSidBufferSize - 1] = L'\0';
    if (context != installer::kContextMachine && IsAnotherUser(sid, runningUserSid)) {
      found.context = Installation::Context::kOtherUser;
      found.userSid = sid;
      found.productName = ReadForUser(installer, productCode, found.userSid, context, L"InstalledProductName");
      if (found.productName.empty()) {
        found.productName = ReadForUser(installer, productCode, found.userSid, context, L"ProductName");
      }
      found.versionString = ReadForUser(installer, productCode, found.userSid, context, L"VersionString");
      break;
    }
  }
  return found;
}

}  // namespace

int RunningUserContext(installer::Installer& installer, std::wstring_view productCode) {
  const std::wstring code(productCode);
  // "AssignmentType" would say it in one read, but Wine writes 0 (per user) for every product.
  for (const int context : {installer::kContextMachine, installer::kContextUserManaged,
                            installer::kContextUserUnmanaged}) {
    wchar_t state[kStateBufferSize] = {};
    unsigned long length = kStateBufferSize;
    if (installer.GetProductInfoEx(code.c_str(), /*userSid=*/nullptr, context, L"State", state, &length) ==
        installer::kSuccess) {
      return context;
    }
  }
  return 0;
}

Installation FindInstallation(installer::Installer& installer, std::wstring_view productCode,
                              std::wstring_view runningUserSid) {
  Installation found;
  const int runningUsers = RunningUserContext(installer, productCode);
  if (runningUsers != 0) {
    found.context = runningUsers == installer::kContextMachine ? Installation::Context::kMachine
                                                               : Installation::Context::kThisUser;
    return found;
  }
  const std::wstring code(productCode);
  found = FromInstaller(installer, code, runningUserSid);
  if (found.context != Installation::Context::kNone) {
    return found;
  }
  for (UserInstallRecord& record : ReadUserInstallRecords(code)) {
    if (IsAnotherUser(record.userSid, runningUserSid)) {
      found.context = Installation::Context::kOtherUser;
      found.userSid = std::move(record.userSid);
      found.productName = std::move(record.displayName);
      found.versionString = std::move(record.displayVersion);
      break;
    }
  }
  return found;
}
