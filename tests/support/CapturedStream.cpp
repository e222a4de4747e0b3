#include "support/CapturedStream.h"

#include "common/UniqueHandle.h"

namespace {

// Large enough that the writes under test never wait for a reader.
constexpr DWORD kPipeSize = 1 << 20;

}  // namespace

std::string CaptureStandardStream(DWORD standardHandle, const std::function<void()>& write) {
  UniqueKernelHandle readEnd;
  UniqueKernelHandle writeEnd;
  if (!CreatePipe(readEnd.put(), writeEnd.put(), /*attributes=*/nullptr, kPipeSize)) {
    return "<no pipe>";
  }
  const HANDLE saved = GetStdHandle(standardHandle);
  SetStdHandle(standardHandle, writeEnd.get());
  write();
  SetStdHandle(standardHandle, saved);
  writeEnd.reset();

  std::string bytes;
  char chunk[4096];
  DWORD read = 0;
  while (ReadFile(readEnd.get(), chunk, sizeof(chunk), &read, /*overlapped=*/nullptr) && read > 0) {
    bytes.append(chunk, read);
  }
  return bytes;
}
