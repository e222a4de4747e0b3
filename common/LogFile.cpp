#include "common/LogFile.h"

#include <windows.h>

#include <vector>

#include "common/FolderSecurity.h"
#include "common/SystemMessage.h"

namespace {

constexpr std::wstring_view kSeparators = L"\\/";
// Reading is asked for because locking a byte range and finding the last line end need it, and
// writing (not only appending) because a record cut short must be cut off again.
constexpr DWORD kAccess = FILE_READ_DATA | FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_READ_ATTRIBUTES;
constexpr DWORD kSingleName = 1;

// Creates every missing folder on the way to path's file, with the log folders' access list.
// Returns those it created, outermost first; what cannot be made shows when the file is opened.
std::vector<std::wstring> CreateMissingFolders(const std::wstring& path) {
  std::vector<std::wstring> created;
  const UniqueSecurityDescriptor descriptor = LogFile::FolderSecurity();
  if (!descriptor) {
    return created;
  }
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor.get(), /*bInheritHandle=*/FALSE};
  for (std::size_t separator = path.find_first_of(kSeparators, 1); separator != std::wstring::npos;
       separator = path.find_first_of(kSeparators, separator + 1)) {
    std::wstring folder = path.substr(0, separator);
    if (CreateDirectoryW(folder.c_str(), &attributes)) {
      created.push_back(std::move(folder));
    }
  }
  return created;
}

void RemoveFolders(const std::vector<std::wstring>& folders) {
  for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
    RemoveDirectoryW(folder->c_str());
  }
}

// Why an opened file must not be written to; empty when it is a plain file with one name.
std::wstring Refusal(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION information = {};
  if (GetFileType(file) != FILE_TYPE_DISK) {
    return L"refused: not a plain file";
  }
  if (!GetFileInformationByHandle(file, &information)) {
    return SystemErrorText(GetLastError());
  }
  return LogFileRefusal(information.dwFileAttributes, information.nNumberOfLinks);
}

OVERLAPPED At(LARGE_INTEGER offset) {
  OVERLAPPED position = {};
  position.Offset = offset.LowPart;
  position.OffsetHigh = static_cast<DWORD>(offset.HighPart);
  return position;
}

bool EndsInLineEnd(HANDLE file, LARGE_INTEGER end) {
  if (end.QuadPart == 0) {
    return true;
  }
  LARGE_INTEGER last = end;
  --last.QuadPart;
  OVERLAPPED position = At(last);
  char byte = 0;
  DWORD read = 0;
  return ReadFile(file, &byte, 1, &read, &position) && read == 1 && byte == '\n';
}

// Writes bytes at offset; ERROR_SUCCESS, or the error of the write that stopped short.
DWORD WriteAt(HANDLE file, LARGE_INTEGER offset, std::string_view bytes) {
  while (!bytes.empty()) {
    OVERLAPPED position = At(offset);
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, &position)) {
      return GetLastError();
    }
    if (written == 0) {
      return ERROR_WRITE_FAULT;
    }
    bytes.remove_prefix(written);
    offset.QuadPart += written;
  }
  return ERROR_SUCCESS;
}

DWORD AppendAtEnd(HANDLE file, std::string_view bytes, bool onOwnLine) {
  LARGE_INTEGER end = {};
  if (!GetFileSizeEx(file, &end)) {
    return GetLastError();
  }
  std::string text;
  if (onOwnLine && !EndsInLineEnd(file, end)) {
    text = "\r\n";
  }
  text += bytes;
  const DWORD error = WriteAt(file, end, text);
  if (error != ERROR_SUCCESS) {
    // What did fit is cut off, so that the file never ends in half a record.
    SetFilePointerEx(file, end, /*newPosition=*/nullptr, FILE_BEGIN);
    SetEndOfFile(file);
  }
  return error;
}

}  // namespace

std::wstring LogFileRefusal(unsigned long attributes, unsigned long names) {
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return L"refused: a link (reparse point)";
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return L"refused: not a plain file";
  }
  if (names != kSingleName) {
    return L"refused: a hard link (the file has " + std::to_wstring(names) + L" names)";
  }
  return {};
}

UniqueSecurityDescriptor LogFile::FolderSecurity() { return LogFolderSecurity(); }

std::size_t LastPathSeparator(std::wstring_view path) noexcept {
  return path.find_last_of(kSeparators);
}

bool LogFile::Open(const std::wstring& path, std::wstring& failure) {
  const std::vector<std::wstring> createdFolders = CreateMissingFolders(path);
  UniqueFile file(CreateFileW(path.c_str(), kAccess, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              /*securityAttributes=*/nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                              /*templateFile=*/nullptr));
  failure = file ? Refusal(file.get()) : SystemErrorText(GetLastError());
  if (!failure.empty()) {
    file.reset();
    RemoveFolders(createdFolders);
    return false;
  }
  file_ = std::move(file);
  return true;
}

bool LogFile::Append(std::string_view bytes, bool onOwnLine, std::wstring& failure) {
  if (!file_) {
    failure = SystemErrorText(ERROR_INVALID_HANDLE);
    return false;
  }
  // One turn for finding the end and writing there, so records of two runs never overlap.
  OVERLAPPED turn = {};
  turn.Offset = kTurnOffsetLow;
  turn.OffsetHigh = kTurnOffsetHigh;
  const bool locked = LockFileEx(file_.get(), LOCKFILE_EXCLUSIVE_LOCK, /*reserved=*/0, kTurnLength,
                                 /*lengthHigh=*/0, &turn) != FALSE;
  const DWORD error = AppendAtEnd(file_.get(), bytes, onOwnLine);
  if (locked) {
    UnlockFileEx(file_.get(), /*reserved=*/0, kTurnLength, /*lengthHigh=*/0, &turn);
  }
  if (error != ERROR_SUCCESS) {
    failure = SystemErrorText(error);
    return false;
  }
  return true;
}
