#include "products/PackageCopy.h"

#include <windows.h>

namespace {

bool CopyWithCopyFile(const wchar_t* source, const wchar_t* target) {
  return CopyFileW(source, target, /*failIfExists=*/TRUE) != FALSE;
}

FileCopyFunction fileCopy = CopyWithCopyFile;

}  // namespace

FileCopyFunction SetFileCopyForTesting(FileCopyFunction copy) noexcept {
  const FileCopyFunction previous = fileCopy;
  fileCopy = copy != nullptr ? copy : CopyWithCopyFile;
  return previous;
}

bool PackageCopy::Create(const wchar_t* sourcePath, std::wstring_view packageName) {
  // Create refuses a second folder, so a copy is made at most once.
  if (!folder_.Create(packageName)) {
    return false;
  }
  if (!fileCopy(sourcePath, folder_.filePath().c_str())) {
    // A copy that failed part way (a full volume) leaves what it wrote.
    folder_.Remove();
    return false;
  }
  return true;
}
