#include "endtoend/TestPackageFiles.h"

#include "endtoend/Tool.h"
#include "support/ProcessRunner.h"
#include "support/TemporaryFiles.h"

namespace {

constexpr DWORD kNotStarted = 0xFFFFFFFF;
constexpr DWORD kPathCapacity = 32768;

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

DWORD RunMsiexec(const std::wstring& arguments) {
  ProcessOutput output;
  if (!RunProcess(L"\"" + MsiexecPath() + L"\" " + arguments, /*primaryToken=*/nullptr, output)) {
    return kNotStarted;
  }
  return output.exitCode;
}

}  // namespace

View PackageView(const TestPackage& package) { return package.win64 ? View::k64 : View::k32; }

View OtherView(const TestPackage& package) { return package.win64 ? View::k32 : View::k64; }

std::wstring PackagePath(const TestPackage& package) {
  return ProgramFolder() + L"packages\\" + package.fileName;
}

std::wstring InstalledFilePath(const TestPackage& package) {
  // The 64-bit folder has a name of its own only in the environment: a 32-bit program's ProgramFiles
  // is the x86 folder.
  std::wstring programFiles = EnvironmentVariable(package.win64 ? L"ProgramW6432" : L"ProgramFiles(x86)");
  if (programFiles.empty()) programFiles = EnvironmentVariable(L"ProgramFiles");
  return programFiles + L"\\" + package.folderName + L"\\readme.txt";
}

DWORD InstallPackage(const TestPackage& package) {
  return RunMsiexec(L"/i \"" + PackagePath(package) + L"\" /qn");
}

DWORD RemoveProduct(const std::wstring& productCode) {
  return RunMsiexec(L"/x " + productCode + L" /qn");
}
