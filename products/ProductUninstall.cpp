#include <windows.h>

#include <string>

#include "common/LogFile.h"
#include "installer/InstallerCodes.h"
#include "products/InstallerWait.h"
#include "products/PackageCopy.h"
#include "products/PrivateFolder.h"
#include "products/Product.h"

namespace {

constexpr unsigned long kPathBufferSize = 260;
constexpr std::wstring_view kInstallerLogName = L"installer.log";
constexpr DWORD kReadChunkBytes = 64 * 1024;

// The whole file; false when it cannot be read.
bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
  const UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                    /*securityAttributes=*/nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, /*templateFile=*/nullptr));
  if (!file) {
    return false;
  }
  std::string chunk(kReadChunkBytes, '\0');
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.get(), chunk.data(), kReadChunkBytes, &read, /*overlapped=*/nullptr)) {
      return false;
    }
    if (read == 0) {
      return true;
    }
    bytes.append(chunk, 0, read);
  }
}

// Appends what the installer wrote into its private log to target, through a handle that refuses
// links (see LogFile). True when all of it arrived.
bool AppendInstallerLog(const std::wstring& privateLog, const std::wstring& target) {
  std::string bytes;
  LogFile log;
  std::wstring failure;
  return ReadWholeFile(privateLog, bytes) && log.Open(target, failure) &&
         log.Append(bytes, /*onOwnLine=*/true, failure);
}

bool NeedsRestart(unsigned result) {
  return result == installer::kSuccessRebootRequired ||
         result == installer::kSuccessRebootInitiated;
}

// Calls remove until it answers something else than "busy", or the wait gives up (at once without
// a wait).
template <typename Removal>
unsigned RetriedWhileBusy(const InstallerWait* wait, Removal remove) {
  unsigned result = remove();
  while (result == installer::kInstallAlreadyRunning && wait != nullptr && wait->BeforeRetry()) {
    result = remove();
  }
  return result;
}

}  // namespace

unsigned Product::RemoveByProductCode(const InstallerWait* wait) {
  const std::wstring productCode = GetProductCode();
  return RetriedWhileBusy(wait, [&] {
    return installer_.ConfigureProductEx(productCode.c_str(), installer::kInstallLevelMaximum,
                                         installer::kInstallStateAbsent,
                                         installer::kRemovalCommandLine);
  });
}

bool Product::Uninstall() {
  RemovalPolicy classic;
  classic.classic = true;
  return Remove(classic).Removed();
}

bool Product::UninstallFromCachedPackage() {
  const CopyRemoval removal = RemoveFromCachedPackage();
  return removal.ran && installer::IsSuccess(removal.result);
}

RemovalOutcome Product::Remove(const RemovalPolicy& policy) {
  RemovalOutcome outcome;
  const InstallerWait* const wait = policy.wait;
  if (wait != nullptr && !wait->UntilIdle()) {
    outcome.state = RemovalOutcome::State::kBlocked;
    return outcome;
  }
  // The installer writes its log by path, long after any check of that path, so it writes into a
  // folder nobody else can open; the finished log then goes where the run's log names it, through
  // a handle that refuses links. Without the installer's own log the removal still runs, and the
  // report names none.
  PrivateFolder logFolder;
  const std::wstring installerLog =
      policy.installerLogPath ? policy.installerLogPath(productCode_) : std::wstring();
  const bool logging = !installerLog.empty() && logFolder.Create(kInstallerLogName) &&
                       installer_.EnableLog(logFolder.filePath().c_str()) == installer::kSuccess;
  outcome.removalRan = true;
  outcome.removalError = RemoveByProductCode(wait);
  if (installer::IsSuccess(outcome.removalError)) {
    outcome.state = RemovalOutcome::State::kRemoved;
    outcome.restartNeeded = NeedsRestart(outcome.removalError);
  } else if (policy.classic) {
    outcome.state = UninstallFromCachedPackage() ? RemovalOutcome::State::kRemovedFromCopy
                                                 : RemovalOutcome::State::kNotRemoved;
  } else if (outcome.removalError == installer::kUnknownProduct && InstallContext() == 0) {
    // Removed since the family was read: with another member (a suite), or by another run. Its
    // cached package is gone with it.
    outcome.state = RemovalOutcome::State::kGone;
  } else if (outcome.removalError == installer::kInstallAlreadyRunning) {
    // A copy of the package cannot help while another installation holds the service.
    if (wait != nullptr) {
      outcome.state = RemovalOutcome::State::kBlocked;
    }
  } else {
    const CopyRemoval copy = RemoveFromCachedPackage(wait);
    outcome.copyRan = copy.ran;
    outcome.copyError = copy.result;
    if (copy.ran && installer::IsSuccess(copy.result)) {
      outcome.state = RemovalOutcome::State::kRemovedFromCopy;
      outcome.restartNeeded = NeedsRestart(copy.result);
    } else if (copy.ran && copy.result == installer::kInstallAlreadyRunning && wait != nullptr) {
      outcome.state = RemovalOutcome::State::kBlocked;
    }
  }
  if (logging) {
    static_cast<void>(installer_.EnableLog(/*logFile=*/nullptr));  // the next member logs elsewhere
    if (AppendInstallerLog(logFolder.filePath(), installerLog)) {
      outcome.installerLog = installerLog;
    }
  }
  return outcome;
}

Product::CopyRemoval Product::RemoveFromCachedPackage(const InstallerWait* wait) {
  wchar_t localPackage[kPathBufferSize] = {};
  unsigned long length = kPathBufferSize;
  if (installer_.GetProductInfo(productCode_.c_str(), L"LocalPackage", localPackage, &length) !=
      installer::kSuccess) {
    return {};
  }
  wchar_t packageName[kPathBufferSize] = {};
  length = kPathBufferSize;
  if (installer_.GetProductInfo(productCode_.c_str(), L"PackageName", packageName, &length) !=
      installer::kSuccess) {
    return {};
  }
  PackageCopy copy;
  if (!copy.Create(localPackage, packageName)) {
    return {};
  }
  // The copy goes with `copy` whatever the removal returned.
  return {true, RetriedWhileBusy(wait, [&] {
            return installer_.InstallProduct(copy.path().c_str(), installer::kRemovalCommandLine);
          })};
}
