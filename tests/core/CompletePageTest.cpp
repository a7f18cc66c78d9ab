#include "complete/CompletePage.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace
{

const std::string kBase = "http://h.test/dir/page.html";

// The page rewritten as if every requisite had been saved (or, with bFail, none).
std::string Saved(const std::string& html, bool bFail = false)
{
    CCompletePage page(html, kBase, "page.files");
    for (Requisite& r : page.Requisites()) {
        if (r.state == Requisite::State::Pending) {
            r.state = bFail ? Requisite::State::Failed : Requisite::State::Saved;
        }
    }
    return page.Rewritten();
}

std::vector<std::string> Urls(const CCompletePage& page)
{
    std::vector<std::string> out;
    for (const Requisite& r : page.Requisites()) {
        out.push_back(r.strUrl + (r.bStyleSheet ? " (sheet)" : ""));
    }
    return out;
}

} // namespace

TEST(CompletePage, RewritesTheReferencesAPageNeeds)
{
    struct Case
    {
        const char* pHtml;
        const char* pSaved;
    };
    const Case cases[] = {
        // Style sheets: any case, attribute order and quoting; integrity and crossorigin would refuse
        // the local copy.
        {"<LINK HREF=css/site.css REL=StyleSheet>", "<LINK href=\"page.files/site.css\" REL=StyleSheet>"},
        {"<link rel='alternate stylesheet' href='/s.css' integrity=\"sha384-x\" crossorigin>",
         "<link rel='alternate stylesheet' href=\"page.files/s.css\">"},
        {"<link rel=\"icon\" href=\"/favicon.ico\"><link rel=\"canonical\" href=\"/x\">",
         "<link rel=\"icon\" href=\"page.files/favicon.ico\"><link rel=\"canonical\" href=\"/x\">"},
        // Pictures of any type, single quotes, a ">" inside a quoted value.
        {"<img alt='a>b' src='pics/a.webp'>", "<img alt='a>b' src=\"page.files/a.webp\">"},
        {"<img src=logo.svg width=3>", "<img src=\"page.files/logo.svg\" width=3>"},
        // srcset: the largest candidate becomes the source; srcset and sizes go.
        {"<img src=\"s.jpg\" srcset=\"s.jpg 320w, l.jpg 1280w\" sizes=\"100vw\">", "<img src=\"page.files/l.jpg\">"},
        // A density above 1 keeps one candidate, so the picture is drawn at its size.
        {"<img src=a.png srcset=\"a.png 1x, a2.png 2x\">",
         "<img src=\"page.files/a2.png\" srcset=\"page.files/a2.png 2x\">"},
        // Lazy images show the real picture with scripts off.
        {"<img src=\"data:image/gif;base64,R0lG\" data-src=\"real.jpg\" loading=\"lazy\" class=lazy>",
         "<img src=\"page.files/real.jpg\" class=lazy>"},
        {"<img data-original=\"o.jpg\">", "<img src=\"page.files/o.jpg\">"},
        {"<img data-lazy-src=\"z.jpg\" src=\"blank.gif\">", "<img src=\"page.files/z.jpg\">"},
        {"<img data-srcset=\"a.jpg 1w, b.jpg 2w\" data-src=\"a.jpg\">", "<img src=\"page.files/b.jpg\">"},
        {"<img src=x.png loading=eager>", "<img src=\"page.files/x.png\" loading=eager>"},
        // <picture>: every source keeps one file, chosen alike.
        {"<picture><source type=\"image/avif\" srcset=\"p.avif 1x, p2.avif 2x\"><img src=\"p.jpg\"></picture>",
         "<picture><source type=\"image/avif\" srcset=\"page.files/p2.avif 2x\"><img "
         "src=\"page.files/p.jpg\"></picture>"},
        {"<video poster=\"v.jpg\"><source src=\"v.mp4\"></video>",
         "<video poster=\"page.files/v.jpg\"><source src=\"v.mp4\"></video>"},
        // Style blocks and attributes, written relative to the page.
        {"<style>body{background:url('bg.png')} /* url(no.png) */</style>",
         "<style>body{background:url(page.files/bg.png)} /* url(no.png) */</style>"},
        {"<div style=\"background:url(&quot;b g.png&quot;)\">", "<div style=\"background:url(page.files/b_g.png)\">"},
        {"<td background=\"t.gif\">", "<td background=\"page.files/t.gif\">"},
        // Left alone: data: addresses, fragments, other schemes, script contents, comments.
        {"<img src=\"data:image/png;base64,AAAA\">", "<img src=\"data:image/png;base64,AAAA\">"},
        {"<div style=\"filter:url(#f)\"><img src=\"javascript:void(0)\">",
         "<div style=\"filter:url(#f)\"><img src=\"javascript:void(0)\">"},
        {"<script>var s='<img src=\"no.png\">';</script><!-- <img src=no2.png> -->",
         "<script>var s='<img src=\"no.png\">';</script><!-- <img src=no2.png> -->"},
        // A <base> would send local references back to the web: it goes, and references resolve against it,
        // links too, wherever in the page the <base> stands.
        {"<base href=\"http://cdn.test/x/\"><img src=\"i.png\">", "<img src=\"page.files/i.png\">"},
        {"<a href=\"p2.html#s\">2</a><area href=/top.html><iframe src=f.html></iframe><form action=go>"
         "<a href=\"mailto:a@b.test\">m</a><a href=\"#x\">x</a><base href=\"/sub/\">",
         "<a href=\"http://h.test/sub/p2.html#s\">2</a><area href=\"http://h.test/top.html\">"
         "<iframe src=\"http://h.test/sub/f.html\"></iframe><form action=\"http://h.test/sub/go\">"
         "<a href=\"mailto:a@b.test\">m</a><a href=\"http://h.test/sub/#x\">x</a>"},
        {"<a href=\"p2.html\">2</a>", "<a href=\"p2.html\">2</a>"},
        // A kept script runs from its saved file.
        {"<script src=\"js/app.js\" integrity=\"sha384-x\"></script>", "<script src=\"page.files/app.js\"></script>"},
        // A page with nothing to fetch is not touched.
        {"<p class=x>Text & <b>more</b>", "<p class=x>Text & <b>more</b>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pHtml);
        EXPECT_EQ(Saved(c.pHtml), c.pSaved);
    }
}

TEST(CompletePage, AFileThatFailedKeepsItsWebAddress)
{
    EXPECT_EQ(Saved("<link rel=stylesheet href=\"css/a.css\"><img data-src=\"/i/b.png#x\">", true),
              "<link rel=stylesheet href=\"http://h.test/dir/css/a.css\"><img src=\"http://h.test/i/b.png#x\">");
}

TEST(CompletePage, DecodedEscapesNeverBecomeMarkup)
{
    // A sheet escape decodes to "</style><img ... onerror=...>": the file fails, and the address written
    // back in its place must not end the style block.
    const std::string hostile =
        "<style>p{background:url(\\3c/style\\3e\\3cimg\\20src=x\\20onerror=alert\\28 1\\29\\3e)}"
        "q{background:url('\\3c/style\\3e\\3cscript\\3e alert(2)\\3c/script\\3e')}</style>"
        "<img src=\"a.png#&lt;/x&gt;&quot;\">";
    for (bool bFail : {true, false}) {
        SCOPED_TRACE(bFail);
        const std::string saved = Saved(hostile, bFail);
        EXPECT_EQ(saved.find("<img src=x"), std::string::npos) << saved;
        EXPECT_EQ(saved.find("<script"), std::string::npos) << saved;
        EXPECT_EQ(saved.find("</style>"), saved.rfind("</style>")) << saved;
        EXPECT_EQ(saved.find("</x>"), std::string::npos) << saved;
    }
    EXPECT_NE(Saved(hostile, true).find("url(\"http://h.test/dir/%3C/style%3E%3Cimg%20src=x%20onerror=alert(1)%3E\")"),
              std::string::npos)
        << Saved(hostile, true);
}

TEST(CompletePage, ScriptsAndEmbedsOfAPageWithoutScriptsAreNotFetched)
{
    CCompletePage page("<script src=\"a.js\"></script><embed src=\"e.svg\"><img src=\"i.png\">", kBase, "p.files",
                       false);
    EXPECT_EQ(Urls(page), std::vector<std::string>{"http://h.test/dir/i.png"});
}

TEST(CompletePage, ResolvesEachAddressOnceAndNamesFilesSafely)
{
    CCompletePage page("<img src=\"a/x.png\"><img src=\"b/x.png\"><img src=\"a/x.png?v=2\"><img src=\"A/X.PNG\">"
                       "<img src=\"a/x.png\"><img src=\"../../../../etc/passwd\"><img src=\"/..%2f..%2fevil\">"
                       "<link rel=stylesheet href=\"/fonts?family=Noto+Sans\"><img src=\"/\">"
                       "<img src=\".hidden\"><img src=\"http://h.test/dir/a/x.png#frag\">",
                       kBase, "page.files");
    EXPECT_EQ(Urls(page), (std::vector<std::string>{
                              "http://h.test/dir/a/x.png",
                              "http://h.test/dir/b/x.png",
                              "http://h.test/dir/a/x.png?v=2",
                              "http://h.test/dir/A/X.PNG",
                              "http://h.test/etc/passwd",
                              "http://h.test/..%2f..%2fevil",
                              "http://h.test/fonts?family=Noto+Sans (sheet)",
                              "http://h.test/",
                              "http://h.test/dir/.hidden",
                          }));
    std::vector<std::string> names;
    for (const Requisite& r : page.Requisites()) {
        names.push_back(r.strFileName);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"x.png", "x-2.png", "x-3.png", "X-4.PNG", "passwd", "_._2f.._2fevil",
                                               "fonts.css", "file", "_hidden"}));
}

