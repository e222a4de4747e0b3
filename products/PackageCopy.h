#pragma once

#include <string>
#include <string_view>

#include "common/UniqueHandle.h"

// A copy of a product's cached package, for removing the product from it. It lives in a new
// folder with an unguessable name inside the temporary folder, which only SYSTEM, the
// Administrators and the user running the tool may open: when the tool runs as SYSTEM that
// temporary folder is shared with every user, and a file planted under the package's name must not
// be what the elevated removal runs. The copy and its folder are deleted with the object; what
// cannot be deleted within a few seconds is deleted at the next restart.
class PackageCopy {
 public:
  PackageCopy() = default;
  PackageCopy(const PackageCopy&) = delete;
  PackageCopy& operator=(const PackageCopy&) = delete;
  ~PackageCopy();

  // Copies sourcePath into a new private folder under packageName. False, with nothing left
  // behind, when the name is not a plain file name, the path would not fit MAX_PATH, or the
  // folder or the copy cannot be made (a partial copy is deleted).
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

// The security descriptor a private folder is created with: full control for SYSTEM, the
// Administrators and the user of the calling thread's token, inherited by the files in it, and
// nothing inherited from the parent. Empty when the system cannot build it.
UniqueSecurityDescriptor PrivateFolderSecurity();

// The file copy that Create uses: true when target, a new file, holds the whole source. Tests put
// in one that fails part way, which the platform does not do on demand. Null restores the
// platform's CopyFileW; returns the copy that was in place.
using FileCopyFunction = bool (*)(const wchar_t* source, const wchar_t* target);
FileCopyFunction SetFileCopyForTesting(FileCopyFunction copy) noexcept;
