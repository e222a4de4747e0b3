/* The least any program spends listing every installed family: it reads the installer's UpgradeCodes
   keys (per machine in the 64-bit view, then the user's), unpacks each packed code, asks
   MsiEnumRelatedProductsW for its members and MsiGetProductInfoW for each member's name and version,
   then lists with MsiEnumProductsW the products no family holds, with their name and version too.
   One line a product, "{UpgradeCode}\t{ProductCode}\tversion\tname" ("-" for a product without a
   family), so that none of the work can be skipped. No install context, no uninstall entries, no
   version order, no sorting of the output. Exit code 1 when an installer call fails. */
#include <windows.h>
#include <msi.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#define CODE_LENGTH 39 /* a braced GUID and its terminator */
#define MAX_CODES 4096

static wchar_t upgradeCodes[MAX_CODES][CODE_LENGTH];
static int upgradeCount;
static wchar_t familyMembers[MAX_CODES][CODE_LENGTH];
static int memberCount;
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
  char bytes[1024];
  const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, sizeof bytes, NULL, NULL);
  if (length <= 1) return;
  if (outputLength + length > sizeof output) Flush();
  memcpy(output + outputLength, bytes, length - 1);
  outputLength += length - 1;
}

/* {4B1D7E92-3A5C-4E81-B07F-6C2D9A18E35B} is packed as 29E7D1B4C5A318E40BF7C6D2A9813EB5: the first
   three groups reversed, each byte of the last two with its digits swapped. */
static int Unpack(const wchar_t *packed, wchar_t *code) {
  static const int groups[] = {8, 4, 4, 2, 2, 2, 2, 2, 2, 2, 2};
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

static void ReadCodes(HKEY root, const wchar_t *path, REGSAM view) {
  HKEY codes;
  wchar_t name[256];
  if (RegOpenKeyExW(root, path, 0, KEY_READ | view, &codes) != ERROR_SUCCESS) return;
  for (DWORD index = 0; upgradeCount < MAX_CODES; ++index) {
    DWORD length = 256;
    if (RegEnumKeyExW(codes, index, name, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
    upgradeCount += Unpack(name, upgradeCodes[upgradeCount]);
  }
  RegCloseKey(codes);
}

static int CompareCodes(const void *left, const void *right) { return wcscmp(left, right); }

static void WriteProduct(const wchar_t *upgradeCode, const wchar_t *productCode) {
  wchar_t name[512], version[64], line[700];
  DWORD nameLength = 512, versionLength = 64;
  if (MsiGetProductInfoW(productCode, INSTALLPROPERTY_INSTALLEDPRODUCTNAME, name, &nameLength) != ERROR_SUCCESS ||
      MsiGetProductInfoW(productCode, INSTALLPROPERTY_VERSIONSTRING, version, &versionLength) != ERROR_SUCCESS) {
    failed = 1;
    return;
  }
  swprintf(line, 700, L"%ls\t%ls\t%ls\t%ls\n", upgradeCode, productCode, version, name);
  Write(line);
}

int wmain(void) {
  ReadCodes(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UpgradeCodes",
            KEY_WOW64_64KEY);
  ReadCodes(HKEY_CURRENT_USER, L"Software\\Microsoft\\Installer\\UpgradeCodes", 0);
  /* A code registered per machine and per user is one family. */
  qsort(upgradeCodes, upgradeCount, sizeof upgradeCodes[0], CompareCodes);
  for (int i = 0; i < upgradeCount; ++i) {
    if (i > 0 && wcscmp(upgradeCodes[i], upgradeCodes[i - 1]) == 0) continue;
    wchar_t member[CODE_LENGTH];
    UINT result;
    for (DWORD index = 0; (result = MsiEnumRelatedProductsW(upgradeCodes[i], 0, index, member)) == ERROR_SUCCESS;
         ++index) {
      WriteProduct(upgradeCodes[i], member);
      if (memberCount < MAX_CODES) wcscpy(familyMembers[memberCount++], member);
    }
    failed |= result != ERROR_NO_MORE_ITEMS;
  }
  qsort(familyMembers, memberCount, sizeof familyMembers[0], CompareCodes);
  wchar_t product[CODE_LENGTH];
  UINT result;
  /* Wine's MsiEnumProductsW costs more the higher the index (about 0.2 ms for the first product, 7.5 ms
     for the 300th), so this loop, like the tool's, grows with the square of the products. */
  for (DWORD index = 0; (result = MsiEnumProductsW(index, product)) == ERROR_SUCCESS; ++index) {
    if (!bsearch(product, familyMembers, memberCount, sizeof familyMembers[0], CompareCodes)) {
      WriteProduct(L"-", product);
    }
  }
  failed |= result != ERROR_NO_MORE_ITEMS;
  Flush();
  return failed;
}
