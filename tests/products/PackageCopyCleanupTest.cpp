#include "products/PackageCopy.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "common/UniqueHandle.h"
#include "support/ProcessRunner.h"
#include "support/TemporaryFiles.h"
#include "support/TestRegistry.h"

namespace {

constexpr DWORD kHoldBriefly = 1000;      // well inside the time the copy's delete is retried
constexpr DWORD kHoldLonger = 60 * 1000;  // beyond it; the helper is ended once the check is done
constexpr DWORD kWaitForHelper = 30 * 1000;

// hold_open.exe holding a file open, sharing read and write but not delete, from its start until
// it ends by itself or the object goes.
class FileHolder {
 public:
  FileHolder(const std::wstring& path, DWORD milliseconds) {
    const std::wstring eventName = L"msitool-test-held-" + std::to_wstring(GetCurrentProcessId());
    held_.reset(CreateEventW(/*attributes=*/nullptr, /*manualReset=*/TRUE, /*initialState=*/FALSE,
                             eventName.c_str()));
    std::wstring commandLine = L"\"" + ProgramFolder() + L"hold_open.exe\" \"" + path + L"\" " +
                               eventName + L" " + std::to_wstring(milliseconds);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (held_ && CreateProcessW(/*application=*/nullptr, commandLine.data(), nullptr, nullptr,
                                /*inheritHandles=*/FALSE, /*flags=*/0, nullptr, nullptr, &startup,
                                &process)) {
      CloseHandle(process.hThread);
      process_.reset(process.hProcess);
    }
  }
  ~FileHolder() {
    if (process_) {
      TerminateProcess(process_.get(), /*exitCode=*/0);
      WaitForSingleObject(process_.get(), kWaitForHelper);
    }
  }

  // True once the helper holds the file.
  bool Holds() const {
    const HANDLE waits[] = {held_.get(), process_.get()};
    return process_ && WaitForMultipleObjects(2, waits, /*waitAll=*/FALSE, kWaitForHelper) ==
                           WAIT_OBJECT_0;
  }

 private:
  UniqueKernelHandle held_;
  UniqueKernelHandle process_;
};

// The files and folders the system deletes at the next restart, as MoveFileExW records them.
std::wstring PendingDeletes() {
  RegistryValues values;
  if (!ReadValues(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", View::kDefault,
                  values)) {
    return {};
  }
  const std::vector<BYTE>& data = values[L"PendingFileRenameOperations"].data;
  return std::wstring(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
}

// A pair of the multi-string: the path to delete and an empty target.
std::wstring PendingDelete(const std::wstring& path) {
  return std::wstring(L"\\??\\") + path + L'\0' + L'\0';
}

bool FailPartWay(const wchar_t* /*source*/, const wchar_t* target) {
  // Half a package written, then the volume is full.
  WriteFileBytes(target, std::string(4096, 'p'));
  SetLastError(ERROR_DISK_FULL);
  return false;
}

class PackageCopyCleanup : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WriteFileBytes(source_, "package bytes"));
    foldersBefore_ = FindEntries(TemporaryFolder(), L"msitool-*").size();
  }
  void TearDown() override { SetFileAttributesW(source_.c_str(), FILE_ATTRIBUTE_NORMAL); }

  std::size_t LeftoverFolders() const {
    return FindEntries(TemporaryFolder(), L"msitool-*").size() - foldersBefore_;
  }

  void ExpectDeletedNow(const std::wstring& path) const {
    EXPECT_FALSE(FileExists(path));
    EXPECT_EQ(LeftoverFolders(), 0u);
    EXPECT_EQ(PendingDeletes().find(path), std::wstring::npos) << "deleted now, not at a restart";
  }

  ScratchFolder cache_;
  const std::wstring source_ = cache_.path() + L"cached.msi";
  std::size_t foldersBefore_ = 0;
};

TEST_F(PackageCopyCleanup, ReadOnlyCachedPackageLeavesNoCopy) {
  ASSERT_TRUE(SetFileAttributesW(source_.c_str(), FILE_ATTRIBUTE_READONLY));
  std::wstring path;
  {
    PackageCopy copy;
    ASSERT_TRUE(copy.Create(source_.c_str(), L"Product.msi"));
    path = copy.path();
    ASSERT_NE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY, 0u)
        << "the copy is expected to inherit the attribute";
  }
  ExpectDeletedNow(path);
}

TEST_F(PackageCopyCleanup, CopyHeldOpenForAMomentIsStillDeleted) {
  auto copy = std::make_unique<PackageCopy>();
  ASSERT_TRUE(copy->Create(source_.c_str(), L"Product.msi"));
  const std::wstring path = copy->path();
  {
    FileHolder holder(path, kHoldBriefly);
    ASSERT_TRUE(holder.Holds());
    copy.reset();  // while the helper still holds the copy
  }
  ExpectDeletedNow(path);
}

TEST_F(PackageCopyCleanup, CopyThatCannotBeDeletedGoesAtTheNextRestartFolderAfterFile) {
  auto copy = std::make_unique<PackageCopy>();
  ASSERT_TRUE(copy->Create(source_.c_str(), L"Product.msi"));
  const std::wstring path = copy->path();
  const std::wstring folder = copy->folder();
  {
    FileHolder holder(path, kHoldLonger);
    ASSERT_TRUE(holder.Holds());
    copy.reset();
    ASSERT_TRUE(FileExists(path)) << "the helper holds it";
    const std::wstring pending = PendingDeletes();
    const std::size_t file = pending.find(PendingDelete(path));
    const std::size_t parent = pending.find(PendingDelete(folder));
    ASSERT_NE(file, std::wstring::npos);
    ASSERT_NE(parent, std::wstring::npos);
    EXPECT_LT(file, parent) << "the folder can only go once the file has gone";
  }
  // The restart is not waited for here.
  EXPECT_TRUE(DeleteFileW(path.c_str()));
  EXPECT_TRUE(RemoveDirectoryW(folder.c_str()));
}

TEST_F(PackageCopyCleanup, CopyThatFailsPartWayIsDeletedWithItsFolder) {
  const FileCopyFunction platformCopy = SetFileCopyForTesting(FailPartWay);
  PackageCopy copy;
  const bool created = copy.Create(source_.c_str(), L"Product.msi");
  SetFileCopyForTesting(platformCopy);
  EXPECT_FALSE(created);
  EXPECT_TRUE(copy.path().empty());
  EXPECT_EQ(LeftoverFolders(), 0u);
}

// The private folder takes 35 characters: "msitool-", 26 random ones and a backslash.
TEST_F(PackageCopyCleanup, LongestNameIsMaxPathLessTheTemporaryAndPrivateFolders) {
  const std::size_t longest = MAX_PATH - 1 - TemporaryFolder().size() - 35;
  PackageCopy fits;
  ASSERT_TRUE(fits.Create(source_.c_str(), std::wstring(longest - 4, L'n') + L".msi"));
  EXPECT_EQ(fits.path().size(), static_cast<std::size_t>(MAX_PATH - 1));
  PackageCopy tooLong;
  EXPECT_FALSE(tooLong.Create(source_.c_str(), std::wstring(longest - 3, L'n') + L".msi"));
}

}  // namespace
