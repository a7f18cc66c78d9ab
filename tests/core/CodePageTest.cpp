#include "platform/CodePage.h"

#include <gtest/gtest.h>

TEST(CodePage, Gb18030RoundTripKeepsEveryCharacter)
{
    // Chinese, an emoji (outside code page 936) and plain ASCII all survive the file encoding.
    const std::string text = "所有工程 abc \xF0\x9F\x98\x80 €";
    std::string gb = codepage::Utf8ToGb18030(text);
    EXPECT_EQ(gb.substr(0, 4), "\xCB\xF9\xD3\xD0"); // 所有 in code page 936 bytes
    EXPECT_EQ(codepage::Gb18030ToUtf8(gb), text);
}

TEST(CodePage, Cp936ConversionTurnsMissingCharactersIntoReferences)
{
    struct Case
    {
        std::string utf8;
        std::string cp936;
    };
    const Case cases[] = {
        {"plain", "plain"},
        {"中文", "\xD6\xD0\xCE\xC4"},
        {"a\xF0\x9F\x98\x80z", "a&#128512;z"},
        {"\xE0\xB8\x81", "&#3585;"}, // Thai letter: not in code page 936
        {"x\xFFy", "x&#65533;y"},    // a stray byte is kept visible, not dropped
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(codepage::Utf8ToCp936WithReferences(c.utf8), c.cp936) << c.utf8;
    }
}

TEST(CodePage, Utf16LeAndValidity)
{
    EXPECT_EQ(codepage::Utf16LeToUtf8(std::string("a\0\x2D\x4E", 4)), "a中");
    EXPECT_TRUE(codepage::IsValidUtf8("中文 ok"));
    EXPECT_FALSE(codepage::IsValidUtf8("\xD6\xD0"));
    EXPECT_EQ(codepage::PageTextToUtf8("\xD6\xD0\xCE\xC4"), "中文"); // a title from a page stored in code page 936
    EXPECT_EQ(codepage::PageTextToUtf8("中文"), "中文");
}

TEST(CodePage, TheEuroSignOfCodePage936ReadsBack)
{
    // A UTF-8 page is stored in code page 936, where "€" is the single byte 0x80.
    const std::string saved = codepage::Utf8ToCp936WithReferences("价格 €5");
    EXPECT_EQ(saved, "\xBC\xDB\xB8\xF1 \x80"
                     "5");
    EXPECT_EQ(codepage::PageTextToUtf8(saved), "价格 €5");
    EXPECT_EQ(codepage::Gb18030ToUtf8("\x80"), "€");
}

TEST(CodePage, OnlyStrictUtf8IsValid)
{
    for (const char* bad : {"\xC0\x80", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80"}) {
        EXPECT_FALSE(codepage::IsValidUtf8(bad)) << codepage::Utf8ToGb18030(bad);
    }
    for (const char* good : {"\xC2\x80", "\xED\x9F\xBF", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF", "\xC8\x80"}) {
        EXPECT_TRUE(codepage::IsValidUtf8(good));
    }
}
