#include "app/RunLog.h"

#include <windows.h>

#include <string>
#include <vector>

#include "app/ReportText.h"
#include "app/ToolVersion.h"
#include "common/ConsoleWrite.h"
#include "common/Token.h"
#include "common/UniqueHandle.h"
#include "common/Utf8.h"

namespace {

constexpr DWORD kNameBufferSize = 256;
constexpr long long kTicksPerMinute = 60LL * 10'000'000LL;  // FILETIME counts 100 ns

// DOMAIN\name of the token the tool runs with; "?" when it cannot be told.
std::wstring UserName() {
  const std::vector<BYTE> user = RunningUser();
  if (user.empty()) {
    return L"?";
  }
  const PSID sid = reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
  wchar_t name[kNameBufferSize] = {};
  wchar_t domain[kNameBufferSize] = {};
  DWORD nameSize = kNameBufferSize;
  DWORD domainSize = kNameBufferSize;
  SID_NAME_USE use;
  if (!LookupAccountSidW(/*systemName=*/nullptr, sid, name, &nameSize, domain, &domainSize, &use)) {
    return L"?";
  }
  return domainSize > 0 ? std::wstring(domain) + L'\\' + name : std::wstring(name);
}

std::wstring ComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  return GetComputerNameW(name, &size) ? std::wstring(name, size) : std::wstring(L"?");
}

std::wstring Padded(long long number, std::size_t digits) {
  std::wstring text = std::to_wstring(number);
  return text.size() < digits ? std::wstring(digits - text.size(), L'0') + text : text;
}

long long FileTimeTicks(const FILETIME& time) {
  return static_cast<long long>((static_cast<unsigned long long>(time.dwHighDateTime) << 32) |
                                time.dwLowDateTime);
}

}  // namespace

std::wstring LocalTimeStamp() {
  FILETIME utc;
  GetSystemTimeAsFileTime(&utc);
  FILETIME local;
  SYSTEMTIME time = {};
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &time)) {
    local = utc;
    FileTimeToSystemTime(&utc, &time);
  }
  const long long offsetMinutes = (FileTimeTicks(local) - FileTimeTicks(utc)) / kTicksPerMinute;
  const long long magnitude = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
  std::wstring stamp = Padded(time.wYear, 4) + L'-' + Padded(time.wMonth, 2) + L'-' +
                       Padded(time.wDay, 2) + L'T' + Padded(time.wHour, 2) + L':' +
                       Padded(time.wMinute, 2) + L':' + Padded(time.wSecond, 2) + L'.' +
                       Padded(time.wMilliseconds, 3);
  stamp += offsetMinutes < 0 ? L'-' : L'+';
  stamp += Padded(magnitude / 60, 2) + L':' + Padded(magnitude % 60, 2);
  return stamp;
}

bool RunLog::Open(const std::wstring& path, std::wstring& failure) {
  if (!file_.Open(path, failure)) {
    return false;
  }
  path_ = path;
  return true;
}

void RunLog::WriteHeader(std::wstring_view commandLine) {
  std::wstring header = std::wstring(L"msitool ") + kToolVersionText + L" started: user=" +
                       UserName() + L" computer=" + ComputerName() + L" command line: ";
  // A line end in an argument would start a record of its own.
  header += EscapeCommandLine(commandLine);
  WriteRecord(header);
}

void RunLog::WriteRecord(std::wstring_view text) {
  if (!file_.IsOpen()) {
    return;
  }
  std::wstring record = LocalTimeStamp();
  record += L' ';
  record += text;
  record += L"\r\n";
  std::wstring failure;
  if (!file_.Append(ToUtf8(record), /*onOwnLine=*/true, failure) && !incomplete_) {
    incomplete_ = true;
    // The report on the console still holds every record, and the action's exit code stands.
    WriteText(StandardStream::kError,
              L"The log file " + path_ + L" is incomplete: a record could not be written (" +
                  failure + L")\n");
  }
}

std::wstring RunLog::InstallerLogPath(std::wstring_view productCode) const {
  const std::size_t separator = LastPathSeparator(path_);
  const std::size_t nameStart = separator == std::wstring::npos ? 0 : separator + 1;
  const std::size_t dot = path_.rfind(L'.');
  const std::size_t stemEnd = dot != std::wstring::npos && dot > nameStart ? dot : path_.size();
  std::wstring path = path_.substr(0, stemEnd);
  path += L'.';
  path += productCode;
  path += L".log";
  return path;
}
