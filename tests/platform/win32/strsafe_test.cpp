#include <gtest/gtest.h>

#include <strsafe.h>

namespace {

TEST(StrSafe, CopiesTruncateAndPrintfUsesMicrosoftFormats) {
    WCHAR name[6];
    EXPECT_EQ(StringCchCopyW(name, 6, L"ZK900"), S_OK);
    EXPECT_STREQ(name, L"ZK900");
    EXPECT_EQ(StringCchCopyW(name, 6, L"ZK900 4K"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(name, L"ZK900");
    EXPECT_EQ(StringCchCopyW(name, 0, L"x"), STRSAFE_E_INVALID_PARAMETER);
    WCHAR text[64];
    ASSERT_EQ(StringCchPrintfW(text, 64, L"%s:%d %S %c%%", L"tag", 42, "narrow", L'w'), S_OK);
    EXPECT_STREQ(text, L"tag:42 narrow w%");
    EXPECT_EQ(StringCchPrintfW(text, 4, L"%08X", 0xABCDu), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(text, L"000");
    size_t length = 0;
    EXPECT_EQ(StringCchLengthW(L"abc", 10, &length), S_OK);
    EXPECT_EQ(length, 3u);
    char narrow[8];
    EXPECT_EQ(StringCchPrintfA(narrow, 8, "[%s:%d]", "a", 1), S_OK);
    EXPECT_STREQ(narrow, "[a:1]");
}

} // namespace
