#pragma once

#include <windows.h>

#include <string>

#include "common/UniqueHandle.h"

// What a finished child process left: its exit code and the raw bytes of its two output streams.
struct ProcessOutput {
  DWORD exitCode = 0;
  std::string standardOutput;
  std::string standardError;
};

// Runs commandLine with its standard output and standard error captured, waits for it and fills output.
// With a primaryToken the child runs as that token's user (CreateProcessAsUserW). Returns false, leaving
// output untouched, when the child cannot be started or its exit code cannot be read.
[[nodiscard]] bool RunProcess(const std::wstring& commandLine, HANDLE primaryToken,
                              ProcessOutput& output) noexcept;

// The folder of this test program, with a trailing backslash; msitool.exe and the helpers are beside it.
std::wstring ProgramFolder();

// How many handles this process holds, for leak checks. Counted by probing handle values, since
// Wine's GetProcessHandleCount always answers 0.
DWORD ProcessHandleCount();
