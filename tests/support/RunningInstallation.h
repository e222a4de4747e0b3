#pragma once

#include <thread>

#include "common/UniqueHandle.h"

// Another installation in progress, as the installer service shows one: the execution mutex
// (Global\_MSIExecute), owned by a thread of this process from construction until End().
class RunningInstallation {
 public:
  RunningInstallation();
  ~RunningInstallation() { End(); }
  RunningInstallation(const RunningInstallation&) = delete;
  RunningInstallation& operator=(const RunningInstallation&) = delete;

  // Releases the mutex, if it is still held.
  void End();

 private:
  UniqueKernelHandle owned_;
  UniqueKernelHandle release_;
  std::thread owner_;
};

// The execution mutex as no installation makes it: there, but nobody may open it, so it cannot
// tell whether an installation runs. Empty when it cannot be made.
UniqueKernelHandle UnopenableExecutionMutex();
