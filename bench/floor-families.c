/* The least any program spends listing every installed family, every user's members and the orphaned
   uninstall entries. It takes the running user's SID once and reads the installer's UpgradeCodes keys
   (per machine in the 64-bit view, then the user's), unpacking each packed code. For each family it
   asks MsiEnumRelatedProductsW for its members and reads the machine's key of that family for the
   members registered there that the installer did not name (another user's per-user installs). Each
   member is located: MsiGetProductInfoExW "State" per machine, then per user managed and unmanaged,
   for the running user; for a member found in none of them, MsiEnumProductsExW for every user and
   then the installer's records under UserData. A member found is listed with MsiGetProductInfoW's
   name and version (or, for another user's, that user's). MsiEnumProductsW then gives the products no
   family holds, located and listed too. Last, the uninstall keys of both registry views: an entry
   named by a product code with WindowsInstaller = 1 whose product is not listed is located, and
   listed when no user has installed it.
   One line a product, "{UpgradeCode}\t{ProductCode}\tversion\tname" ("-" for a product without a
   family; another user's ends with "\tother-user\tSID"), and one line an orphaned entry,
   "orphaned\t{ProductCode}\tview\tname", so that none of the work can be skipped. No uninstall entry
   states of members, no account names, no version order, no sorting of the output. Exit code 1 when
   an installer call fails. */
#include <windows.h>
#include <msi.h>
#include <sddl.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#define CODE_LENGTH 39 /* a braced GUID and its terminator */
#define PACKED_LENGTH 33
#define MAX_CODES 4096
#define SID_LENGTH 200

static const wchar_t installerKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer";
static const wchar_t uninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

struct Family {
  wchar_t code[CODE_LENGTH];
  wchar_t packed[PACKED_LENGTH];
  int perMachine; /* registered in the machine's key, which then names its members */
};

/* Where a product is installed; name and version only for another user's. */
struct Found {
  int context; /* 0 nowhere, 1 the machine or the running user, 2 another user */
  wchar_t sid[SID_LENGTH];
  wchar_t name[512];
  wchar_t version[64];
};

static struct Family families[MAX_CODES];
static int familyCount;
static wchar_t listed[MAX_CODES][CODE_LENGTH];
static int listedCount;
static wchar_t runningSid[SID_LENGTH];
static char output[1 << 16];
static size_t outputLength;
static int failed;

static void Flush(void) {
  DWORD written;
  if (outputLength > 0 && !WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), output, (DWORD)outputLength, &written, NULL)) {
    failed = 1;
  }
  outputLength = 0;
}

static void Write(const wchar_t *text) {
  char bytes[2048];
  const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, sizeof bytes, NULL, NULL);
  if (length <= 1) return;
  if (outputLength + length > sizeof output) Flush();
  memcpy(output + outputLength, bytes, length - 1);
  outputLength += length - 1;
}

/* {4B1D7E92-3A5C-4E81-B07F-6C2D9A18E35B} is packed as 29E7D1B4C5A318E40BF7C6D2A9813EB5: the first
   three groups reversed, each byte of the last two with its digits swapped. */
static const int groups[] = {8, 4, 4, 2, 2, 2, 2, 2, 2, 2, 2};

static int Unpack(const wchar_t *packed, wchar_t *code) {
  int from = 0, to = 0;
  if (wcslen(packed) != 32 || wcsspn(packed, L"0123456789ABCDEFabcdef") != 32) return 0;
  code[to++] = L'{';
  for (int g = 0; g < 11; ++g) {
    for (int i = groups[g] - 1; i >= 0; --i) code[to++] = towupper(packed[from + i]);
    from += groups[g];
    if (g == 0 || g == 1 || g == 2 || g == 4) code[to++] = L'-';
  }
  code[to++] = L'}';
  code[to] = L'\0';
  return 1;
}

static void Pack(const wchar_t *code, wchar_t *packed) {
  int from = 1, to = 0;
  for (int g = 0; g < 11; ++g) {
    for (int i = groups[g] - 1; i >= 0; --i) packed[to++] = code[from + i];
    from += groups[g];
    if (g == 0 || g == 1 || g == 2 || g == 4) ++from;
  }
  packed[to] = L'\0';
}

static int CompareCodes(const void *left, const void *right) { return wcscmp(left, right); }

static void List(const wchar_t *code) {
  if (listedCount < MAX_CODES) wcscpy(listed[listedCount++], code);
}

