#include "endtoend/EndToEnd.h"

#include <msi.h>

#include <cstdio>
#include <vector>

#include "common/UserAccount.h"
#include "common/Utf8.h"
#include "registry/PackedGuid.h"
#include "support/TemporaryFiles.h"

namespace {

constexpr DWORD kNotStarted = 0xFFFFFFFF;
constexpr int kMsiexecStarts = 3;
constexpr DWORD kMsiexecRetryPauseMilliseconds = 1000;
constexpr DWORD kPathCapacity = 32768;
constexpr DWORD kInstallerSuccess = 0;
constexpr DWORD kHidden = 1;

std::wstring EnvironmentVariable(const wchar_t* name) {
  std::wstring value(kPathCapacity, L'\0');
  const DWORD length = GetEnvironmentVariableW(name, value.data(), kPathCapacity);
  value.resize(length < kPathCapacity ? length : 0);
  return value;
}

// The system's own msiexec: a 32-bit program reaches the 64-bit one only through sysnative, since
// System32 is redirected for it; on a 32-bit system there is only System32.
std::wstring MsiexecPath() {
  std::wstring windows(kPathCapacity, L'\0');
  windows.resize(GetWindowsDirectoryW(windows.data(), kPathCapacity));
  const std::wstring native = windows + L"\\sysnative\\msiexec.exe";
  return FileExists(native) ? native : windows + L"\\system32\\msiexec.exe";
}

// Under Wine a start of msiexec failed once in many runs, before the tool ran at all: a fixture
// tries again after a pause rather than fail a test that has not begun, and says so in the output.
DWORD RunMsiexec(const std::wstring& arguments) {
  for (int attempt = 1;; ++attempt) {
    ProcessOutput output;
    if (RunProcess(L"\"" + MsiexecPath() + L"\" " + arguments, /*primaryToken=*/nullptr, output)) {
      return output.exitCode;
    }
    const DWORD error = GetLastError();
    std::printf("msiexec %ls did not start (attempt %d, error %lu)\n", arguments.c_str(), attempt, error);
    if (attempt == kMsiexecStarts) return kNotStarted;
    Sleep(kMsiexecRetryPauseMilliseconds);
  }
}

// For messages: the package's file name, which tells product, version and architecture.
std::string Describe(const TestPackage& package) {
  std::string text;
  for (const wchar_t* part = package.fileName; *part != L'\0'; ++part) text += static_cast<char>(*part);
  return text;
}

bool UninstallKeyExists(const TestPackage& package, View view) {
  return KeyExists(HKEY_LOCAL_MACHINE, UninstallPath(package.productCode), view);
}

// The installer's record of a product for one user, in HKLM's 64-bit view.
std::wstring RecordPath(const std::wstring& sid, const TestPackage& package) {
  return L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\" + sid + L"\\Products\\" +
         *PackGuid(package.productCode);
}

// The user's own registration of a per-user product, under HKCU.
std::vector<std::wstring> UserRegistration(const TestPackage& package) {
  const std::wstring installer = L"Software\\Microsoft\\Installer\\";
  return {installer + L"Products\\" + *PackGuid(package.productCode),
          installer + L"Features\\" + *PackGuid(package.productCode),
          installer + L"UpgradeCodes\\" + *PackGuid(package.upgradeCode)};
}

const std::wstring kAside = L"Software\\msitool-tests\\aside";

// Copies the key with everything under it to a new place and deletes it; false when a step fails.
bool MoveKeyTree(HKEY root, const std::wstring& from, const std::wstring& to, View view) {
  HKEY source = nullptr;
  HKEY target = nullptr;
  bool moved = RegOpenKeyExW(root, from.c_str(), 0, KEY_READ | static_cast<REGSAM>(view), &source) == ERROR_SUCCESS &&
               RegCreateKeyExW(root, to.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | static_cast<REGSAM>(view), nullptr,
                               &target, nullptr) == ERROR_SUCCESS &&
               RegCopyTreeW(source, /*lpSubKey=*/nullptr, target) == ERROR_SUCCESS;
  if (source != nullptr) RegCloseKey(source);
  if (target != nullptr) RegCloseKey(target);
  if (moved) {
    DeleteKeyTree(root, from, view);
    moved = !KeyExists(root, from, view);
  }
  return moved;
}

std::wstring TextOf(const RegistryValue& value) {
  std::wstring text(reinterpret_cast<const wchar_t*>(value.data.data()), value.data.size() / sizeof(wchar_t));
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}

}  // namespace

