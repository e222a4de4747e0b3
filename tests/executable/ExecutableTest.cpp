// Checks the built msitool.exe as a file: its headers, what it imports, its size and its resources.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace {

constexpr std::size_t kMaxFileSize = 1024 * 1024;
constexpr WORD kIconGroupId = 101;
constexpr WORD kIconBitsPerPixel = 32;
constexpr DWORD kIconFormatVersion = 0x00030000;  // what CreateIconFromResourceEx expects
constexpr WORD kUsEnglish = 0x409;
constexpr WORD kWesternEuropeanCodePage = 1252;

// What Windows and Wine bring along; a MinGW runtime DLL here means the static link broke.
const char* const kSystemLibraries[] = {"kernel32.dll", "advapi32.dll", "msi.dll", "msvcrt.dll"};

// The layout of an RT_GROUP_ICON resource, which <windows.h> does not declare.
#pragma pack(push, 2)
struct IconGroupHeader {
  WORD reserved;
  WORD type;
  WORD count;
};
struct IconGroupEntry {
  BYTE width;
  BYTE height;
  BYTE colorCount;
  BYTE reserved;
  WORD planes;
  WORD bitCount;
  DWORD bytesInResource;
  WORD id;
};
#pragma pack(pop)

struct ModuleDeleter {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};
using UniqueModule = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleDeleter>;

struct IconDeleter {
  void operator()(HICON icon) const { DestroyIcon(icon); }
};
using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

using Bytes = std::vector<char>;

// Copies a T from offset; false, with value untouched, when the bytes end before it does.
template <typename T>
bool ReadAt(const Bytes& bytes, std::size_t offset, T& value) {
  if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) {
    return false;
  }
  std::memcpy(&value, bytes.data() + offset, sizeof(T));
  return true;
}

// msitool.exe is built into the same folder as this program.
std::wstring ToolPath() {
  wchar_t own[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(/*module=*/nullptr, own, MAX_PATH);
  const std::wstring path(own, length);
  return path.substr(0, path.find_last_of(L'\\') + 1) + L"msitool.exe";
}

bool IsSystemLibrary(std::string name) {
  std::transform(name.begin(), name.end(), name.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  return std::find(std::begin(kSystemLibraries), std::end(kSystemLibraries), name) != std::end(kSystemLibraries);
}

std::wstring VersionText(DWORD mostSignificant, DWORD leastSignificant) {
  return std::to_wstring(HIWORD(mostSignificant)) + L'.' + std::to_wstring(LOWORD(mostSignificant)) + L'.' +
         std::to_wstring(HIWORD(leastSignificant)) + L'.' + std::to_wstring(LOWORD(leastSignificant));
}

class ExecutableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ifstream file(std::filesystem::path(path_), std::ios::binary);
    image_.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    ASSERT_FALSE(image_.empty()) << "cannot read " << path_;

    IMAGE_DOS_HEADER dos{};
    ASSERT_TRUE(ReadAt(image_, 0, dos));
    ASSERT_EQ(IMAGE_DOS_SIGNATURE, dos.e_magic);
    ntOffset_ = static_cast<std::size_t>(dos.e_lfanew);
    ASSERT_TRUE(ReadAt(image_, ntOffset_, nt_));
    ASSERT_EQ(static_cast<DWORD>(IMAGE_NT_SIGNATURE), nt_.Signature);

    module_.reset(LoadLibraryExW(path_.c_str(), /*file=*/nullptr, LOAD_LIBRARY_AS_DATAFILE));
    const DWORD error = GetLastError();
    ASSERT_NE(nullptr, module_) << "cannot load " << path_ << ", error " << error;

    const DWORD size = GetFileVersionInfoSizeW(path_.c_str(), /*handle=*/nullptr);
    versionBlock_.resize(size);
    if (size == 0 || !GetFileVersionInfoW(path_.c_str(), /*handle=*/0, size, versionBlock_.data())) {
      versionBlock_.clear();
    }
  }

  // The file offset of a relative virtual address; 0 when no section holds it.
  std::size_t FileOffset(DWORD rva) const {
    const std::size_t first = ntOffset_ + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) +
                              nt_.FileHeader.SizeOfOptionalHeader;
    for (WORD i = 0; i < nt_.FileHeader.NumberOfSections; ++i) {
      IMAGE_SECTION_HEADER section{};
      if (!ReadAt(image_, first + i * sizeof(section), section)) {
        break;
      }
      const DWORD extent = std::max(section.Misc.VirtualSize, section.SizeOfRawData);
      if (rva >= section.VirtualAddress && rva - section.VirtualAddress < extent) {
        return section.PointerToRawData + (rva - section.VirtualAddress);
      }
    }
    return 0;
  }

  // The DLL names in the import table, as written there.
  std::vector<std::string> ImportedLibraries() const {
    std::vector<std::string> names;
    const DWORD table = nt_.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    IMAGE_IMPORT_DESCRIPTOR entry{};
    for (std::size_t offset = FileOffset(table); offset != 0 && ReadAt(image_, offset, entry) && entry.Name != 0;
         offset += sizeof(entry)) {
      const std::size_t name = FileOffset(entry.Name);
      if (name == 0) {
        break;
      }
      names.emplace_back(image_.data() + name, strnlen(image_.data() + name, image_.size() - name));
    }
    return names;
  }

  // A copy of one resource of the tool; empty when it has none of that id and type.
  Bytes Resource(const wchar_t* id, const wchar_t* type) const {
    HRSRC found = FindResourceW(module_.get(), id, type);
    HGLOBAL loaded = found != nullptr ? LoadResource(module_.get(), found) : nullptr;
    const char* data = loaded != nullptr ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    return data != nullptr ? Bytes(data, data + SizeofResource(module_.get(), found)) : Bytes();
  }

  // One value of the version block, found by its VerQueryValueW path; nullptr when there is none.
  const void* VersionValue(const std::wstring& name, UINT& length) const {
    void* value = nullptr;
    if (versionBlock_.empty() || !VerQueryValueW(versionBlock_.data(), name.c_str(), &value, &length)) {
      return nullptr;
    }
    return value;
  }

  const std::wstring path_ = ToolPath();
  Bytes image_;
  std::size_t ntOffset_ = 0;
  IMAGE_NT_HEADERS32 nt_{};
  UniqueModule module_;
  Bytes versionBlock_;  // as GetFileVersionInfoW gives it; empty when the file has none
};

