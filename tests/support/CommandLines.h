#pragma once

#include <string>
#include <vector>

#include "app/CommandLine.h"

// The command line that Parse makes of these arguments after the program.
CommandLine ParseArguments(const std::vector<std::wstring>& arguments,
                           const wchar_t* programPath = L"msitool.exe");
