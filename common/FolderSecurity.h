#pragma once

#include "common/UniqueHandle.h"

// The security descriptors of the folders the tool creates. Both are protected from inheritance
// and give full control to SYSTEM, the Administrators and the user of the calling thread's token
// (a deny-only Administrators group, which the gate lets through from platform version 6, does not
// open them; the user's own entry does), inherited by what is created inside. Empty when the system
// cannot build them.

// A folder for the tool alone: nobody else may open it.
[[nodiscard]] UniqueSecurityDescriptor PrivateFolderSecurity();

// A folder on the way to a log file: the Users may also read, so that the log can be read without
// elevation, but nobody else may plant a file or a link in it.
[[nodiscard]] UniqueSecurityDescriptor LogFolderSecurity();
