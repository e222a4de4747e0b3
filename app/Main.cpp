#include "app/Entry.h"
#include "installer/Installer.h"

// The entry function: the runtime's start-up code hands over the wide-character arguments.
int wmain(int argumentCount, wchar_t** arguments) {
  return RunToolCommandLine(argumentCount, arguments, installer::SystemInstaller());
}
