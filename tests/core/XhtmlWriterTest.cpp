#include "book/XhtmlWriter.h"

#include <gtest/gtest.h>

#include "book/BookFiles.h"
#include "platform/CodePage.h"

namespace
{

// Resources named "in/…" are in the book; links are written back as they came.
class CFakeReferences final : public book::IReferenceMap
{
public:
    std::string MapLink(std::string_view value) override { return std::string(value); }
    std::string MapResource(std::string_view value, Use) override
    {
        return value.substr(0, 3) == "in/" ? "../res/" + std::string(value.substr(3)) : std::string();
    }
    std::string MapStyle(std::string_view css) override
    {
        const bool bOutside =
            css.find("url(") != std::string_view::npos || css.find("@import") != std::string_view::npos;
        return bOutside ? std::string() : std::string(css);
    }
};

std::string body(const std::string& html)
{
    CFakeReferences references;
    return book::ConvertToXhtml(html, references).strBody;
}

TEST(XhtmlWriter, WritesWellFormedContentThatReadersAccept)
{
    struct Case
    {
        const char* html;
        const char* xhtml;
    };
    const Case cases[] = {
        {"a &amp; b &lt; c &gt; \"d\"", "a &amp; b &lt; c &gt; \"d\""},

        {"<p title='x\"y'>t</p>", "<p title=\"x&quot;y\">t</p>"},
        {"<p>t</p><script>x()</script><noscript>n</noscript><iframe src=a></iframe><p onclick=\"f()\">p</p>",
         "<p>t</p><p>p</p>"},
        {"<p align=left bgcolor=red class=\"c\" data-x=\"1\" id=\"k\" dir=\"bad\">p</p>",
         "<p id=\"k\" class=\"c\" data-x=\"1\">p</p>"},
        // Ids must be XML names and unique; an old anchor name becomes an id.
        {"<p id=\"1a\">a</p><p id=\"d\">b</p><p id=\"d\">c</p><a name=\"top\">t</a>",
         "<p>a</p><p id=\"d\">b</p><p>c</p><a id=\"top\"></a>t"},
        // Obsolete tags.
        {"<font color=red>f</font><center>c</center><tt>t</tt><strike>s</strike><big>b</big>",
         "<span>f</span><div>c</div><code>t</code><s>s</s><span>b</span>"},
        {"<font><div>d</div></font>", "<div><div>d</div></div>"},
        {"<marquee>m</marquee><xmp>a<b</xmp>", "<div>m</div><pre>a&lt;b</pre>"},
        // Blocks inside inline content keep their text only.
        {"<span><div>a</div><div>b</div></span>", "<span>a<br/>b<br/></span>"},
        {"<h1><ul><li>x</li></ul></h1>", "<h1>x<br/><br/></h1>"},
        // Lists and tables hold only their own children.
        {"<ul><div>a</div>t<li>b</li> </ul>", "<ul><li><div>a</div></li><li>t</li><li>b</li> </ul>"},
        {"<dl><dt>t</dt><p>p</p></dl>", "<dl><dt>t</dt><dd><p>p</p></dd></dl>"},
        {"<table border=1 width=5><tr><td colspan=2 width=9>x</td><td rowspan=0>y</td></tr></table>",
         "<table><tbody><tr><td colspan=\"2\">x</td><td>y</td></tr></tbody></table>"},
        {"<li>stray</li>", "<div>stray</div>"},
        // Pictures: only those in the book, always with alt; sizes only as plain numbers.
        {"<img src=\"in/a.gif\" width=\"50%\" height=\"20\"><img src=\"http://x/b.gif\" alt=b>",
         "<img src=\"../res/a.gif\" alt=\"\" height=\"20\"/>"},
        {"<a href=\"p.htm\">p</a><a href=\"\">e</a>", "<a href=\"p.htm\">p</a><a>e</a>"},
        {"x<br>y<hr size=3>", "x<br/>y<hr/>"},
        {"<form action=\"/s\"><input name=q><button>Go</button><label>l</label></form>", "<div><span>l</span></div>"},
        // Inline SVG: its own namespace and letter case, no script.
        {"<svg viewbox=\"0 0 1 1\" onload=\"x()\"><lineargradient id=\"g\"/><script>x()</script>"
         "<use xlink:href=\"#g\"/><image href=\"in/i.png\"/><image href=\"http://x/i.png\"/></svg>",
         "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
         "viewBox=\"0 0 1 1\"><linearGradient id=\"g\"></linearGradient><use xlink:href=\"#g\"></use>"
         "<image href=\"../res/i.png\"></image><image></image></svg>"},
        {"<math><mi>x</mi></math>m", "m"},
        {"<p style=\"color: red\">a</p><p style=\"background: url(x.gif)\">b</p>",
         "<p style=\"color: red\">a</p><p>b</p>"},
        // Definition lists get a term before a description and a description after the last term.
        {"<dl><dt>a</dt><dt>b</dt></dl>", "<dl><dt>a</dt><dt>b</dt><dd></dd></dl>"},
        {"<dl><dd>x</dd><dd>y</dd></dl>", "<dl><dt></dt><dd>x</dd><dd>y</dd></dl>"},
        {"<dl><dd>x</dd><dt>t</dt><dl><dt>u</dt></dl></dl>",
         "<dl><dt></dt><dd>x</dd><dt>t</dt><dd><dl><dt>u</dt><dd></dd></dl></dd></dl>"},
        {"<dl>t</dl><dl></dl>", "<dl><dt></dt><dd>t</dd></dl><dl></dl>"},
        // Table parts in the order readers require.
        {"<table><tfoot><tr><td>f</td></tr></tfoot><tbody><tr><td>b</td></tr></tbody><thead><tr><td>h</td>"
         "</tr></thead><colgroup><col></colgroup><caption>c</caption><caption>d</caption></table>",
         "<table><caption>c</caption><colgroup><col/></colgroup><thead><tr><td>h</td></tr></thead><tbody><tr>"
         "<td>b</td></tr></tbody><tbody><tr><td>d</td></tr></tbody><tfoot><tr><td>f</td></tr></tfoot></table>"},
        {"<table><thead><tr><td>1</td></tr></thead><thead><tr><td>2</td></tr></thead></table>",
         "<table><thead><tr><td>1</td></tr></thead><tbody><tr><td>2</td></tr></tbody></table>"},
        // A target written as XML (<a id="x"/>) stays open in HTML: its content is not a link, nor are
        // the copies the parser makes of it; a link started inside a link closes the first.
        {"<h1><a id=\"t\"/>T</h1><p>p <a href=\"q.htm\">q</a></p>",
         "<h1><a id=\"t\"></a>T</h1><p>p <a href=\"q.htm\">q</a></p>"},
        {"<a href=\"x.htm\">x<div><a href=\"y.htm\" id=\"y\">y</a></div></a>",
         "<a href=\"x.htm\">x</a><div><a href=\"x.htm\"></a><a id=\"y\" href=\"y.htm\">y</a></div>"},
        {"<dl>\n<a name=\"n\"></a><dt>t</dt></dl>", "<dl>\n<dt></dt><dd><a id=\"n\"></a></dd><dt>t</dt><dd></dd></dl>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(body(c.html), c.xhtml) << c.html;
    }
}

TEST(XhtmlWriter, TellsTitleSvgAndIdsAndKeepsOnlySelfContainedStyles)
{
    CFakeReferences references;
    const book::XhtmlPage page = book::ConvertToXhtml(
        "<head><title> 一 &amp;\n二 </title><style>p{color:red}</style><style>@import 'x.css';</style>"
        "<link rel=stylesheet href=\"in/s.css\"><link rel=\"alternate stylesheet\" href=\"in/t.css\">"
        "<link rel=icon href=\"in/i.ico\"></head><body><p id=\"a\">x</p><svg id=\"b\"></svg></body>",
        references);
    EXPECT_EQ(page.strTitle, "一 & 二");
    EXPECT_TRUE(page.bSvg);
    EXPECT_EQ(page.ids, (std::set<std::string>{"a", "b"}));
    EXPECT_EQ(page.strHead,
              "<style>p{color:red}</style>\n<link rel=\"stylesheet\" type=\"text/css\" href=\"../res/s.css\"/>\n");
    EXPECT_FALSE(book::ConvertToXhtml("<p>x</p>", references).bSvg);
}

TEST(XhtmlWriter, DeepNestingIsWrittenAsTextBelowALimit)
{
    // Unclosed elements far below the limit: the text stays. (The parser's own time grows with the square
    // of the depth, so a page of 30,000 levels is not tried here.)
    std::string html;
    for (int i = 0; i < 1000; ++i) {
        html += i % 3 == 0 ? "<div>" : i % 3 == 1 ? "<span>" : "<blockquote>";
    }
    html += "deep &amp; last<svg><g><g></g></g></svg>";
    CFakeReferences references;
    const book::XhtmlPage page = book::ConvertToXhtml(html, references);
    EXPECT_TRUE(page.bFlattened);
    EXPECT_NE(page.strBody.find("deep &amp; last"), std::string::npos);
    EXPECT_EQ(page.strBody.find("<svg"), std::string::npos);
    EXPECT_FALSE(book::ConvertToXhtml("<div><div>x</div></div>", references).bFlattened);
}

TEST(XhtmlWriter, EscapesAndDropsWhatXmlCannotHold)
{
    EXPECT_EQ(book::XmlText("a\x01\x0B\tb\xEF\xBF\xBF<&>\""), "a\tb&lt;&amp;&gt;\"");
    EXPECT_EQ(book::XmlAttribute("\"x\"\x02"), "&quot;x&quot;");
}

TEST(XhtmlWriter, EncodesUrisAndChecksNames)
{
    EXPECT_EQ(book::EncodeUri("http://h/a b\"<>{}|^`\\/中?q=%41%g#f#g"),
              "http://h/a%20b%22%3C%3E%7B%7D%7C%5E%60%5C/%E4%B8%AD?q=%41%25g#f%23g");
    EXPECT_TRUE(book::IsXmlNcName("a-b.c_d"));
    EXPECT_TRUE(book::IsXmlNcName("章节一"));
    EXPECT_FALSE(book::IsXmlNcName("1a"));
    EXPECT_FALSE(book::IsXmlNcName("a b"));
    EXPECT_FALSE(book::IsXmlNcName("a:b"));
    EXPECT_FALSE(book::IsXmlNcName(""));
    EXPECT_FALSE(book::IsXmlNcName("\xE3\x80\x80x")); // an ideographic space cannot start a name
}

TEST(BookFiles, PagesAreDecodedFromTheirOwnCharset)
{
    const std::string gb = codepage::Utf8ToGb18030("目录");
    struct Case
    {
        std::string bytes;
        std::string utf8;
    };
    const Case cases[] = {
        {"\xEF\xBB\xBFok", "ok"},
        {"<meta charset=\"gb2312\">" + gb, "<meta charset=\"gb2312\">目录"},
        // The GB2312 bytes of 目录 are valid UTF-8 as well: the label decides.
        {"<meta content=\"text/html; charset=GBK\">" + gb, "<meta content=\"text/html; charset=GBK\">目录"},
        {"no label " + gb + "\xB5\xC4", "no label 目录的"},
        {"no label 中文", "no label 中文"},
        {"<meta charset=big5>\xA4\xA4", "<meta charset=big5>中"},
        {"<meta charset=iso-8859-1>\x93q\x94", "<meta charset=iso-8859-1>\xE2\x80\x9Cq\xE2\x80\x9D"},
        {"<meta charset=no-such-set>中文", "<meta charset=no-such-set>中文"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(book::DecodePage(c.bytes), c.utf8) << c.bytes;
    }
}

TEST(BookFiles, MediaTypesComeFromTheBytes)
{
    EXPECT_EQ(book::CoreMediaType("a.jpg", "GIF89a..."), "image/gif");
    EXPECT_EQ(book::CoreMediaType("a.gif", "\x89PNG\r\n\x1A\n"), "image/png");
    EXPECT_EQ(book::CoreMediaType("a", "\xFF\xD8\xFF\xE0"), "image/jpeg");
    EXPECT_EQ(book::CoreMediaType("a.gif", "<html>not found</html>"), "");
    EXPECT_EQ(book::CoreMediaType("a.svg", "<?xml version=\"1.0\"?><svg xmlns=\"http://www.w3.org/2000/svg\"/>"),
              "image/svg+xml");
    EXPECT_EQ(book::CoreMediaType("s.CSS", "p{}"), "text/css");
    EXPECT_EQ(book::CoreMediaType("f.woff2", "wOF2...."), "font/woff2");
    EXPECT_EQ(book::CoreMediaType("x.swf", "FWS"), "");
}

} // namespace
