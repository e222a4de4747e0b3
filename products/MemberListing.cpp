#include "products/MemberListing.h"

#include "installer/InstallerCodes.h"

MemberIdentity IdentityOf(const Product& product) {
  MemberIdentity member;
  member.productCode = product.GetProductCode();
  member.versionString = product.WholeVersionString();
  member.productName = product.ReadProperty(L"InstalledProductName");
  if (member.productName.empty()) {
    member.productName = product.ReadProperty(L"ProductName");
  }
  const int context = product.InstallContext();
  member.context = context == installer::kContextMachine ? MemberIdentity::Context::kPerMachine
                   : context != 0                       ? MemberIdentity::Context::kPerUser
                                                        : MemberIdentity::Context::kUnknown;
  return member;
}

ProductListing ListingOf(const Product& product) {
  ProductListing listing;
  static_cast<MemberIdentity&>(listing) = IdentityOf(product);
  listing.entry32 = product.EntryIn(EntryView::k32);
  listing.entry64 = product.EntryIn(EntryView::k64);
  return listing;
}
