#include "products/PrivateFolder.h"

#include <windows.h>

#include <ntsecapi.h>

#include "common/FolderSecurity.h"
#include "common/UniqueHandle.h"

namespace {

constexpr DWORD kPathBufferSize = MAX_PATH;
constexpr std::wstring_view kFolderPrefix = L"msitool-";
constexpr ULONG kRandomBytes = 16;
constexpr unsigned kBitsPerDigit = 5;

// A refused delete (a scanner or indexer holding the new file open) is tried again for this long
// before it is left to the next restart.
constexpr DWORD kDeleteRetryMilliseconds = 100;
constexpr int kDeleteAttempts = 50;

// The folder name's random part: 128 bits in base 32 (26 digits of one case, so a file system
// that ignores case keeps them all apart). Empty when the system has no random bytes to give.
std::wstring RandomDigits() {
  unsigned char bytes[kRandomBytes];
  if (!RtlGenRandom(bytes, sizeof(bytes))) {
    return {};
  }
  constexpr wchar_t kDigits[] = L"abcdefghijklmnopqrstuvwxyz234567";
  std::wstring digits;
  unsigned bits = 0;
  unsigned pending = 0;
  for (unsigned char byte : bytes) {
    bits = (bits << 8) | byte;
    pending += 8;
    while (pending >= kBitsPerDigit) {
      pending -= kBitsPerDigit;
      digits += kDigits[(bits >> pending) & 0x1F];
    }
  }
  if (pending > 0) {
    digits += kDigits[(bits << (kBitsPerDigit - pending)) & 0x1F];
  }
  return digits;
}

// Deletes a file or an empty folder: with its attributes cleared (a read-only cached package gives
// a read-only copy), again for a short while when refused, and at the next restart when it still
// cannot go. False when it is left to the restart.
bool RemoveNowOrAtRestart(const std::wstring& path, bool isFolder) {
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  for (int attempt = 0; attempt < kDeleteAttempts; ++attempt) {
    if (isFolder ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str())) {
      return true;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      return true;
    }
    Sleep(kDeleteRetryMilliseconds);
  }
  MoveFileExW(path.c_str(), /*newFileName=*/nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  return false;
}

// The temporary folder, with its trailing backslash; empty when it does not fit MAX_PATH.
std::wstring TemporaryFolder() {
  wchar_t buffer[kPathBufferSize] = {};
  const DWORD length = GetTempPathW(kPathBufferSize, buffer);
  // A result as large as the buffer is the size it would need: the path was not written whole.
  if (length == 0 || length >= kPathBufferSize) {
    return {};
  }
  return std::wstring(buffer, length);
}

bool CreatePrivateFolder(const std::wstring& folder) {
  const UniqueSecurityDescriptor descriptor = PrivateFolder::FolderSecurity();
  if (!descriptor) {
    return false;
  }
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor.get(), /*bInheritHandle=*/FALSE};
  // Fails when the name exists, so the folder is always the tool's own.
  return CreateDirectoryW(folder.c_str(), &attributes) != FALSE;
}

}  // namespace

UniqueSecurityDescriptor PrivateFolder::FolderSecurity() { return PrivateFolderSecurity(); }

bool IsPlainFileName(std::wstring_view name) noexcept {
  return !name.empty() && name != L"." && name != L".." &&
         name.find_first_of(L"\\/:") == std::wstring_view::npos;
}

bool PrivateFolder::Create(std::wstring_view fileName) {
  if (!folder_.empty() || !IsPlainFileName(fileName)) {
    return false;
  }
  const std::wstring temporaryFolder = TemporaryFolder();
  const std::wstring randomPart = RandomDigits();
  if (temporaryFolder.empty() || randomPart.empty()) {
    return false;
  }
  std::wstring folder = temporaryFolder;
  folder += kFolderPrefix;
  folder += randomPart;
  std::wstring filePath = folder + L'\\';
  filePath += fileName;
  if (filePath.size() >= kPathBufferSize || !CreatePrivateFolder(folder)) {
    return false;
  }
  folder_ = std::move(folder);
  filePath_ = std::move(filePath);
  return true;
}

void PrivateFolder::Remove() noexcept {
  if (folder_.empty()) {
    return;
  }
  // The file first, then its folder; a file left to the restart leaves the folder to it as well,
  // scheduled after the file, since the folder cannot go before it.
  if (RemoveNowOrAtRestart(filePath_, /*isFolder=*/false)) {
    RemoveNowOrAtRestart(folder_, /*isFolder=*/true);
  } else {
    MoveFileExW(folder_.c_str(), /*newFileName=*/nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  }
  folder_.clear();
  filePath_.clear();
}
