#include "products/PackageCopy.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/FolderSecurity.h"
#include "common/LogFile.h"
#include "common/UniqueHandle.h"
#include "products/PrivateFolder.h"
#include "support/TemporaryFiles.h"

namespace {

std::wstring SidText(PSID sid) {
  UniqueLocalString text;
  if (!ConvertSidToStringSidW(sid, text.put())) {
    return L"?";
  }
  return static_cast<const wchar_t*>(text.get());
}

// The user of this process's token, as text.
std::wstring ProcessUserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    return L"?";
  }
  union {
    TOKEN_USER user;
    BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  } buffer;
  DWORD size = sizeof(buffer);
  const BOOL read = GetTokenInformation(token, TokenUser, &buffer, size, &size);
  CloseHandle(token);
  return read ? SidText(buffer.user.User.Sid) : L"?";
}

class PackageCopyTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(WriteFileBytes(source_, "package bytes")); }

  ScratchFolder cache_;
  const std::wstring source_ = cache_.path() + L"cached.msi";
};

TEST_F(PackageCopyTest, CopiesIntoANewFolderUnderThePackageNameAndBothGoWithTheObject) {
  std::set<std::wstring> folders;
  for (int i = 0; i < 20; ++i) {
    std::wstring path;
    {
      PackageCopy copy;
      ASSERT_TRUE(copy.Create(source_.c_str(), L"Product.msi"));
      path = copy.path();
      EXPECT_EQ(path, copy.folder() + L"\\Product.msi");
      EXPECT_EQ(copy.folder().rfind(TemporaryFolder() + L"msitool-", 0), 0u);
      EXPECT_EQ(ReadFileBytes(path), "package bytes");
      folders.insert(copy.folder());
    }
    EXPECT_FALSE(FileExists(path));
  }
  EXPECT_EQ(folders.size(), 20u) << "folder names are new every time";
  for (const std::wstring& folder : folders) EXPECT_FALSE(FileExists(folder));
  EXPECT_TRUE(FileExists(source_));
}

// Wine keeps no access list on files (it reads back SYSTEM and the user whatever was set), so
// this checks the descriptors the folders are created with rather than the folders: each folder
// kind's own, and the one each creator uses, since the log folders' would let Users read a package.
TEST(FolderSecurity, GrantsOnlySystemAdministratorsAndTheUserAndInheritsNothing) {
  const std::map<std::wstring, DWORD> owners = {
      {L"S-1-5-18", FILE_ALL_ACCESS}, {L"S-1-5-32-544", FILE_ALL_ACCESS}, {ProcessUserSid(), FILE_ALL_ACCESS}};
  std::map<std::wstring, DWORD> logFolder = owners;
  logFolder[L"S-1-5-32-545"] = FILE_GENERIC_READ;  // the Users read logs, and plant nothing
  const std::pair<UniqueSecurityDescriptor, std::map<std::wstring, DWORD>> cases[] = {
      {PrivateFolderSecurity(), owners}, {LogFolderSecurity(), logFolder},
      {PrivateFolder::FolderSecurity(), owners}, {LogFile::FolderSecurity(), logFolder}};
  for (const auto& [descriptor, expected] : cases) {
    ASSERT_TRUE(descriptor);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(descriptor.get(), &control, &revision));
    EXPECT_NE(control & SE_DACL_PROTECTED, 0) << "inherited entries would let other users in";
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted));
    ASSERT_TRUE(present);
    ASSERT_NE(dacl, nullptr) << "a null access list would grant everyone";
    std::map<std::wstring, DWORD> trustees;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
      ACCESS_ALLOWED_ACE* ace = nullptr;
      ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
      ASSERT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
      EXPECT_EQ(ace->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
      trustees[SidText(&ace->SidStart)] = ace->Mask;
    }
    // The user's own entry lets in a token whose Administrators group is deny-only.
    EXPECT_EQ(trustees, expected);
  }
}

TEST_F(PackageCopyTest, FailedCopyLeavesNoFolder) {
  const TemporaryFolderWatch copies;
  PackageCopy copy;
  EXPECT_FALSE(copy.Create((cache_.path() + L"absent.msi").c_str(), L"Product.msi"));
  EXPECT_TRUE(copy.path().empty());
  EXPECT_EQ(copies.Added(), std::vector<std::wstring>{});
}

TEST(IsPlainFileName, AcceptsOnlyANameWithinOneFolder) {
  EXPECT_TRUE(IsPlainFileName(L"Product.msi"));
  EXPECT_TRUE(IsPlainFileName(L"Quorvin Sample 1.0 (x86).msi"));
  EXPECT_TRUE(IsPlainFileName(L"...msi"));
  for (const wchar_t* name : {L"", L".", L"..", L"a\\b.msi", L"\\b.msi", L"a/b.msi",
                              L"C:b.msi", L"b.msi:stream"}) {
    EXPECT_FALSE(IsPlainFileName(name)) << testing::PrintToString(std::wstring(name));
  }
}

}  // namespace
