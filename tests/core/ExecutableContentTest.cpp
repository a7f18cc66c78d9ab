#include "complete/ExecutableContent.h"

#include <string>

#include <gtest/gtest.h>

#include "download/PageScanner.h"

// Pages written to run script past a sanitiser: after stripping, neither plain HTML reading nor the one
// inside <svg> and <math> finds anything to run, and every other byte stays.
TEST(ExecutableContent, TakesOutWhatABrowserWouldRunAndNothingElse)
{
    struct Case
    {
        const char* pHtml;
        const char* pStripped;
    };
    const Case cases[] = {
        {"<p onclick=\"go()\">Hi</p><script>a()</script>\n<b>b</b>", "<p>Hi</p>\n<b>b</b>"},
        {"<SCRIPT SRC=//evil.test/x.js></SCRIPT><img src=x OnError=alert(1) alt=online>", "<img src=x alt=online>"},
        {"<img/onerror=alert(1) src=x>", "<img src=x>"},
        {"<a href=\"javascript:alert(1)\">x</a><a href=\"page.html\">y</a>", "<a>x</a><a href=\"page.html\">y</a>"},
        {"<a href=\" java&#x09;script&colon;alert(1)\">x</a>", "<a>x</a>"},
        {"<a href=\"&#0000000106;avascript:alert(1)\">x</a>", "<a>x</a>"},
        {"<a href=\"JaVa&Tab;ScRiPt:alert(1)\">x</a>", "<a>x</a>"},
        {"<form><button formaction=\"javascript:alert(1)\">b</button></form>", "<form><button>b</button></form>"},
        {"<meta http-equiv=\"refresh\" content=\"0;url=javascript:alert(1)\">", "<meta http-equiv=\"refresh\">"},
        {"<iframe srcdoc=\"&lt;script&gt;alert(1)&lt;/script&gt;\"></iframe>", "<iframe></iframe>"},
        {"<iframe src=\"data:text/html,<script>alert(1)</script>\"></iframe><img src=\"data:image/png;base64,AA\">",
         "<iframe></iframe><img src=\"data:image/png;base64,AA\">"},
        {"<object data=\" data:text/html;base64,PHNjcmlwdD4=\"></object>", "<object></object>"},
        {"<svg><animate attributeName=\"onload\" to=\"alert(1)\"/><a xlink:href=\"javascript:alert(1)\">a</a></svg>",
         "<svg><animate to=\"alert(1)\"/><a>a</a></svg>"},
        // With scripts on, <noscript> holds text: the <img> closes it and is live.
        {"<noscript><p title=\"</noscript><img src=x onerror=alert(1)>\"></noscript>",
         "<noscript><p title=\"</noscript><img src=x>\"></noscript>"},
        // Inside <svg> a <style> holds markup, and <img> leaves the svg.
        {"<svg><style><img src=x onerror=alert(1)></style></svg>", "<svg><style><img src=x></style></svg>"},
        // "<!-->" is a whole comment to a browser.
        {"<!--><img src=x onerror=alert(1)>-->", "<!--><img src=x>-->"},
        {"<!-- a --!><img src=x onerror=alert(1)>", "<!-- a --!><img src=x>"},
        {"<math><mtext><table><mglyph><style><img src=x onerror=alert(1)>",
         "<math><mtext><table><mglyph><style><img src=x>"},
        {"<p>text<script>alert(1)", "<p>text"},
        // Left alone: text that only looks like script, a handler's name inside one unquoted value, styles.
        {"<p title=\"on\">onclick=alert(1) &lt;script&gt;</p><img src=x/onerror=alert(1)><style>a{b:c}</style>",
         "<p title=\"on\">onclick=alert(1) &lt;script&gt;</p><img src=x/onerror=alert(1)><style>a{b:c}</style>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pHtml);
        EXPECT_EQ(markup::HasExecutable(c.pHtml), std::string(c.pHtml) != c.pStripped);
        const std::string stripped = markup::StripExecutable(c.pHtml);
        EXPECT_EQ(stripped, c.pStripped);
        EXPECT_FALSE(markup::HasExecutable(stripped));
    }
}

TEST(ExecutableContent, PlainPagesSavedWithoutScriptsHoldNone)
{
    const std::string page = "<img src=\"a.gif\" onload=\"steal()\"><a href=\"javascript:go()\">go</a>"
                             "<script>x()</script>\n<p>kept</p>";
    EXPECT_EQ(CPageScanner::Rewrite(page, "p.files", 0), "<img src=\"p.files/a.gif\"><a>go</a><p>kept</p>");
    EXPECT_EQ(CPageScanner::Rewrite(page, "p.files", 1),
              "<img src=\"p.files/a.gif\" onload=\"steal()\"><a href=\"javascript:go()\">go</a>"
              "<script>x()</script>\n<p>kept</p>");
}
