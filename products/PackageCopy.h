#pragma once

#include <string>
#include <string_view>

#include "products/PrivateFolder.h"

// A copy of a product's cached package, for removing the product from it, in a PrivateFolder: a
// file planted under the package's name must not be what the elevated removal runs. The copy and
// its folder are deleted with the object.
class PackageCopy {
 public:
  // Copies sourcePath into a new private folder under packageName. False, with nothing left
  // behind, when the name is not a plain file name, the path would not fit MAX_PATH, or the
  // folder or the copy cannot be made (a partial copy is deleted).
  [[nodiscard]] bool Create(const wchar_t* sourcePath, std::wstring_view packageName);

  // The copy's full path and its folder; empty until Create succeeds.
  const std::wstring& path() const noexcept { return folder_.filePath(); }
  const std::wstring& folder() const noexcept { return folder_.folder(); }

 private:
  PrivateFolder folder_;
};

// The file copy that Create uses: true when target, a new file, holds the whole source. Tests put
// in one that fails part way, which the platform does not do on demand. Null restores the
// platform's CopyFileW; returns the copy that was in place.
using FileCopyFunction = bool (*)(const wchar_t* source, const wchar_t* target);
FileCopyFunction SetFileCopyForTesting(FileCopyFunction copy) noexcept;
