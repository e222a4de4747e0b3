#pragma once

// Values of the Windows Installer API that the tool passes or checks, without <msi.h>.
namespace installer {

constexpr unsigned kSuccess = 0;
// ERROR_SUCCESS_REBOOT_INITIATED and ERROR_SUCCESS_REBOOT_REQUIRED: the work is done and a restart
// is pending, which REBOOT=ReallySuppress leaves to the administrator.
constexpr unsigned kSuccessRebootInitiated = 1641;
constexpr unsigned kSuccessRebootRequired = 3010;
// ERROR_INSTALL_ALREADY_RUNNING: another installation holds the installer service.
constexpr unsigned kInstallAlreadyRunning = 1618;
// ERROR_UNKNOWN_PRODUCT: the installer knows no such product (any more).
constexpr unsigned kUnknownProduct = 1605;
// ERROR_UNKNOWN_PROPERTY: the product or package has no such property.
constexpr unsigned kUnknownProperty = 1608;
// ERROR_MORE_DATA: the buffer is too small for the answer, whose length comes back.
constexpr unsigned kMoreData = 234;
// ERROR_NO_MORE_ITEMS: an enumeration has no entry at this index or after it.
constexpr unsigned kNoMoreItems = 259;
// ERROR_INVALID_PARAMETER: the call itself is wrong (an upgrade code that is no GUID), not an entry.
constexpr unsigned kInvalidParameter = 87;

constexpr int kUiLevelNone = 2;              // INSTALLUILEVEL_NONE
constexpr int kInstallLevelMaximum = 65535;  // INSTALLLEVEL_MAXIMUM
constexpr int kInstallStateAbsent = 2;       // INSTALLSTATE_ABSENT

constexpr int kContextUserManaged = 1;    // MSIINSTALLCONTEXT_USERMANAGED
constexpr int kContextUserUnmanaged = 2;  // MSIINSTALLCONTEXT_USERUNMANAGED
constexpr int kContextMachine = 4;        // MSIINSTALLCONTEXT_MACHINE

constexpr const wchar_t* kRemovalCommandLine = L"REMOVE=ALL REBOOT=ReallySuppress";

constexpr bool IsSuccess(unsigned result) noexcept {
  return result == kSuccess || result == kSuccessRebootRequired ||
         result == kSuccessRebootInitiated;
}

}  // namespace installer
