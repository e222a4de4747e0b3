#include "support/TemporaryFiles.h"

#include <windows.h>

#include <algorithm>
#include <utility>

#include "common/UniqueHandle.h"

std::wstring TemporaryFolder() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  return std::wstring(buffer, length);
}

std::vector<std::wstring> FindEntries(const std::wstring& folder, const std::wstring& pattern) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  const UniqueFindHandle search(FindFirstFileW((folder + pattern).c_str(), &found));
  if (!search) return names;
  do {
    names.push_back(found.cFileName);
  } while (FindNextFileW(search.get(), &found));
  return names;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  const UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, /*dwShareMode=*/0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

std::string ReadFileBytes(const std::wstring& path) {
  const UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return "<missing>";
  std::string bytes;
  char chunk[4096];
  DWORD read = 0;
  while (ReadFile(file.get(), chunk, sizeof(chunk), &read, nullptr) && read > 0) bytes.append(chunk, read);
  return bytes;
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TemporaryFolderWatch::TemporaryFolderWatch(std::wstring pattern)
    : pattern_(std::move(pattern)), before_(FindEntries(TemporaryFolder(), pattern_)) {}

std::vector<std::wstring> TemporaryFolderWatch::Added() const {
  std::vector<std::wstring> added;
  for (const std::wstring& name : FindEntries(TemporaryFolder(), pattern_)) {
    if (std::find(before_.begin(), before_.end(), name) == before_.end()) added.push_back(name);
  }
  return added;
}

ScratchFolder::ScratchFolder() {
  static int next = 0;
  path_ = TemporaryFolder() + L"msitool-tests-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
          std::to_wstring(++next) + L"\\";
  CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() {
  for (const std::wstring& name : FindEntries(path_, L"*")) DeleteFileW((path_ + name).c_str());
  RemoveDirectoryW(path_.c_str());
}
