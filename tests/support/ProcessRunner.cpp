#include "support/ProcessRunner.h"

#include <utility>

namespace {

constexpr DWORD kReadChunk = 4096;
// Handle values are multiples of 4; the tests hold far fewer than this many.
constexpr ULONG_PTR kHandleStep = 4;
constexpr ULONG_PTR kHandleProbeEnd = 65536;

// One end of a pipe that a reader thread drains into text until the writer side is gone.
struct PipeReader {
  UniqueKernelHandle pipe;
  std::string text;
};

DWORD WINAPI DrainPipe(void* context) {
  auto& reader = *static_cast<PipeReader*>(context);
  char chunk[kReadChunk];
  DWORD read = 0;
  // ReadFile fails with ERROR_BROKEN_PIPE once the child, and every process that inherited the write
  // end, has exited; a zero-byte write only gives a read of zero bytes.
  while (ReadFile(reader.pipe.get(), chunk, sizeof chunk, &read, /*overlapped=*/nullptr)) {
    reader.text.append(chunk, read);
  }
  return 0;
}

// A pipe whose write end the child inherits and whose read end stays with this process.
[[nodiscard]] bool CreateOutputPipe(UniqueKernelHandle& readEnd, UniqueKernelHandle& writeEnd) noexcept {
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, /*lpSecurityDescriptor=*/nullptr, TRUE};
  return CreatePipe(readEnd.put(), writeEnd.put(), &inheritable, /*nSize=*/0) &&
         SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, /*dwFlags=*/0);
}

[[nodiscard]] UniqueFile OpenNullInput() noexcept {
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, /*lpSecurityDescriptor=*/nullptr, TRUE};
  return UniqueFile(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, /*hTemplateFile=*/nullptr));
}

}  // namespace

std::wstring ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  path.resize(GetModuleFileNameW(/*hModule=*/nullptr, path.data(), MAX_PATH));
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

bool RunProcess(const std::wstring& commandLine, HANDLE primaryToken, ProcessOutput& output) noexcept {
  PipeReader standardOutput;
  PipeReader standardError;
  UniqueKernelHandle outputWriteEnd;
  UniqueKernelHandle errorWriteEnd;
  UniqueFile input = OpenNullInput();
  if (!input || !CreateOutputPipe(standardOutput.pipe, outputWriteEnd) ||
      !CreateOutputPipe(standardError.pipe, errorWriteEnd)) {
    return false;
  }

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input.get();
  startup.hStdOutput = outputWriteEnd.get();
  startup.hStdError = errorWriteEnd.get();

  // CreateProcessW may write into the command line, so it gets a copy of its own.
  std::wstring mutableCommandLine = commandLine;
  PROCESS_INFORMATION information{};
  const BOOL started =
      primaryToken != nullptr
          ? CreateProcessAsUserW(primaryToken, /*lpApplicationName=*/nullptr, mutableCommandLine.data(),
                                 /*lpProcessAttributes=*/nullptr, /*lpThreadAttributes=*/nullptr,
                                 /*bInheritHandles=*/TRUE, /*dwCreationFlags=*/0,
                                 /*lpEnvironment=*/nullptr, /*lpCurrentDirectory=*/nullptr, &startup,
                                 &information)
          : CreateProcessW(/*lpApplicationName=*/nullptr, mutableCommandLine.data(),
                           /*lpProcessAttributes=*/nullptr, /*lpThreadAttributes=*/nullptr,
                           /*bInheritHandles=*/TRUE, /*dwCreationFlags=*/0, /*lpEnvironment=*/nullptr,
                           /*lpCurrentDirectory=*/nullptr, &startup, &information);
  if (!started) return false;
  UniqueKernelHandle process(information.hProcess);
  UniqueKernelHandle thread(information.hThread);
  // Only the child may hold the write ends now, or the readers would never see the end of the streams.
  outputWriteEnd.reset();
  errorWriteEnd.reset();
  input.reset();

  UniqueKernelHandle errorThread(CreateThread(/*lpThreadAttributes=*/nullptr, /*dwStackSize=*/0, DrainPipe,
                                            &standardError, /*dwCreationFlags=*/0, /*lpThreadId=*/nullptr));
  if (!errorThread) {
    // No second thread: read the streams one after the other, which suffices for short output.
    DrainPipe(&standardError);
  }
  DrainPipe(&standardOutput);
  if (errorThread) WaitForSingleObject(errorThread.get(), INFINITE);

  DWORD exitCode = 0;
  if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process.get(), &exitCode)) {
    return false;
  }
  output.exitCode = exitCode;
  output.standardOutput = std::move(standardOutput.text);
  output.standardError = std::move(standardError.text);
  return true;
}

DWORD ProcessHandleCount() {
  DWORD count = 0;
  for (ULONG_PTR value = kHandleStep; value < kHandleProbeEnd; value += kHandleStep) {
    DWORD flags = 0;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
  }
  return count;
}
