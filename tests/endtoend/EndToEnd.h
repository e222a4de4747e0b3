#pragma once

// What the end-to-end tests share: running msitool.exe, installing the test packages, and a fixture
// that installs a set of them and checks what became of each.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "TestPackages.h"
#include "support/ProcessRunner.h"
#include "support/TestRegistry.h"
#include "support/ToolTexts.h"

// The exit codes, as the platform and Windows Installer number them: the contract the tool's
// callers read, written out here rather than taken from the tool's own constants.
constexpr DWORD kSuccess = 0;
constexpr DWORD kAccessDenied = 5;
constexpr DWORD kLogNotOpened = 110;     // ERROR_OPEN_FAILED
constexpr DWORD kBadArguments = 160;
constexpr DWORD kInstallFailure = 1603;  // ERROR_INSTALL_FAILURE
constexpr DWORD kInstallerBusy = 1618;   // ERROR_INSTALL_ALREADY_RUNNING
constexpr DWORD kRestartNeeded = 3010;   // ERROR_SUCCESS_REBOOT_REQUIRED

// Runs msitool.exe with the given argument text, as the user of primaryToken when one is given.
// A child that cannot be started is a test failure, reported with the exit code 0xFFFFFFFF.
ProcessOutput RunTool(const std::wstring& arguments, HANDLE primaryToken = nullptr);

// Expects a run that printed the banner alone, nothing on the standard error, and ended with 0.
void ExpectQuietSuccess(const ProcessOutput& output);

// The registry view that holds the package's uninstall entry, and the one that must never get one.
View PackageView(const TestPackage& package);
View OtherView(const TestPackage& package);

// The file that the package installs.
std::wstring InstalledFilePath(const TestPackage& package);

// Install the package (with properties such as ALLUSERS="" for one user) or remove the product
// silently with msiexec; msiexec's exit code, 0xFFFFFFFF when it did not start.
DWORD InstallPackage(const TestPackage& package, const std::wstring& properties = L"");
DWORD RemoveProduct(const std::wstring& productCode);

// The sample family installed out of version order, with the 64-bit member first, and an unrelated
// product after it.
inline std::vector<TestPackage> SampleFamilyAndOther() { return {kSample2, kSample1, kSample3, kOther}; }

// The value that hides an uninstall entry from the list of installed programs.
inline const std::wstring kSystemComponent = L"SystemComponent";

// A fixture that installs packages, in the given order, and removes by product code whatever of them
// is still installed afterwards. It keeps each uninstall entry as it was right after the installation.
class InstalledProductsTest : public testing::Test {
 protected:
  explicit InstalledProductsTest(std::vector<TestPackage> packages = SampleFamilyAndOther())
      : packages_(std::move(packages)) {}

  void SetUp() override;
  void TearDown() override;

  // The package's uninstall entry now; empty, with a test failure, when it is gone.
  RegistryValues EntryNow(const TestPackage& package) const;

  // Expects the entry, the file and the absence of an entry in the other view to be as installed;
  // hidden adds SystemComponent = REG_DWORD 1 to the entry.
  void ExpectEntry(const TestPackage& package, bool hidden) const;
  void ExpectUntouched(const TestPackage& package) const { ExpectEntry(package, /*hidden=*/false); }
  void ExpectHidden(const TestPackage& package) const { ExpectEntry(package, /*hidden=*/true); }

  // Expects no entry in either view and no installed file.
  void ExpectRemoved(const TestPackage& package) const;

  const std::vector<TestPackage>& Packages() const { return packages_; }

 private:
  std::vector<TestPackage> packages_;
  std::map<std::wstring, RegistryValues> installedEntries_;
};

// Another user's per-user install, as an elevated run or SYSTEM sees one on Windows, where that
// user's hive is not loaded: the package installed for this user (ALLUSERS=""), then the installer's
// record HKLM\...\Installer\UserData\<this user's SID>\Products\<packed> moved whole to sid, and
// this user's own Installer Products, Features and UpgradeCodes keys in HKCU taken away (kept aside).
// The installer then answers 1605 for it; the machine's UpgradeCodes value and the uninstall entry
// stay. The destructor gives the install back to this user and removes it with msiexec.
class AnotherUsersInstall {
 public:
  explicit AnotherUsersInstall(const TestPackage& package, std::wstring sid = L"S-1-5-21-1111-2222-3333-1001")
      : package_(package), sid_(std::move(sid)) {}
  ~AnotherUsersInstall();
  AnotherUsersInstall(const AnotherUsersInstall&) = delete;
  AnotherUsersInstall& operator=(const AnotherUsersInstall&) = delete;

  // Installs and moves it, with fatal failures when either fails (ASSERT_NO_FATAL_FAILURE).
  void Make();

  // Expects its uninstall entry, its file, its record under the SID and its cached package as
  // they were right after Make.
  void ExpectUntouched() const;

  const std::wstring& sid() const { return sid_; }

 private:
  const TestPackage& package_;
  std::wstring sid_;
  std::wstring ownSid_;  // empty until the move is done
  RegistryValues entry_;
  std::wstring cachedPackage_;
  std::string cachedBytes_;
};
