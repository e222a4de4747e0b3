#pragma once

#include <string>
#include <string_view>

#include "common/UniqueHandle.h"

// A new folder with an unguessable name inside the temporary folder, for one file of the tool's,
// which only SYSTEM, the Administrators and the user running the tool may open: when the tool runs
// as SYSTEM that temporary folder is shared with every user, and nobody else may plant, read or
// swap that file. The file and the folder are deleted with the object; what cannot be deleted
// within a few seconds is deleted at the next restart.
class PrivateFolder {
 public:
  PrivateFolder() = default;
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;
  ~PrivateFolder() { Remove(); }

  // Makes the folder, for a file called fileName in it. False, with nothing made, when the name is
  // not a plain file name, the path would not fit MAX_PATH, or the folder cannot be made.
  [[nodiscard]] bool Create(std::wstring_view fileName);

  // The access list Create makes the folder with: PrivateFolderSecurity. Empty when the system
  // cannot build it.
  [[nodiscard]] static UniqueSecurityDescriptor FolderSecurity();

  // Deletes the file, when there is one, and the folder, now or at the next restart.
  void Remove() noexcept;

  // The folder and the full path of its file; empty until Create succeeds and after Remove.
  const std::wstring& folder() const noexcept { return folder_; }
  const std::wstring& filePath() const noexcept { return filePath_; }

 private:
  std::wstring folder_;
  std::wstring filePath_;
};

// True for a name that can only mean a file directly inside a folder: not empty, not "." or "..",
// and free of \, / and :.
bool IsPlainFileName(std::wstring_view name) noexcept;
