#pragma once

// The process exit codes: the platform's own numbers for success, access denied and bad arguments.
constexpr int kExitSuccess = 0;
constexpr int kExitAccessDenied = 5;
constexpr int kExitBadArguments = 160;