TEST(CompletePage, SheetsAddWhatTheyReferToRelativeToThemselves)
{
    CCompletePage page("<link rel=stylesheet href=\"/css/a.css\">", kBase, "my page.files");
    ASSERT_EQ(page.Pending(), std::vector<std::size_t>{0});
    page.Requisites()[0].state = Requisite::State::Saved;
    const std::string sheet = "@import 'a.css';@import url(b.css);\n"
                              "@font-face{src:url(../fonts/f.woff2) format('woff2')}\n"
                              "p{background:url(data:image/gif;base64,R0)}\nq{background:url(\"/img/bg.png\")}\n"
                              "r{content:\"é\"}";
    page.AddSheet(0, sheet);
    // a.css imports itself: nothing new to fetch for it.
    EXPECT_EQ(Urls(page),
              (std::vector<std::string>{"http://h.test/css/a.css (sheet)", "http://h.test/css/b.css (sheet)",
                                        "http://h.test/fonts/f.woff2", "http://h.test/img/bg.png"}));
    EXPECT_EQ(page.Pending(), (std::vector<std::size_t>{1, 2, 3}));
    page.Requisites()[1].state = Requisite::State::Saved;
    page.Requisites()[2].state = Requisite::State::Saved;
    page.Requisites()[3].state = Requisite::State::Failed;
    EXPECT_EQ(page.RewrittenSheet(0, sheet), "@charset \"UTF-8\";\n@import \"a.css\";@import url(b.css);\n"
                                             "@font-face{src:url(f.woff2) format('woff2')}\n"
                                             "p{background:url(data:image/gif;base64,R0)}\n"
                                             "q{background:url(http://h.test/img/bg.png)}\nr{content:\"é\"}");
    EXPECT_EQ(page.Rewritten(), "<link rel=stylesheet href=\"my%20page.files/a.css\">");
}

