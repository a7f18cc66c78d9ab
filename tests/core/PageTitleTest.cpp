#include "download/PageTitle.h"

#include <string>

#include <gtest/gtest.h>

TEST(PageTitle, DecodesCharacterReferencesAndKeepsEverythingElse)
{
    const std::pair<std::string, std::string> cases[] = {
        {"第&#160;1&#xa0;章&nbsp;", "第\xC2\xA0"
                                    "1\xC2\xA0章\xC2\xA0"},
        {"Tom &amp; Jerry &lt;1&gt; &quot;q&quot; &apos;a&apos;", "Tom & Jerry <1> \"q\" 'a'"},
        {"&#128512; &#x4E2D;&mdash;&copy;", "\xF0\x9F\x98\x80 中\xE2\x80\x94\xC2\xA9"},
        // Not references: left as written.
        {"AT&T &amp &unknown; &#; &#x; &#0; &#xD800; &#x110000; &#12a;",
         "AT&T &amp &unknown; &#; &#x; &#0; &#xD800; &#x110000; &#12a;"},
        {"&&amp;;", "&&;"},
        {"&amp;lt;", "&lt;"}, // decoded once
        {"", ""},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(DecodeCharacterReferences(in), out) << in;
    }
}

TEST(PageTitle, TitleTextIsUtf8OnOneLine)
{
    // A title from a page stored in code page 936, with a reference for a character that code page lacks.
    EXPECT_EQ(PageTitleText("\xD6\xD0\xCE\xC4&#160;&#9;x\ty\r\n"), "中文\xC2\xA0 x y  ");
    EXPECT_EQ(PageTitleText("Untitled"), "Untitled");
}

TEST(PageTitle, TitleIsReadInTheCharsetThePageDeclares)
{
    // "目录" in GB2312 is C4BF C2BC, which is also well-formed UTF-8 ("Ŀ¼"): only the label tells.
    const std::string gbTitle = "\xC4\xBF\xC2\xBC";
    const struct
    {
        std::string page;
        std::string title;
        std::string text;
    } cases[] = {
        {"<meta http-equiv=Content-Type content='text/html; charset=gb2312'>", gbTitle, "目录"},
        {"<meta charset=\"GBK\">", gbTitle, "目录"},
        {"<meta charset=utf-8>", "目录", "目录"},
        {"<meta charset='iso-8859-1'>", "caf\xE9 &amp; \x80", "café & €"},
        {"<meta charset=big5>", "\xA4\xA4\xA4\xE5", "中文"},
        // No label, or one nobody knows: kept when it is UTF-8, else read as GB18030.
        {"<p>no label</p>", "目录", "目录"},
        {"<p>no label</p>", "\xD6\xD0\xCE\xC4", "中文"},
        {"<meta charset=x-unknown-set>", "\xD6\xD0\xCE\xC4", "中文"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PageTitleText(c.title, c.page), c.text) << c.page;
    }
}
