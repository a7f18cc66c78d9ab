#include "complete/ProjectLinks.h"

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TempFolder.h"
#include "platform/Files.h"

TEST(ProjectLinks, AddressKeysIgnoreWhatDoesNotChangeThePage)
{
    EXPECT_EQ(AddressKey("HTTP://Host.Test:80/a.html#top"), "http://host.test/a.html");
    EXPECT_EQ(AddressKey("https://h.test:443"), "https://h.test/");
    EXPECT_EQ(AddressKey("http://h.test:8080/list.php?id=7#x"), "http://h.test:8080/list.php?id=7");
    EXPECT_NE(AddressKey("http://h.test/A.html"), AddressKey("http://h.test/a.html"));
}

TEST(ProjectLinks, HeldPagesBecomeLocalFilesAndOthersAbsolute)
{
    TempFolder folder;
    const std::string project = folder.file("p");
    files::CreateFolders(project + "/sub");
    const std::string index = project + "/index.html";
    const std::string page3 = project + "/page3.html";
    const std::string list = project + "/7.asp";
    const std::string other = project + "/sub/o.htm";
    for (const std::string& f : {index, page3, list, other}) {
        files::WriteFile(f, "x");
    }
    const std::vector<HeldPage> held = {
        {"http://h.test/dir/index.html", index},
        {"http://h.test/dir/page3.html", page3},
        {"http://h.test/list.php?id=7", list},
        {"http://h.test/o.htm", other},
        {"http://h.test/gone.html", project + "/gone.html"}, // listed, but its file is not there
    };
    struct Case
    {
        const char* pHtml;
        const char* pSaved;
    };
    const Case cases[] = {
        {"<a href=\"page3.html#top\">",
         "<a href=\"page3.html#top\" data-trawlix-href=\"http://h.test/dir/page3.html#top\">"},
        {"<A HREF='/dir/index.html'>", "<A href=\"index.html\" data-trawlix-href=\"http://h.test/dir/index.html\">"},
        {"<a href=http://H.TEST:80/list.php?id=7>",
         "<a href=\"7.asp\" data-trawlix-href=\"http://H.TEST:80/list.php?id=7\">"},
        {"<area href=\"../o.htm\">", "<area href=\"sub/o.htm\" data-trawlix-href=\"http://h.test/o.htm\">"},
        {"<iframe src=\"page3.html\"></iframe>",
         "<iframe src=\"page3.html\" data-trawlix-href=\"http://h.test/dir/page3.html\"></iframe>"},
        // Not held, or held without a file: the absolute address.
        {"<a href=\"other.html\">", "<a href=\"http://h.test/dir/other.html\">"},
        {"<a href=\"/gone.html#x\">", "<a href=\"http://h.test/gone.html#x\">"},
        // Left alone.
        {"<a href=\"#top\"><a href=\"mailto:a@b.test\"><a name=x>",
         "<a href=\"#top\"><a href=\"mailto:a@b.test\"><a name=x>"},
        {"<a href=\"http://else.test/\">", "<a href=\"http://else.test/\">"},
        // A <base> goes, after its links were resolved against it.
        {"<base href=\"http://h.test/\"><a href=\"o.htm\">",
         "<a href=\"sub/o.htm\" data-trawlix-href=\"http://h.test/o.htm\">"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pHtml);
        EXPECT_EQ(RewritePageLinks(c.pHtml, "http://h.test/dir/index.html", index, held), c.pSaved);
    }
}

TEST(ProjectLinks, ALaterPassUpdatesEarlierPages)
{
    TempFolder folder;
    const std::string a = folder.file("a.html");
    const std::string b = folder.file("b.html");
    files::WriteFile(a, "<a href=\"b.html#s\">B</a> <a href=\"c.html\">C</a>");
    files::WriteFile(b, "<a href=\"a.html\">A</a>");

    // The first job saved a and b; c is not held yet.
    std::vector<HeldPage> held = {{"http://h.test/a.html", a}, {"http://h.test/b.html", b}};
    EXPECT_EQ(RewriteProjectLinks(held), 2);
    std::string text;
    files::ReadFile(a, text);
    EXPECT_EQ(text, "<a href=\"b.html#s\" data-trawlix-href=\"http://h.test/b.html#s\">B</a> "
                    "<a href=\"http://h.test/c.html\">C</a>");
    EXPECT_EQ(RewriteProjectLinks(held), 0); // nothing changes twice

    // A later job saved c under another name, and the page b moved: links follow both.
    const std::string c = folder.file("0003.html");
    files::WriteFile(c, "<a href=\"/a.html\">A</a>");
    std::remove(b.c_str());
    held = {{"http://h.test/a.html", a}, {"http://h.test/c.html", c}};
    EXPECT_EQ(RewriteProjectLinks(held), 2);
    files::ReadFile(a, text);
    EXPECT_EQ(text, "<a href=\"http://h.test/b.html#s\">B</a> "
                    "<a href=\"0003.html\" data-trawlix-href=\"http://h.test/c.html\">C</a>");
}
