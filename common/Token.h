#pragma once

#include <windows.h>

#include <vector>

#include "common/UniqueHandle.h"

// The token the tool acts with, opened for querying: the thread's when it impersonates (the access
// check made as the process itself), else the process's. Empty when neither opens.
[[nodiscard]] UniqueToken OpenQueryToken() noexcept;

// What GetTokenInformation gives for kind, in a buffer of the size it asks for; empty when the
// token cannot give it. An exhausted heap throws, as every growing container does.
[[nodiscard]] std::vector<BYTE> TokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind);

// The user of OpenQueryToken's token, in a TokenUser buffer; empty when it cannot be read.
[[nodiscard]] std::vector<BYTE> RunningUser();
