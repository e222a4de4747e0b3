#include "products/Product.h"

#include <gtest/gtest.h>

#include <string>

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