TEST(CompletePage, ImportCyclesAndDeepChainsEnd)
{
    // Each sheet imports the next one and the first one again.
    const auto Chained = [](std::size_t i) {
        return "@import 's" + std::to_string(i + 1) + ".css'; @import 's0.css';";
    };
    CCompletePage page("<style>@import 's0.css';</style>", kBase, "p.files");
    for (int round = 0; round < 20 && !page.Pending().empty(); ++round) {
        for (std::size_t i : page.Pending()) {
            page.Requisites()[i].state = Requisite::State::Saved;
            page.AddSheet(i, Chained(i));
        }
    }
    EXPECT_TRUE(page.Pending().empty());
    const auto& requisites = page.Requisites();
    ASSERT_EQ(requisites.size(), static_cast<std::size_t>(CCompletePage::kMaxSheetDepth) + 2);
    EXPECT_EQ(requisites.back().state, Requisite::State::Skipped);
    const std::string deepest =
        page.RewrittenSheet(CCompletePage::kMaxSheetDepth, Chained(CCompletePage::kMaxSheetDepth));
    EXPECT_NE(deepest.find("@import \"http://h.test/dir/s9.css\""), std::string::npos) << deepest;
}

TEST(CompletePage, ASheetWithTooManyReferencesIsKeptAsItCame)
{
    CCompletePage page("<link rel=stylesheet href=\"a.css\"><link rel=stylesheet href=\"b.css\">", kBase, "p.files");
    page.Requisites()[0].state = Requisite::State::Saved;
    page.Requisites()[1].state = Requisite::State::Saved;
    std::string crowded;
    for (std::size_t n = 0; n <= CCompletePage::kMaxReferences; ++n) {
        crowded += "p{background:url(i" + std::to_string(n % 7) + ".png)}";
    }
    page.AddSheet(0, crowded);
    page.AddSheet(1, "q{background:url(q.png)}");
    EXPECT_EQ(page.RewrittenSheet(0, crowded), "");
    EXPECT_EQ(page.RewrittenSheet(1, "q{background:url(q.png)}"), "q{background:url(http://h.test/dir/q.png)}");
    EXPECT_EQ(Urls(page), (std::vector<std::string>{"http://h.test/dir/a.css (sheet)",
                                                    "http://h.test/dir/b.css (sheet)", "http://h.test/dir/q.png"}));
}