TEST_F(ExecutableTest, IsA32BitX86Image) {
  EXPECT_EQ(IMAGE_FILE_MACHINE_I386, nt_.FileHeader.Machine);
  EXPECT_EQ(IMAGE_NT_OPTIONAL_HDR32_MAGIC, nt_.OptionalHeader.Magic);
}

TEST_F(ExecutableTest, UsesTheWindowedSubsystem) {
  EXPECT_EQ(IMAGE_SUBSYSTEM_WINDOWS_GUI, nt_.OptionalHeader.Subsystem);
}

TEST_F(ExecutableTest, IsSmallerThanOneMebibyte) {
  EXPECT_LT(image_.size(), kMaxFileSize);
}

TEST_F(ExecutableTest, ImportsOnlySystemLibraries) {
  const std::vector<std::string> libraries = ImportedLibraries();
  EXPECT_FALSE(libraries.empty());
  for (const std::string& library : libraries) {
    EXPECT_TRUE(IsSystemLibrary(library)) << library << " is not a system library";
  }
}

TEST_F(ExecutableTest, FileAndProductVersionAre12_0_111_0) {
  UINT length = 0;
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(VersionValue(L"\\", length));
  ASSERT_NE(nullptr, info);
  ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(L"12.0.111.0", VersionText(info->dwFileVersionMS, info->dwFileVersionLS));
  EXPECT_EQ(L"12.0.111.0", VersionText(info->dwProductVersionMS, info->dwProductVersionLS));
}

TEST_F(ExecutableTest, VersionBlockDescribesAWindowsApplication) {
  UINT length = 0;
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(VersionValue(L"\\", length));
  ASSERT_NE(nullptr, info);
  EXPECT_EQ(static_cast<DWORD>(VFT_APP), info->dwFileType);
  EXPECT_EQ(static_cast<DWORD>(VOS_NT_WINDOWS32), info->dwFileOS);
}

TEST_F(ExecutableTest, TranslationIsUsEnglishWithTheWesternEuropeanCodePage) {
  UINT length = 0;
  const auto* translation = static_cast<const WORD*>(VersionValue(L"\\VarFileInfo\\Translation", length));
  ASSERT_NE(nullptr, translation);
  ASSERT_EQ(2 * sizeof(WORD), length);
  EXPECT_EQ(kUsEnglish, translation[0]);
  EXPECT_EQ(kWesternEuropeanCodePage, translation[1]);
}

