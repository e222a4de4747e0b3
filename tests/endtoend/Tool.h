#pragma once

#include <windows.h>

#include <string>

#include "support/ProcessRunner.h"

// The folder of this test program, with a trailing backslash; msitool.exe and packages\ are beside it.
std::wstring ProgramFolder();

// Runs msitool.exe with the given argument text, as the user of primaryToken when one is given.
// A child that cannot be started is a test failure, reported with the exit code 0xFFFFFFFF.
ProcessOutput RunTool(const std::wstring& arguments, HANDLE primaryToken = nullptr);

// Expects a run that printed the banner alone, nothing on the standard error, and ended with 0.
void ExpectQuietSuccess(const ProcessOutput& output);
