#pragma once

#include <string>
#include <vector>

// The user's temporary folder, with its trailing backslash.
std::wstring TemporaryFolder();

// Names of the entries in folder that match pattern, e.g. L"msitool-*".
std::vector<std::wstring> FindEntries(const std::wstring& folder, const std::wstring& pattern);

// Writes bytes to a new or replaced file; false when that fails.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);

// The whole file, or "<missing>" when it cannot be read.
std::string ReadFileBytes(const std::wstring& path);

bool FileExists(const std::wstring& path);

// Remembers the temporary folder's entries that match pattern, to tell what appeared since.
class TemporaryFolderWatch {
 public:
  explicit TemporaryFolderWatch(std::wstring pattern = L"msitool-*");

  // The matching entries that are there now and were not when the watch began.
  std::vector<std::wstring> Added() const;

 private:
  std::wstring pattern_;
  std::vector<std::wstring> before_;
};

// A folder made for one test inside the temporary folder and removed, with its files, afterwards.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // The folder, with a trailing backslash.
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};
