#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Runs write with a standard stream pointed at a pipe, and returns the bytes it wrote there.
std::string CaptureStandardStream(DWORD standardHandle, const std::function<void()>& write);
