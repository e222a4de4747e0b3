#include "installer/InstallerCodes.h"
#include "products/Product.h"
#include "registry/InstallerRecord.h"

namespace {

// The installer writes SystemComponent when the property is set at all, whatever its value.
constexpr const wchar_t* kSelfHidingProperty = L"ARPSYSTEMCOMPONENT";
constexpr unsigned long kPropertyBufferSize = 16;

}  // namespace

SelfHiding Product::AsksToBeHidden() const {
  SelfHiding self;
  const RecordedHiding recorded = ReadRecordedHiding(productCode_);
  if (recorded.answer == RecordedHiding::Answer::kHides) {
    self.answer = SelfHiding::Answer::kAsks;
    return self;
  }
  const std::wstring package = ReadProperty(L"LocalPackage");
  wchar_t value[kPropertyBufferSize] = {};
  unsigned long length = kPropertyBufferSize;
  const unsigned read =
      package.empty() ? installer::kUnknownProduct
                      : installer_.GetPackageProperty(package.c_str(), kSelfHidingProperty, value, &length);
  // A value too long for the buffer is set all the same.
  if ((read == installer::kSuccess || read == installer::kMoreData) && length > 0) {
    self.answer = SelfHiding::Answer::kAsks;
    return self;
  }
  const bool packageRead = read == installer::kSuccess || read == installer::kUnknownProperty;
  const bool recordRead = recorded.answer == RecordedHiding::Answer::kDoesNotHide;
  self.answer = packageRead || recordRead ? SelfHiding::Answer::kDoesNotAsk : SelfHiding::Answer::kCannotTell;
  self.recordError = recordRead ? 0 : recorded.error;
  self.packageError = packageRead ? 0 : read;
  return self;
}
