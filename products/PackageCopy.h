#pragma once

#include <string>
#include <string_view>

#include "common/UniqueHandle.h"

// A copy of a product's cached package, for removing the product from it. It lives in a new
// folder with an unguessable name inside the temporary folder, which only SYSTEM and the
// Administrators may open: when the tool runs as SYSTEM that temporary folder is shared with every
// user, and a file planted under the package's name must not be what the elevated removal runs.
// The copy and its folder are deleted with the object.
class PackageCopy {
 public:
  PackageCopy() = default;
  PackageCopy(const PackageCopy&) = delete;
  PackageCopy& operator=(const PackageCopy&) = delete;
  ~PackageCopy();

  // Copies sourcePath into a new private folder under packageName. False, with nothing left
  // behind, when the name is not a plain file name, the path would not fit MAX_PATH, or the
  // folder or the copy cannot be made.
  [[nodiscard]] bool Create(const wchar_t* sourcePath, std::wstring_view packageName);

  // The copy's full path; empty until Create succeeds.
  const std::wstring& path() const noexcept { return path_; }
  const std::wstring& folder() const noexcept { return folder_; }

 private:
  std::wstring folder_;
  std::wstring path_;
};

// True for a name that can only mean a file directly inside a folder: not empty, not "." or "..",
// and free of \, / and :.
bool IsPlainFileName(std::wstring_view name) noexcept;

// The security descriptor a private folder is created with: full control for SYSTEM and the
// Administrators, inherited by the files in it, and nothing inherited from the parent. Empty when
// the system cannot build it.
UniqueSecurityDescriptor PrivateFolderSecurity();
