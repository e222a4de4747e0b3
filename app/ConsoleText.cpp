#include "app/ConsoleText.h"

#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <iterator>

#include "common/ConsoleWrite.h"
#include "app/ToolVersion.h"

namespace {

constexpr std::size_t kModulePathSize = 260;

constexpr const wchar_t* kBannerFormat = L"\nQuorvin Msi Tool v%d.%d.%d %s\n";

constexpr const wchar_t* kUsageFormat =
    L"\n"
    L"Usage: %s [/?] [/hideoldaddremoves] [/u:UPGRADECODE]\n"
    L"\n"
    L" /?                  : Prints this usage info\n"
    L"\n"
    L" /hideoldaddremoves  : Hides add/remove programs for all the old products\n"
    L"                       that have same UPGRADE code. Versions that are older\n"
    L"                       than the newest installed are hidden.\n"
    L"                       /u:UPGRADECODE is required for this switch.\n"
    L"\n"
    L" /uninstall          : Uninstalls all products with same UPGRADE code.\n"
    L"                       If the msi uninstallation fails it tries to\n"
    L"                       uninstall it by copying the cached msi file to\n"
    L"                       temp and using it for MsiInstallProduct with\n"
    L"                       REMOVE=ALL REBOOT=ReallySuppress.\n"
    L"                       /u:UPGRADECODE is required for this switch.\n"
    L"\n"
    L" [/u:UPGRADECODE]    : msi UpgradeCode.\n"
    L"                       E.g. /u:{4B1D7E92-3A5C-4e81-B07F-6C2D9A18E35B}\n";

void WriteBuffer(const wchar_t (&buffer)[kTextBufferSize],
                 StandardStream stream = StandardStream::kOutput) {
  WriteText(stream, {buffer, std::wcslen(buffer)});
}

}  // namespace

int FormatToBuffer(wchar_t (&buffer)[kTextBufferSize], const wchar_t* format, ...) {
  std::fill(std::begin(buffer), std::end(buffer), L'\0');
  va_list arguments;
  va_start(arguments, format);
  // One character short of the buffer, so a cut text still ends with the zero-filled last one.
  // _vsnwprintf is the runtime's own: its %s takes a wide string, as the formats above expect.
  const int result = _vsnwprintf(buffer, kTextBufferSize - 1, format, arguments);
  va_end(arguments);
  return result;
}

const wchar_t* ExecutableFileName(const wchar_t* path) noexcept {
  const wchar_t* lastBackslash = std::wcsrchr(path, L'\\');
  return lastBackslash != nullptr ? lastBackslash + 1 : path;
}

void PrintBanner(StandardStream stream) {
  wchar_t buffer[kTextBufferSize];
  FormatToBuffer(buffer, kBannerFormat, kToolVersionMajor, kToolVersionMinor, kToolVersionBuild,
                 kToolBuildFlavour);
  WriteBuffer(buffer, stream);
}

void PrintUsage() {
  wchar_t modulePath[kModulePathSize] = {};
  // One short of the buffer: older systems leave a cut path without its terminating zero.
  GetModuleFileNameW(GetModuleHandleW(/*moduleName=*/nullptr), modulePath, kModulePathSize - 1);
  wchar_t buffer[kTextBufferSize];
  FormatToBuffer(buffer, kUsageFormat, ExecutableFileName(modulePath));
  WriteBuffer(buffer);
}