TEST(CompletePage, InlinePicturesBecomeFilesOnlyWhenStored)
{
    const std::string html =
        "<img src='data:image/png;base64,iVBO%52w0K'><img src=\"data:image/png;base64,iVBO%52w0K\">"
        "<img src='data:image/svg+xml,%3Csvg%3E%3C/svg%3E'><img src='data:text/html,<b>x</b>'>"
        "<div style=\"background:url('data:image/gif;base64,R0lG')\"></div>"
        "<img src='data:image/png;base64,!!!!'><img src='data:image/webp;base64,UklG'>";
    CCompletePage page(html, kBase, "page.files");
    std::vector<std::pair<std::string, std::string>> written;
    page.SaveInlinePictures([&](const std::string& strName, std::string_view bytes) {
        written.emplace_back(strName, std::string(bytes));
        return strName.find(".webp") == std::string::npos; // the disk refuses one
    });
    const std::vector<std::pair<std::string, std::string>> expected = {{"picture.png", "\x89PNG\r\n"},
                                                                       {"picture.svg", "<svg></svg>"},
                                                                       {"picture.gif", "GIF"},
                                                                       {"picture.webp", "RIF"}};
    EXPECT_EQ(written, expected);
    // The same picture twice is one file; what is not a picture, cannot be read or was not stored stays inline.
    EXPECT_EQ(page.Rewritten(), "<img src=\"page.files/picture.png\"><img src=\"page.files/picture.png\">"
                                "<img src=\"page.files/picture.svg\"><img src='data:text/html,<b>x</b>'>"
                                "<div style=\"background:url(page.files/picture.gif)\"></div>"
                                "<img src='data:image/png;base64,!!!!'><img src='data:image/webp;base64,UklG'>");
}
