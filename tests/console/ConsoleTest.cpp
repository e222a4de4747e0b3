#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/ConsoleText.h"
#include "app/ToolVersion.h"
#include "common/UniqueHandle.h"

namespace {

// The screen of the console this program runs in; CTest starts it on a pseudo-terminal, which Wine
// turns into a real console.
class ConsoleScreen : public testing::Test {
 protected:
  void SetUp() override {
    DWORD mode = 0;
    ASSERT_TRUE(screen_) << "no CONOUT$";
    ASSERT_TRUE(GetConsoleMode(screen_.get(), &mode)) << "CONOUT$ is not a console";
    ASSERT_TRUE(GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode))
        << "the standard output is not the console";
  }

  COORD Cursor() const {
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    GetConsoleScreenBufferInfo(screen_.get(), &info);
    return info.dwCursorPosition;
  }

  // The characters of one row, trailing blanks cut.
  std::wstring Row(SHORT row) const {
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    GetConsoleScreenBufferInfo(screen_.get(), &info);
    std::wstring text(static_cast<std::size_t>(info.dwSize.X), L' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(screen_.get(), text.data(), static_cast<DWORD>(text.size()),
                                COORD{0, row}, &read);
    text.resize(read);
    return text.substr(0, text.find_last_not_of(L' ') + 1);
  }

  UniqueFile screen_{CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                 nullptr)};
};

TEST_F(ConsoleScreen, BannerIsWrittenToTheConsoleItself) {
  // The banner starts with an empty line; start it at the beginning of a row.
  static_cast<void>(WriteConsoleW(screen_.get(), L"\n", 1, nullptr, nullptr));
  const COORD before = Cursor();
  PrintBanner();
  const COORD after = Cursor();
  EXPECT_EQ(Row(static_cast<SHORT>(before.Y + 1)),
            L"Quorvin Msi Tool v12.0.111 " + std::wstring(kToolBuildFlavour));
  EXPECT_EQ(after.X, 0);
  EXPECT_EQ(after.Y, before.Y + 2);
}

}  // namespace
