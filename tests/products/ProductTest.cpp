#include "products/Product.h"

#include <gtest/gtest.h>

#include <string>

#include "installer/Installer.h"
#include "support/FakeInstaller.h"

namespace {

TEST(Product, ReadsItsVersionOnceWhenCreated) {
  FakeInstaller installer(std::vector<FakeProduct>{{L"{A}", L"4.5.6"}});
  const Product product(installer, L"{A}");
  EXPECT_EQ(installer.calls, (std::vector<std::wstring>{L"GetProductInfo {A} VersionString"}));
  EXPECT_EQ(product.GetProductCode(), L"{A}");
  EXPECT_EQ(product.GetVersionString(), L"4.5.6");
  int major = 0, minor = 0, build = 0, revision = 0;
  EXPECT_TRUE(product.ParseVersion(major, minor, build, revision));
  EXPECT_EQ(installer.calls.size(), 1u) << "parsing never asks the installer again";
}

TEST(Product, FailedVersionReadGivesTheEmptyVersion) {
  FakeInstaller installer(std::vector<FakeProduct>{{L"{A}", std::nullopt}});
  const Product product(installer, L"{A}");
  EXPECT_EQ(product.GetVersionString(), L"");
  int major = 0, minor = 0, build = 0, revision = 0;
  EXPECT_FALSE(product.ParseVersion(major, minor, build, revision));
}

}  // namespace

namespace {

// Wine's own installer, for what it answers once a product has gone (removed with another member,
// or by another run) between the family's enumeration and its turn.
TEST(ProductOnTheSystemInstaller, AProductNoLongerInstalledIsGoneAndNoCopyIsTried) {
  // A well-formed product code that nothing installs: the installer checks the form first (87).
  Product product(installer::SystemInstaller(), L"{0F0E0D0C-0B0A-4909-8807-060504030201}");
  const RemovalOutcome outcome = product.Remove(RemovalPolicy{});
  EXPECT_EQ(outcome.removalError, 1605u);  // ERROR_UNKNOWN_PRODUCT
  EXPECT_EQ(outcome.state, RemovalOutcome::State::kGone);
  EXPECT_FALSE(outcome.copyRan);
}

}  // namespace