ProcessOutput RunTool(const std::wstring& arguments, HANDLE primaryToken) {
  std::wstring commandLine = L"\"" + ProgramFolder() + L"msitool.exe\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  ProcessOutput output;
  if (!RunProcess(commandLine, primaryToken, output)) {
    ADD_FAILURE() << "msitool.exe did not start, error " << GetLastError();
    output.exitCode = kNotStarted;
  }
  return output;
}

void ExpectQuietSuccess(const ProcessOutput& output) {
  EXPECT_EQ(kSuccess, output.exitCode);
  EXPECT_EQ(kBanner, output.standardOutput);
  EXPECT_EQ("", output.standardError);
}

View PackageView(const TestPackage& package) { return package.win64 ? View::k64 : View::k32; }

View OtherView(const TestPackage& package) { return package.win64 ? View::k32 : View::k64; }

std::wstring InstalledFilePath(const TestPackage& package) {
  // The 64-bit folder has a name of its own only in the environment: a 32-bit program's ProgramFiles
  // is the x86 folder.
  std::wstring programFiles = EnvironmentVariable(package.win64 ? L"ProgramW6432" : L"ProgramFiles(x86)");
  if (programFiles.empty()) programFiles = EnvironmentVariable(L"ProgramFiles");
  return programFiles + L"\\" + package.folderName + L"\\readme.txt";
}

DWORD InstallPackage(const TestPackage& package, const std::wstring& properties) {
  return RunMsiexec(L"/i \"" + ProgramFolder() + L"packages\\" + package.fileName + L"\" /qn " + properties);
}

DWORD RemoveProduct(const std::wstring& productCode) { return RunMsiexec(L"/x " + productCode + L" /qn"); }

void InstalledProductsTest::SetUp() {
  for (const TestPackage& package : packages_) {
    SCOPED_TRACE(Describe(package));
    ASSERT_EQ(kInstallerSuccess, InstallPackage(package));
    RegistryValues entry;
    ASSERT_TRUE(ReadValues(HKEY_LOCAL_MACHINE, UninstallPath(package.productCode), PackageView(package), entry));
    ASSERT_EQ(0u, entry.count(kSystemComponent));
    ASSERT_FALSE(UninstallKeyExists(package, OtherView(package)));
    ASSERT_TRUE(FileExists(InstalledFilePath(package)));
    installedEntries_[package.productCode] = std::move(entry);
  }
}

void InstalledProductsTest::TearDown() {
  // By product code: Wine forgets a whole family once one member is removed, so nothing here asks
  // the installer for the family.
  for (auto package = packages_.rbegin(); package != packages_.rend(); ++package) {
    if (UninstallKeyExists(*package, PackageView(*package))) {
      SCOPED_TRACE(Describe(*package));
      EXPECT_EQ(kInstallerSuccess, RemoveProduct(package->productCode));
    }
  }
}

RegistryValues InstalledProductsTest::EntryNow(const TestPackage& package) const {
  RegistryValues entry;
  EXPECT_TRUE(ReadValues(HKEY_LOCAL_MACHINE, UninstallPath(package.productCode), PackageView(package), entry))
      << Describe(package) << ": no uninstall entry in the " << ViewName(PackageView(package));
  return entry;
}

