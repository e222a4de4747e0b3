/* The least any program spends hiding entries: given the product codes of the older members, it opens
   each one's uninstall key in each registry view and sets SystemComponent = 1 where the key is there.
   No version order, no probe of DisplayName, no report. Exit code 1 when a write fails. */
#include <windows.h>
#include <wchar.h>

int wmain(int argc, wchar_t **argv) {
  static const REGSAM views[] = {KEY_WOW64_32KEY, KEY_WOW64_64KEY};
  const DWORD one = 1;
  int failed = 0;
  for (int i = 1; i < argc; ++i) {
    wchar_t path[200];
    swprintf(path, 200, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%ls", argv[i]);
    for (int v = 0; v < 2; ++v) {
      HKEY key;
      if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_SET_VALUE | views[v], &key) != ERROR_SUCCESS) continue;
      failed |= RegSetValueExW(key, L"SystemComponent", 0, REG_DWORD, (const BYTE *)&one, sizeof one) != ERROR_SUCCESS;
      RegCloseKey(key);
    }
  }
  return failed;
}
