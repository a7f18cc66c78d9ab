#include "complete/CssReferences.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace
{

// "U:value" for url(), "I:value" for an import, each reference in order.
std::vector<std::string> Found(const std::string& sheet)
{
    std::vector<std::string> out;
    for (const css::Reference& r : css::FindReferences(sheet)) {
        out.push_back(std::string(r.kind == css::Reference::Kind::Import ? "I:" : "U:") + r.strValue);
    }
    return out;
}

} // namespace

TEST(CssReferences, FindsWhatTheBrowserWouldFetchAndNothingElse)
{
    struct Case
    {
        const char* pSheet;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"a{background:url(img/a.png)}", {"U:img/a.png"}},
        {"a{background:URL( 'b c.png' )}", {"U:b c.png"}},
        {"a{background:url(  \"q.png\"  )}", {"U:q.png"}},
        {"a{background:url(  bare.png  )}", {"U:bare.png"}},
        // Comments and strings hide what looks like a reference.
        {"/* url(no.png) */ a{content:\"url(no.png)\"}", {}},
        {"a{content:'it\\'s url(no.png)'} b{background:url(yes.png)}", {"U:yes.png"}},
        {"/* unclosed comment url(no.png)", {}},
        // Escapes are decoded, in the address and in the function's name.
        {"a{background:url(a\\(1\\).png)}", {"U:a(1).png"}},
        {"a{background:url(\\61 .png)}", {"U:a.png"}},
        {"a{background:u\\72l(esc.png)}", {"U:esc.png"}},
        {"a{background:url(\"a\\\"b.png\")}", {"U:a\"b.png"}},
        {"a{background:url(\"line\\\ncont.png\")}", {"U:linecont.png"}},
        // Malformed addresses are dropped by the browser, and by us.
        {"a{background:url(a b.png)} b{background:url(ok.png)}", {"U:ok.png"}},
        {"a{background:url(a\"b.png)} b{background:url(ok.png)}", {"U:ok.png"}},
        {"a{content:\"broken\n} b{background:url(ok.png)}", {"U:ok.png"}},
        // Look-alikes that are not url().
        {"a{background:myurl(x.png); x:#url(y.png); y:10url(z.png)}", {}},
        // Imports, in both forms, any case, with media after them; only the target is an import.
        {"@import \"base.css\";@IMPORT url(more.css) screen;@import url('q.css');",
         {"I:base.css", "I:more.css", "I:q.css"}},
        {"@import 'a.css' print; a{background:url(bg.png)}", {"I:a.css", "U:bg.png"}},
        {"@media print{a{x:y}} @charset \"utf-8\"; a{content:\"b.css\"}", {}},
        // Fonts, with their format strings left alone.
        {"@font-face{font-family:F;src:url(f.woff2) format(\"woff2\"),url('f.woff') format('woff'),local(F)}",
         {"U:f.woff2", "U:f.woff"}},
        // The bare strings of image-set() are addresses.
        {"a{background:image-set(\"a.png\" 1x, url(b.png) 2x)} b{content:\"c.png\"}", {"U:a.png", "U:b.png"}},
        {"a{background:-webkit-image-set('w.png' 1x)}", {"U:w.png"}},
        // Addresses the caller decides about are still found.
        {"a{background:url(data:image/png;base64,AAAA)} b{filter:url(#f)}", {"U:data:image/png;base64,AAAA", "U:#f"}},
        {"a{background:url()}", {"U:"}},
        {"a{background:url(end.png", {"U:end.png"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pSheet);
        EXPECT_EQ(Found(c.pSheet), c.expected);
    }
}

TEST(CssReferences, RewritesOnlyTheChosenTokensInTheirOwnForm)
{
    const std::string sheet = "@import 'a.css';\n/* url(x.png) */\nb{background:url( \"b.png\" ) no-repeat}\n"
                              "i{background:url(data:image/gif;base64,R0)}\nc{src:url(my\\(font\\).woff)}";
    const std::vector<css::Reference> refs = css::FindReferences(sheet);
    ASSERT_EQ(refs.size(), 4u);
    const std::string out =
        css::RewriteReferences(sheet, refs, [](const css::Reference& r) -> std::optional<std::string> {
            if (r.strValue.rfind("data:", 0) == 0) {
                return std::nullopt;
            }
            return "local/" + r.strValue;
        });
    EXPECT_EQ(out, "@import \"local/a.css\";\n/* url(x.png) */\nb{background:url(local/b.png) no-repeat}\n"
                   "i{background:url(data:image/gif;base64,R0)}\nc{src:url(\"local/my(font).woff\")}");
}

TEST(CssReferences, TokensQuoteWhatNeedsIt)
{
    EXPECT_EQ(css::UrlToken("a.png"), "url(a.png)");
    EXPECT_EQ(css::UrlToken("a b.png"), "url(\"a b.png\")");
    EXPECT_EQ(css::UrlToken("a\"b\\c"), "url(\"a\\\"b\\\\c\")");
    EXPECT_EQ(css::UrlToken(""), "url(\"\")");
    EXPECT_EQ(css::StringToken("x\ny"), "\"x\\a y\"");
    // Nothing decoded can end the <style> block or the string it is written into.
    EXPECT_EQ(css::StringToken("</style><img src='x'>"), "\"\\3c /style\\3e \\3c img src=\\27 x\\27 \\3e \"");
    EXPECT_EQ(css::UrlToken("a<b"), "url(\"a\\3c b\")");
}
