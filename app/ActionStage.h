#pragma once

#include "app/CommandLine.h"
#include "installer/Installer.h"

// Builds the family of the command line's upgrade code and carries out its action: hiding when
// /hideoldaddremoves is given (even together with /uninstall), else uninstalling, else nothing.
void RunActionStage(const CommandLine& commandLine, installer::Installer& installer);