void InstalledProductsTest::ExpectEntry(const TestPackage& package, bool hidden) const {
  SCOPED_TRACE(Describe(package));
  RegistryValues expected = installedEntries_.at(package.productCode);
  if (hidden) expected[kSystemComponent] = DwordValue(kHidden);
  EXPECT_EQ(expected, EntryNow(package)) << (hidden ? "not hidden, or other values changed" : "changed");
  EXPECT_FALSE(UninstallKeyExists(package, OtherView(package)));
  EXPECT_TRUE(FileExists(InstalledFilePath(package)));
}

void InstalledProductsTest::ExpectRemoved(const TestPackage& package) const {
  SCOPED_TRACE(Describe(package));
  EXPECT_FALSE(UninstallKeyExists(package, View::k32));
  EXPECT_FALSE(UninstallKeyExists(package, View::k64));
  EXPECT_FALSE(FileExists(InstalledFilePath(package)));
}

void AnotherUsersInstall::Make() {
  ASSERT_EQ(kInstallerSuccess, InstallPackage(package_, L"ALLUSERS=\"\""));
  const std::wstring ownSid = RunningUserSid();
  ASSERT_FALSE(ownSid.empty());
  ASSERT_TRUE(MoveKeyTree(HKEY_LOCAL_MACHINE, RecordPath(ownSid, package_), RecordPath(sid_, package_), View::k64));
  ownSid_ = ownSid;
  for (const std::wstring& key : UserRegistration(package_)) {
    ASSERT_TRUE(MoveKeyTree(HKEY_CURRENT_USER, key, kAside + L"\\" + key, View::kDefault)) << ToUtf8(key);
  }
  ASSERT_EQ(INSTALLSTATE_UNKNOWN, MsiQueryProductStateW(package_.productCode)) << "still this user's";
  ASSERT_TRUE(ReadValues(HKEY_LOCAL_MACHINE, UninstallPath(package_.productCode), PackageView(package_), entry_));
  RegistryValues record;
  ASSERT_TRUE(ReadValues(HKEY_LOCAL_MACHINE, RecordPath(sid_, package_) + L"\\InstallProperties", View::k64, record));
  ASSERT_EQ(1u, record.count(L"LocalPackage"));
  cachedPackage_ = TextOf(record[L"LocalPackage"]);
  cachedBytes_ = ReadFileBytes(cachedPackage_);
  ASSERT_NE("<missing>", cachedBytes_) << ToUtf8(cachedPackage_);
}

AnotherUsersInstall::~AnotherUsersInstall() {
  for (const std::wstring& key : UserRegistration(package_)) {
    if (KeyExists(HKEY_CURRENT_USER, kAside + L"\\" + key)) {
      EXPECT_TRUE(MoveKeyTree(HKEY_CURRENT_USER, kAside + L"\\" + key, key, View::kDefault));
    }
  }
  DeleteKeyTree(HKEY_CURRENT_USER, kAside);
  if (!ownSid_.empty() && KeyExists(HKEY_LOCAL_MACHINE, RecordPath(sid_, package_), View::k64)) {
    EXPECT_TRUE(MoveKeyTree(HKEY_LOCAL_MACHINE, RecordPath(sid_, package_), RecordPath(ownSid_, package_), View::k64));
  }
  if (UninstallKeyExists(package_, PackageView(package_))) {
    EXPECT_EQ(kInstallerSuccess, RemoveProduct(package_.productCode)) << Describe(package_);
  }
}

void AnotherUsersInstall::ExpectUntouched() const {
  SCOPED_TRACE(Describe(package_) + ", another user's");
  RegistryValues entry;
  EXPECT_TRUE(ReadValues(HKEY_LOCAL_MACHINE, UninstallPath(package_.productCode), PackageView(package_), entry));
  EXPECT_EQ(entry_, entry);
  EXPECT_TRUE(FileExists(InstalledFilePath(package_)));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, RecordPath(sid_, package_) + L"\\InstallProperties", View::k64));
  EXPECT_EQ(cachedBytes_, ReadFileBytes(cachedPackage_)) << "its cached package changed";
}