static void ReadCodes(HKEY root, const wchar_t *path, REGSAM view, int perMachine) {
  HKEY codes;
  wchar_t name[256];
  if (RegOpenKeyExW(root, path, 0, KEY_READ | view, &codes) != ERROR_SUCCESS) return;
  for (DWORD index = 0; familyCount < MAX_CODES; ++index) {
    DWORD length = 256;
    if (RegEnumKeyExW(codes, index, name, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
    if (Unpack(name, families[familyCount].code)) {
      wcscpy(families[familyCount].packed, name);
      families[familyCount++].perMachine = perMachine;
    }
  }
  RegCloseKey(codes);
}

/* The SID of the user this runs as, as text; empty when the token does not give it. */
static void ReadRunningSid(void) {
  HANDLE token;
  BYTE user[256];
  DWORD length;
  wchar_t *text;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return;
  if (GetTokenInformation(token, TokenUser, user, sizeof user, &length) &&
      ConvertSidToStringSidW(((TOKEN_USER *)user)->User.Sid, &text)) {
    wcsncpy(runningSid, text, SID_LENGTH - 1);
    LocalFree(text);
  }
  CloseHandle(token);
}

static int IsAnotherUser(const wchar_t *sid) {
  return sid[0] != L'\0' && _wcsicmp(sid, L"S-1-5-18") != 0 && _wcsicmp(sid, runningSid) != 0;
}

static void ReadText(HKEY key, const wchar_t *name, wchar_t *value, DWORD capacity) {
  DWORD size = capacity * sizeof(wchar_t);
  if (RegGetValueW(key, NULL, name, RRF_RT_REG_SZ, NULL, value, &size) != ERROR_SUCCESS) value[0] = L'\0';
}

static void Locate(const wchar_t *code, struct Found *found) {
  static const MSIINSTALLCONTEXT contexts[] = {MSIINSTALLCONTEXT_MACHINE, MSIINSTALLCONTEXT_USERMANAGED,
                                               MSIINSTALLCONTEXT_USERUNMANAGED};
  wchar_t state[16];
  found->context = 0;
  for (int c = 0; c < 3; ++c) {
    DWORD length = 16;
    if (MsiGetProductInfoExW(code, NULL, contexts[c], L"State", state, &length) == ERROR_SUCCESS) {
      found->context = 1;
      return;
    }
  }
  /* Installed for nobody the running user knows of: ask the installer for every user. */
  for (DWORD index = 0;; ++index) {
    MSIINSTALLCONTEXT context;
    DWORD sidLength = SID_LENGTH;
    if (MsiEnumProductsExW(code, L"s-1-1-0", MSIINSTALLCONTEXT_ALL, index, NULL, &context, found->sid, &sidLength) !=
        ERROR_SUCCESS) {
      break;
    }
    if (context != MSIINSTALLCONTEXT_MACHINE && IsAnotherUser(found->sid)) {
      DWORD nameLength = 512, versionLength = 64;
      found->context = 2;
      if (MsiGetProductInfoExW(code, found->sid, context, INSTALLPROPERTY_INSTALLEDPRODUCTNAME, found->name,
                               &nameLength) != ERROR_SUCCESS) {
        found->name[0] = L'\0';
      }
      if (MsiGetProductInfoExW(code, found->sid, context, INSTALLPROPERTY_VERSIONSTRING, found->version,
                               &versionLength) != ERROR_SUCCESS) {
        found->version[0] = L'\0';
      }
      return;
    }
  }
  /* Where the installer answers nothing for other users: its records under UserData. */
  HKEY userData, properties;
  wchar_t packed[PACKED_LENGTH], path[400];
  Pack(code, packed);
  swprintf(path, 400, L"%ls\\UserData", installerKey);
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | KEY_WOW64_64KEY, &userData) != ERROR_SUCCESS) return;
  for (DWORD index = 0; found->context == 0; ++index) {
    DWORD length = SID_LENGTH;
    if (RegEnumKeyExW(userData, index, found->sid, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
    swprintf(path, 400, L"%ls\\Products\\%ls\\InstallProperties", found->sid, packed);
    if (IsAnotherUser(found->sid) &&
        RegOpenKeyExW(userData, path, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &properties) == ERROR_SUCCESS) {
      found->context = 2;
      ReadText(properties, L"DisplayName", found->name, 512);
      ReadText(properties, L"DisplayVersion", found->version, 64);
      RegCloseKey(properties);
    }
  }
  RegCloseKey(userData);
}

/* Locates the product and lists it where some user has installed it; 0 when nobody has. */
static int WriteProduct(const wchar_t *upgradeCode, const wchar_t *productCode) {
  struct Found found;
  wchar_t line[1200];
  Locate(productCode, &found);
  if (found.context == 0) return 0;
  if (found.context == 2) {
    swprintf(line, 1200, L"%ls\t%ls\t%ls\t%ls\tother-user\t%ls\n", upgradeCode, productCode, found.version,
             found.name, found.sid);
  } else {
    DWORD nameLength = 512, versionLength = 64;
    if (MsiGetProductInfoW(productCode, INSTALLPROPERTY_INSTALLEDPRODUCTNAME, found.name, &nameLength) !=
            ERROR_SUCCESS ||
        MsiGetProductInfoW(productCode, INSTALLPROPERTY_VERSIONSTRING, found.version, &versionLength) !=
            ERROR_SUCCESS) {
      failed = 1;
      return 0;
    }
    swprintf(line, 1200, L"%ls\t%ls\t%ls\t%ls\n", upgradeCode, productCode, found.version, found.name);
  }
  Write(line);
  return 1;
}

/* The entries of one view that claim the installer for a product nobody has installed. */
static void WriteOrphans(REGSAM view, const wchar_t *viewName) {
  HKEY uninstall, entry;
  wchar_t name[256], line[800], displayName[512];
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, uninstallKey, 0, KEY_READ | view, &uninstall) != ERROR_SUCCESS) return;
  for (DWORD index = 0;; ++index) {
    DWORD length = 256, claims = 0, size = sizeof claims;
    if (RegEnumKeyExW(uninstall, index, name, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
    if (length != 38 || name[0] != L'{' || name[37] != L'}') continue;
    if (RegOpenKeyExW(uninstall, name, 0, KEY_QUERY_VALUE | view, &entry) != ERROR_SUCCESS) continue;
    if (RegGetValueW(entry, NULL, L"WindowsInstaller", RRF_RT_REG_DWORD, NULL, &claims, &size) == ERROR_SUCCESS &&
        claims == 1) {
      struct Found found;
      for (int i = 0; i < 38; ++i) name[i] = towupper(name[i]);
      if (!bsearch(name, listed, listedCount, sizeof listed[0], CompareCodes) && (Locate(name, &found), found.context == 0)) {
        ReadText(entry, L"DisplayName", displayName, 512);
        swprintf(line, 800, L"orphaned\t%ls\t%ls\t%ls\n", name, viewName, displayName);
        Write(line);
      }
    }
    RegCloseKey(entry);
  }
  RegCloseKey(uninstall);
}

int wmain(void) {
  wchar_t path[200], member[CODE_LENGTH], product[CODE_LENGTH];
  UINT result;
  ReadRunningSid();
  swprintf(path, 200, L"%ls\\UpgradeCodes", installerKey);
  ReadCodes(HKEY_LOCAL_MACHINE, path, KEY_WOW64_64KEY, 1);
  ReadCodes(HKEY_CURRENT_USER, L"Software\\Microsoft\\Installer\\UpgradeCodes", 0, 0);
  /* A code registered per machine and per user is one family. */
  qsort(families, familyCount, sizeof families[0], CompareCodes);
  HKEY machineCodes = NULL;
  RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | KEY_WOW64_64KEY, &machineCodes);
  for (int i = 0; i < familyCount; ++i) {
    if (i > 0 && wcscmp(families[i].code, families[i - 1].code) == 0) continue;
    const int firstMember = listedCount;
    for (DWORD index = 0; (result = MsiEnumRelatedProductsW(families[i].code, 0, index, member)) == ERROR_SUCCESS;
         ++index) {
      if (WriteProduct(families[i].code, member)) List(member);
    }
    failed |= result != ERROR_NO_MORE_ITEMS;
    /* Members registered for the machine that the installer's list, the running user's, leaves out. */
    HKEY family;
    const int perMachine = families[i].perMachine || (i + 1 < familyCount && families[i + 1].perMachine &&
                                                      wcscmp(families[i].code, families[i + 1].code) == 0);
    if (perMachine && machineCodes && RegOpenKeyExW(machineCodes, families[i].packed, 0, KEY_READ | KEY_WOW64_64KEY,
                                                    &family) == ERROR_SUCCESS) {
      wchar_t name[256];
      for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        if (RegEnumValueW(family, index, name, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
        if (!Unpack(name, member)) continue;
        int named = 0;
        for (int m = firstMember; m < listedCount && !named; ++m) named = wcscmp(listed[m], member) == 0;
        if (!named && WriteProduct(families[i].code, member)) List(member);
      }
      RegCloseKey(family);
    }
  }
  if (machineCodes) RegCloseKey(machineCodes);
  qsort(listed, listedCount, sizeof listed[0], CompareCodes);
  const int familyMembers = listedCount;
  /* Wine's MsiEnumProductsW costs more the higher the index (about 0.2 ms for the first product, 7.5 ms
     for the 300th), so this loop, like the tool's, grows with the square of the products. */
  for (DWORD index = 0; (result = MsiEnumProductsW(index, product)) == ERROR_SUCCESS; ++index) {
    if (!bsearch(product, listed, familyMembers, sizeof listed[0], CompareCodes)) {
      if (WriteProduct(L"-", product)) List(product);
    }
  }
  failed |= result != ERROR_NO_MORE_ITEMS;
  qsort(listed, listedCount, sizeof listed[0], CompareCodes);
  WriteOrphans(KEY_WOW64_32KEY, L"32");
  WriteOrphans(KEY_WOW64_64KEY, L"64");
  Flush();
  return failed;
}