TEST_F(ExecutableTest, StringTableHoldsTheTextsWithTheirBlanks) {
  struct Text {
    const wchar_t* name;
    const wchar_t* expected;
  };
  const Text texts[] = {
      {L"FileVersion", L"12.00 Build 111 "},
      {L"ProductVersion", L"  12.00 Build 111 "},
      {L"CompanyName", L"Quorvin"},
      {L"FileDescription", L"Quorvin Msi Tool"},
      {L"InternalName", L"msitool"},
      {L"OriginalFilename", L"msitool.exe"},
      {L"LegalCopyright", L"Copyright (C) Quorvin"},
      {L"ProductName", L"Quorvin Msi Tool"},
  };
  for (const Text& text : texts) {
    UINT length = 0;
    const auto* value =
        static_cast<const wchar_t*>(VersionValue(std::wstring(L"\\StringFileInfo\\040904E4\\") + text.name, length));
    if (value == nullptr) {
      ADD_FAILURE() << "no " << text.name;
      continue;
    }
    EXPECT_EQ(std::wstring(text.expected), value) << text.name;
  }
}

TEST_F(ExecutableTest, ManifestRequiresAdministratorWithoutUiAccess) {
  const Bytes manifest = Resource(CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST);
  const std::string text(manifest.begin(), manifest.end());
  EXPECT_NE(std::string::npos, text.find("level=\"requireAdministrator\"")) << text;
  EXPECT_NE(std::string::npos, text.find("uiAccess=\"false\"")) << text;
}

// A supportedOS entry for Windows 8.1 or later would change what GetVersionExW reports.
TEST_F(ExecutableTest, ManifestDeclaresNoSupportedOs) {
  const Bytes manifest = Resource(CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST);
  const std::string text(manifest.begin(), manifest.end());
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(std::string::npos, text.find("<supportedOS")) << text;
}

TEST_F(ExecutableTest, IconGroup101HoldsFourSizesAt32BitsPerPixel) {
  const Bytes group = Resource(MAKEINTRESOURCEW(kIconGroupId), RT_GROUP_ICON);
  IconGroupHeader header{};
  ASSERT_TRUE(ReadAt(group, 0, header));
  ASSERT_EQ(4, header.count);
  std::vector<int> sizes;
  for (WORD i = 0; i < header.count; ++i) {
    IconGroupEntry entry{};
    ASSERT_TRUE(ReadAt(group, sizeof(header) + i * sizeof(entry), entry));
    EXPECT_EQ(entry.width, entry.height);
    EXPECT_EQ(kIconBitsPerPixel, entry.bitCount) << int{entry.width} << " px";
    sizes.push_back(entry.width);
  }
  std::sort(sizes.begin(), sizes.end(), std::greater<int>());
  EXPECT_EQ((std::vector<int>{48, 32, 24, 16}), sizes);
}

TEST_F(ExecutableTest, IconImagesAreWhatTheirGroupEntriesSay) {
  const Bytes group = Resource(MAKEINTRESOURCEW(kIconGroupId), RT_GROUP_ICON);
  IconGroupHeader header{};
  ASSERT_TRUE(ReadAt(group, 0, header));
  ASSERT_NE(0, header.count);
  for (WORD i = 0; i < header.count; ++i) {
    IconGroupEntry entry{};
    ASSERT_TRUE(ReadAt(group, sizeof(header) + i * sizeof(entry), entry));
    Bytes image = Resource(MAKEINTRESOURCEW(entry.id), RT_ICON);
    BITMAPINFOHEADER bitmap{};
    ASSERT_TRUE(ReadAt(image, 0, bitmap)) << "no icon " << entry.id;
    EXPECT_EQ(entry.bytesInResource, image.size());
    EXPECT_EQ(entry.width, bitmap.biWidth);
    // An icon's bitmap counts the colour image and the mask in its height.
    EXPECT_EQ(2 * entry.height, bitmap.biHeight);
    EXPECT_EQ(kIconBitsPerPixel, bitmap.biBitCount);
    const UniqueIcon icon(CreateIconFromResourceEx(reinterpret_cast<BYTE*>(image.data()),
                                                   static_cast<DWORD>(image.size()), /*icon=*/TRUE, kIconFormatVersion,
                                                   entry.width, entry.height, LR_DEFAULTCOLOR));
    EXPECT_NE(nullptr, icon) << "Windows cannot make an icon of the " << int{entry.width} << " px image";
  }
}

}  // namespace
