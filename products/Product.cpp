#include "products/Product.h"

#include "installer/InstallerCodes.h"
#include "installer/InstallerText.h"
#include "products/Installation.h"
#include "products/VersionScan.h"

namespace {

constexpr unsigned long kVersionBufferSize = 100;
constexpr int kMissingComponent = -1;

std::wstring_view TrimSpaces(std::wstring_view text) {
  while (!text.empty() && text.front() == L' ') {
    text.remove_prefix(1);
  }
  while (!text.empty() && text.back() == L' ') {
    text.remove_suffix(1);
  }
  return text;
}

}  // namespace

Product::Product(installer::Installer& installer, std::wstring_view productCode)
    : productCode_(productCode), installer_(installer) {
  wchar_t version[kVersionBufferSize] = {};
  unsigned long length = kVersionBufferSize;
  // A failed read is no error: the zero-filled buffer then gives the empty version, which orders
  // as 0.0.0.0. The last character stays zero, so the text always ends inside the buffer.
  const unsigned read =
      installer_.GetProductInfo(productCode_.c_str(), L"VersionString", version, &length);
  version[kVersionBufferSize - 1] = L'\0';
  versionString_ = version;
  wholeVersionString_ = read == installer::kMoreData ? ReadProperty(L"VersionString") : versionString_;
}

std::wstring Product::GetProductCode() const { return productCode_; }

std::wstring Product::GetVersionString() const { return versionString_; }

bool Product::ParseVersion(int& major, int& minor, int& build, int& revision) const {
  int components[4] = {kMissingComponent, kMissingComponent, kMissingComponent, kMissingComponent};
  if (ScanVersionNumbers(TrimSpaces(versionString_), components) == 0) {
    return false;
  }
  major = components[0];
  minor = components[1];
  build = components[2];
  revision = components[3];
  return true;
}

bool Product::IsNewerThan(const Product& other) const {
  int mine[4] = {};
  int theirs[4] = {};
  static_cast<void>(ParseVersion(mine[0], mine[1], mine[2], mine[3]));
  static_cast<void>(other.ParseVersion(theirs[0], theirs[1], theirs[2], theirs[3]));
  for (int i = 0; i < 4; ++i) {
    if (mine[i] != theirs[i]) {
      return mine[i] > theirs[i];
    }
  }
  return false;
}

std::wstring Product::ReadProperty(const wchar_t* property) const {
  return installer::ReadText([this, property](wchar_t* value, unsigned long* length) {
    return installer_.GetProductInfo(productCode_.c_str(), property, value, length);
  });
}

int Product::InstallContext() const { return RunningUserContext(installer_, productCode_); }

void Product::Locate(std::wstring_view runningUserSid) {
  installation_ = FindInstallation(installer_, productCode_, runningUserSid);
  // Another user's product is unknown to the installer's calls for this user: its version is the
  // one that user's install recorded.
  if (installation_.context == Installation::Context::kOtherUser && versionString_.empty()) {
    wholeVersionString_ = installation_.versionString;
    versionString_ = wholeVersionString_.substr(0, kVersionBufferSize - 1);
  }
}
