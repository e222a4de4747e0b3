// hold_open.exe PATH EVENT MILLISECONDS: opens PATH sharing read and write but not delete, as a
// virus scanner or an indexer opens a new file, sets the named event EVENT once it holds the file,
// and closes it after MILLISECONDS (or when it is ended). Exit code 1 when the file cannot be opened.
#include <windows.h>

#include <cwchar>

int wmain(int argumentCount, wchar_t** arguments) {
  if (argumentCount != 4) {
    return 2;
  }
  const HANDLE file = CreateFileW(arguments[1], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  /*securityAttributes=*/nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, /*templateFile=*/nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return 1;
  }
  const HANDLE held = OpenEventW(EVENT_MODIFY_STATE, /*inheritHandle=*/FALSE, arguments[2]);
  if (held == nullptr || !SetEvent(held)) {
    return 3;
  }
  Sleep(static_cast<DWORD>(std::wcstoul(arguments[3], /*end=*/nullptr, /*base=*/10)));
  CloseHandle(file);
  CloseHandle(held);
  return 0;
}
