#include "support/RunningInstallation.h"

#include <windows.h>

#include <sddl.h>

namespace {

constexpr const wchar_t* kExecutionMutex = L"Global\\_MSIExecute";

UniqueKernelHandle NewEvent() {
  return UniqueKernelHandle(CreateEventW(nullptr, /*manualReset=*/TRUE, /*initialState=*/FALSE, nullptr));
}

}  // namespace

RunningInstallation::RunningInstallation() : owned_(NewEvent()), release_(NewEvent()) {
  owner_ = std::thread([this] {
    const UniqueKernelHandle mutex(CreateMutexW(nullptr, /*initialOwner=*/TRUE, kExecutionMutex));
    SetEvent(owned_.get());
    WaitForSingleObject(release_.get(), INFINITE);
    ReleaseMutex(mutex.get());
  });
  WaitForSingleObject(owned_.get(), INFINITE);
}

void RunningInstallation::End() {
  SetEvent(release_.get());
  if (owner_.joinable()) {
    owner_.join();
  }
}

UniqueKernelHandle UnopenableExecutionMutex() {
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), nullptr, /*bInheritHandle=*/FALSE};
  // A protected access list without entries: no access for anyone.
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P", SDDL_REVISION_1, &attributes.lpSecurityDescriptor,
                                                            nullptr)) {
    return UniqueKernelHandle();
  }
  UniqueKernelHandle mutex(CreateMutexW(&attributes, /*initialOwner=*/FALSE, kExecutionMutex));
  LocalFree(attributes.lpSecurityDescriptor);
  return mutex;
}
