#include "products/MemberListing.h"

#include "common/UserAccount.h"

namespace {

MemberIdentity::Context ContextOf(Installation::Context context) {
  switch (context) {
    case Installation::Context::kMachine:
      return MemberIdentity::Context::kPerMachine;
    case Installation::Context::kThisUser:
      return MemberIdentity::Context::kPerUser;
    case Installation::Context::kOtherUser:
      return MemberIdentity::Context::kOtherUser;
    case Installation::Context::kNone:
      break;
  }
  return MemberIdentity::Context::kUnknown;
}

}  // namespace

MemberIdentity IdentityOf(const Product& product) {
  const Installation& installation = product.installation();
  MemberIdentity member;
  member.productCode = product.GetProductCode();
  member.versionString = product.WholeVersionString();
  member.context = ContextOf(installation.context);
  if (installation.context == Installation::Context::kOtherUser) {
    member.productName = installation.productName;
    member.userSid = installation.userSid;
    member.userName = AccountNameOfSid(installation.userSid);
    return member;
  }
  member.productName = product.ReadProperty(L"InstalledProductName");
  if (member.productName.empty()) {
    member.productName = product.ReadProperty(L"ProductName");
  }
  return member;
}

ProductListing ListingOf(const Product& product) {
  ProductListing listing;
  static_cast<MemberIdentity&>(listing) = IdentityOf(product);
  listing.entry32 = product.EntryIn(EntryView::k32);
  listing.entry64 = product.EntryIn(EntryView::k64);
  return listing;
}
