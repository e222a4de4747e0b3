#include "app/RunLog.h"

#include <windows.h>

#include <string>
#include <vector>

#include "app/ToolVersion.h"
#include "common/Token.h"
#include "common/UniqueHandle.h"
#include "common/Utf8.h"

namespace {

constexpr DWORD kNameBufferSize = 256;
constexpr long long kTicksPerMinute = 60LL * 10'000'000LL;  // FILETIME counts 100 ns
// The byte that writers of one log take turns on: far past any end of file, so that no write ever
// touches it.
constexpr DWORD kTurnOffsetLow = 0xFFFFFFFE;
constexpr DWORD kTurnOffsetHigh = 0xFFFFFFFF;
constexpr DWORD kTurnLength = 1;

// Creates every missing folder on the way to path's file; what cannot be made shows when the file
// is opened.
void CreateFolders(const std::wstring& path) {
  for (std::size_t slash = path.find(L'\\', 1); slash != std::wstring::npos;
       slash = path.find(L'\\', slash + 1)) {
    CreateDirectoryW(path.substr(0, slash).c_str(), /*securityAttributes=*/nullptr);
  }
}

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

std::wstring SystemMessage(unsigned long error) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      /*source=*/nullptr, error, /*languageId=*/0, reinterpret_cast<wchar_t*>(&text),
      /*size=*/0, /*arguments=*/nullptr);
  const UniqueLocalString owner(text);
  std::wstring message = length > 0 ? std::wstring(text, length) : std::wstring();
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                              message.back() == L' ' || message.back() == L'.')) {
    message.pop_back();
  }
  return L"error " + std::to_wstring(error) + (message.empty() ? L"" : L", " + message);
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

std::wstring JoinArguments(int argumentCount, const wchar_t* const* arguments) {
  std::wstring line;
  for (int i = 0; i < argumentCount; ++i) {
    const std::wstring_view argument = arguments[i];
    if (i > 0) {
      line += L' ';
    }
    if (argument.empty() || argument.find_first_of(L" \t\"") != std::wstring_view::npos) {
      line += L'"';
      line += argument;
      line += L'"';
    } else {
      line += argument;
    }
  }
  return line;
}

bool RunLog::Open(const std::wstring& path, std::wstring& failure) {
  CreateFolders(path);
  // Reading is asked for only because locking a byte range needs it.
  UniqueFile file(CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE,
                              /*securityAttributes=*/nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              /*templateFile=*/nullptr));
  if (!file) {
    failure = SystemMessage(GetLastError());
    return false;
  }
  path_ = path;
  file_ = std::move(file);
  return true;
}

void RunLog::WriteHeader(std::wstring_view commandLine) {
  std::wstring header = L"msitool " + std::to_wstring(kToolVersionMajor) + L'.' +
                        std::to_wstring(kToolVersionMinor) + L'.' +
                        std::to_wstring(kToolVersionBuild) + L" started: user=" + UserName() +
                        L" computer=" + ComputerName() + L" command line: ";
  header += commandLine;
  WriteRecord(header);
}

void RunLog::WriteRecord(std::wstring_view text) {
  if (!file_) {
    return;
  }
  std::wstring record = LocalTimeStamp();
  record += L' ';
  record += text;
  record += L"\r\n";
  const std::string bytes = ToUtf8(record);
  // A handle that may only append writes at the end of the file; the turn makes that one step
  // where finding the end and writing are two (Wine), so records of two runs never overlap.
  OVERLAPPED turn = {};
  turn.Offset = kTurnOffsetLow;
  turn.OffsetHigh = kTurnOffsetHigh;
  const bool locked = LockFileEx(file_.get(), LOCKFILE_EXCLUSIVE_LOCK, /*reserved=*/0, kTurnLength,
                                 /*lengthHigh=*/0, &turn) != FALSE;
  DWORD written = 0;
  WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
            /*overlapped=*/nullptr);
  if (locked) {
    UnlockFileEx(file_.get(), /*reserved=*/0, kTurnLength, /*lengthHigh=*/0, &turn);
  }
}

std::wstring RunLog::InstallerLogPath(std::wstring_view productCode) const {
  const std::size_t nameStart = path_.find_last_of(L'\\') + 1;
  const std::size_t dot = path_.rfind(L'.');
  const std::size_t stemEnd = dot != std::wstring::npos && dot > nameStart ? dot : path_.size();
  std::wstring path = path_.substr(0, stemEnd);
  path += L'.';
  path += productCode;
  path += L".log";
  return path;
}
