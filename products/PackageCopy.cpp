#include "products/PackageCopy.h"

#include <windows.h>

#include <ntsecapi.h>
#include <sddl.h>

#include "common/UniqueHandle.h"

namespace {

constexpr DWORD kPathBufferSize = MAX_PATH;
constexpr std::wstring_view kFolderPrefix = L"msitool-";
constexpr ULONG kRandomBytes = 16;

// Protected from inheritance; full control for SYSTEM and the Administrators, inherited by the copy.
constexpr const wchar_t* kPrivateFolderSddl = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// The folder name's random part, as hex. Empty when the system has no random bytes to give.
std::wstring RandomHex() {
  unsigned char bytes[kRandomBytes];
  if (!RtlGenRandom(bytes, sizeof(bytes))) {
    return {};
  }
  constexpr wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring hex;
  for (unsigned char byte : bytes) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0xF];
  }
  return hex;
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
  const UniqueSecurityDescriptor descriptor = PrivateFolderSecurity();
  if (!descriptor) {
    return false;
  }
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor.get(), /*bInheritHandle=*/FALSE};
  // Fails when the name exists, so the folder is always the tool's own.
  return CreateDirectoryW(folder.c_str(), &attributes) != FALSE;
}

}  // namespace

UniqueSecurityDescriptor PrivateFolderSecurity() {
  UniqueSecurityDescriptor descriptor;
  ConvertStringSecurityDescriptorToSecurityDescriptorW(kPrivateFolderSddl, SDDL_REVISION_1,
                                                       descriptor.put(), /*descriptorSize=*/nullptr);
  return descriptor;
}

bool IsPlainFileName(std::wstring_view name) noexcept {
  return !name.empty() && name != L"." && name != L".." &&
         name.find_first_of(L"\\/:") == std::wstring_view::npos;
}

bool PackageCopy::Create(const wchar_t* sourcePath, std::wstring_view packageName) {
  if (!path_.empty() || !IsPlainFileName(packageName)) {
    return false;
  }
  const std::wstring temporaryFolder = TemporaryFolder();
  const std::wstring randomPart = RandomHex();
  if (temporaryFolder.empty() || randomPart.empty()) {
    return false;
  }
  std::wstring folder = temporaryFolder;
  folder += kFolderPrefix;
  folder += randomPart;
  std::wstring path = folder + L'\\';
  path += packageName;
  if (path.size() >= kPathBufferSize || !CreatePrivateFolder(folder)) {
    return false;
  }
  if (!CopyFileW(sourcePath, path.c_str(), /*failIfExists=*/TRUE)) {
    RemoveDirectoryW(folder.c_str());
    return false;
  }
  folder_ = std::move(folder);
  path_ = std::move(path);
  return true;
}

PackageCopy::~PackageCopy() {
  if (!path_.empty()) {
    DeleteFileW(path_.c_str());
    RemoveDirectoryW(folder_.c_str());
  }
}
