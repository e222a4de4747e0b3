#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <memory>
#include <random>
#include <regex>
#include <string>

#include "products/Product.h"
#include "support/FakeInstaller.h"
#include "support/ProcessRunner.h"

namespace {

constexpr int kCases = 5000;

struct Components {
  bool parsed = false;
  int values[4] = {-1, -1, -1, -1};
};

std::wstring TrimSpaces(std::wstring text) {
  text.erase(0, text.find_first_not_of(L' '));
  const std::size_t last = text.find_last_not_of(L' ');
  text.erase(last == std::wstring::npos ? 0 : last + 1);
  return text;
}

// The runtime's own formatted input, four numbers first and then fewer, on text whose numbers
// all fit 32 bits (formatted input leaves overflow undefined). The pieces hold only ASCII digits:
// the runtime's swscanf also takes other Unicode digits, with meaningless values, which the tool
// deliberately does not.
Components ScanfModel(const std::wstring& version) {
  const std::wstring text = TrimSpaces(version);
  Components result;
  int v[4] = {};
  const wchar_t* const formats[] = {L"%d.%d.%d.%d", L"%d.%d.%d", L"%d.%d", L"%d"};
  for (int wanted = 4; wanted >= 1; --wanted) {
    if (swscanf(text.c_str(), formats[4 - wanted], &v[0], &v[1], &v[2], &v[3]) == wanted) {
      result.parsed = true;
      for (int i = 0; i < wanted; ++i) {
        result.values[i] = v[i];
      }
      return result;
    }
  }
  return result;
}

// The same text with every number that does not fit 32 bits replaced by the limit it saturates to.
std::wstring Saturated(const std::wstring& version) {
  static const std::wregex kNumber(LR"(([+-]?)0*(\d{10,}))");
  std::wstring out;
  std::wsregex_iterator it(version.begin(), version.end(), kNumber), end;
  std::size_t copied = 0;
  for (; it != end; ++it) {
    const std::wsmatch& match = *it;
    const bool negative = match[1].str() == L"-";
    const std::wstring digits = match[2].str();
    const bool fits = digits.size() == 10 && digits <= (negative ? L"2147483648" : L"2147483647");
    out += version.substr(copied, match.position() - copied);
    out += match[1].str() + (fits ? digits : negative ? L"2147483648" : L"2147483647");
    copied = match.position() + match.length();
  }
  return out + version.substr(copied);
}

const std::wstring kPieces[] = {L"1", L"0", L"42", L"7", L".", L".", L"-", L"+", L" ", L"\t",
                                L"a", L"beta", L"2147483647", L"2147483648", L"-2147483648",
                                L"99999999999999", L"00000000000000000001", L".."};

std::wstring RandomVersion(std::mt19937& random) {
  std::uniform_int_distribution<int> count(0, 9);
  std::uniform_int_distribution<std::size_t> piece(0, std::size(kPieces) - 1);
  std::wstring version;
  for (int i = count(random); i > 0; --i) {
    version += kPieces[piece(random)];
  }
  // The installer's answer for VersionString has to fit the product's 100-character buffer.
  return version.substr(0, 99);
}

TEST(VersionSweep, RandomVersionsParseLikeFormattedInputAndSaturate) {
  std::mt19937 random(1211);
  FakeInstaller installer;
  const DWORD handlesBefore = ProcessHandleCount();
  for (int i = 0; i < kCases; ++i) {
    const std::wstring version = RandomVersion(random);
    installer.products = {{L"{V}", version}};
    const Product product(installer, L"{V}");
    Components got;
    got.parsed = product.ParseVersion(got.values[0], got.values[1], got.values[2], got.values[3]);
    const Components expected = ScanfModel(Saturated(version));
    const std::string shown = testing::PrintToString(version);
    ASSERT_EQ(got.parsed, expected.parsed) << shown;
    for (int c = 0; c < 4 && got.parsed; ++c) {
      ASSERT_EQ(got.values[c], expected.values[c]) << shown << " component " << c;
    }
  }
  EXPECT_EQ(ProcessHandleCount(), handlesBefore);
}

TEST(VersionSweep, OrderIsStrictAndAgreesWithTheComponents) {
  std::mt19937 random(4242);
  FakeInstaller installer;
  for (int i = 0; i < kCases; ++i) {
    const std::wstring left = RandomVersion(random);
    const std::wstring right = RandomVersion(random);
    installer.products = {{L"{L}", left}, {L"{R}", right}};
    const Product a(installer, L"{L}");
    const Product b(installer, L"{R}");
    Components ca = ScanfModel(Saturated(left));
    Components cb = ScanfModel(Saturated(right));
    // An unparsable version counts as 0.0.0.0.
    for (Components* c : {&ca, &cb}) {
      if (!c->parsed) {
        std::fill(std::begin(c->values), std::end(c->values), 0);
      }
    }
    const bool expectedNewer = std::lexicographical_compare(
        std::begin(cb.values), std::end(cb.values), std::begin(ca.values), std::end(ca.values));
    const std::string shown = testing::PrintToString(left) + " vs " + testing::PrintToString(right);
    ASSERT_EQ(a.IsNewerThan(b), expectedNewer) << shown;
    ASSERT_FALSE(a.IsNewerThan(b) && b.IsNewerThan(a)) << shown;
  }
}

}  // namespace
