#include "endtoend/EndToEnd.h"

#include <cstdio>

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
