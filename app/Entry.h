#pragma once

namespace installer {
class Installer;
}

// The whole run of one command line: the banner, the classic command line, or the extended one
// when the classic rules call the line invalid and it carries a new switch, the usage text when
// the line that applies is invalid or asks for help, and the run sequence. Returns the exit code;
// 1603, after one line on the standard error, when the run stops on an exception.
int RunToolCommandLine(int argumentCount, const wchar_t* const* arguments,
                       installer::Installer& installer);
