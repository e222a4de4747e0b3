/* The least any program spends removing a family: given the product codes newest first, it switches the
   installer's interface off and removes each with the tool's own call and command line, in one process.
   No enumeration, no version order, no fallback, no report. Exit code 1 when a removal fails. */
#include <windows.h>
#include <msi.h>

int wmain(int argc, wchar_t **argv) {
  int failed = 0;
  MsiSetInternalUI(INSTALLUILEVEL_NONE, NULL);
  for (int i = 1; i < argc; ++i) {
    const UINT result = MsiConfigureProductExW(argv[i], INSTALLLEVEL_MAXIMUM, INSTALLSTATE_ABSENT,
                                               L"REMOVE=ALL REBOOT=ReallySuppress");
    failed |= result != ERROR_SUCCESS && result != ERROR_SUCCESS_REBOOT_REQUIRED &&
              result != ERROR_SUCCESS_REBOOT_INITIATED;
  }
  return failed;
}
