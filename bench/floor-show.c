/* The least any program spends showing entries again: given the product codes of every member, it opens
   each one's uninstall key in each registry view and deletes SystemComponent where the key is there.
   No probe of DisplayName, no look at the installer's record or the cached package, no report.
   Exit code 1 when a deletion fails for another reason than a value that is not there. */
#include <windows.h>
#include <wchar.h>

int wmain(int argc, wchar_t **argv) {
  static const REGSAM views[] = {KEY_WOW64_32KEY, KEY_WOW64_64KEY};
  int failed = 0;
  for (int i = 1; i < argc; ++i) {
    wchar_t path[200];
    swprintf(path, 200, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%ls", argv[i]);
    for (int v = 0; v < 2; ++v) {
      HKEY key;
      if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_SET_VALUE | views[v], &key) != ERROR_SUCCESS) continue;
      const LSTATUS deleted = RegDeleteValueW(key, L"SystemComponent");
      failed |= deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND;
      RegCloseKey(key);
    }
  }
  return failed;
}
