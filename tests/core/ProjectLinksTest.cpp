#include "complete/ProjectLinks.h"

#include <cstdio>
#include <string>
#include <unistd.h>
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
    EXPECT_EQ(RewriteProjectLinks(held, folder.path()), 2);
    std::string text;
    files::ReadFile(a, text);
    EXPECT_EQ(text, "<a href=\"b.html#s\" data-trawlix-href=\"http://h.test/b.html#s\">B</a> "
                    "<a href=\"http://h.test/c.html\">C</a>");
    EXPECT_EQ(RewriteProjectLinks(held, folder.path()), 0); // nothing changes twice

    // A later job saved c under another name, and the page b moved: links follow both.
    const std::string c = folder.file("0003.html");
    files::WriteFile(c, "<a href=\"/a.html\">A</a>");
    std::remove(b.c_str());
    held = {{"http://h.test/a.html", a}, {"http://h.test/c.html", c}};
    EXPECT_EQ(RewriteProjectLinks(held, folder.path()), 2);
    files::ReadFile(a, text);
    EXPECT_EQ(text, "<a href=\"http://h.test/b.html#s\">B</a> "
                    "<a href=\"0003.html\" data-trawlix-href=\"http://h.test/c.html\">C</a>");
}

TEST(ProjectLinks, FilesOutsideTheProjectFolderAreNeverWritten)
{
    TempFolder folder;
    const std::string project = folder.file("project");
    files::CreateFolders(project + "/sub");
    const std::string page = project + "/a.html";
    const std::string notes = folder.file("notes.html"); // the user's own page, added from the disk
    const std::string secret = folder.file("secret.html");
    const std::string linked = project + "/linked.html"; // inside by name, outside by target
    const std::string sneaky = project + "/sub/../../notes.html";
    const std::string original = "<base href=\"http://h.test/\"><a href=\"a.html\">A</a>";
    for (const std::string& f : {page, notes, secret}) {
        ASSERT_TRUE(files::WriteFile(f, original));
    }
    ASSERT_EQ(::symlink(secret.c_str(), linked.c_str()), 0);
    ASSERT_EQ(::symlink(folder.path().c_str(), (project + "/up").c_str()), 0);

    const std::vector<HeldPage> held = {
        {"http://h.test/notes.html", notes},   {"http://h.test/linked.html", linked},
        {"http://h.test/sneaky.html", sneaky}, {"http://h.test/up.html", project + "/up/secret.html"},
        {"http://h.test/a.html", page},
    };
    EXPECT_EQ(RewriteProjectLinks(held, project), 1);
    std::string text;
    for (const std::string& f : {notes, secret}) {
        ASSERT_TRUE(files::ReadFile(f, text));
        EXPECT_EQ(text, original) << f;
    }
    char target[4096] = {};
    ASSERT_GT(::readlink(linked.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target), secret); // the link itself stays
    ASSERT_TRUE(files::ReadFile(page, text));
    EXPECT_EQ(text, "<a href=\"a.html\" data-trawlix-href=\"http://h.test/a.html\">A</a>");

    // A project folder that is not there holds nothing to rewrite.
    EXPECT_EQ(RewriteProjectLinks(held, folder.file("missing")), 0);
}

TEST(ProjectLinks, AStopEndsThePassBetweenPages)
{
    TempFolder folder;
    std::vector<HeldPage> held;
    for (int i = 0; i < 5; ++i) {
        const std::string file = folder.file(std::to_string(i) + ".html");
        ASSERT_TRUE(files::WriteFile(file, "<a href=\"0.html\">0</a>"));
        held.push_back({"http://h.test/" + std::to_string(i) + ".html", file});
    }
    int nAsked = 0;
    EXPECT_EQ(RewriteProjectLinks(held, folder.path(), [&] { return ++nAsked > 2; }), 2);
    std::string text;
    ASSERT_TRUE(files::ReadFile(folder.file("4.html"), text));
    EXPECT_EQ(text, "<a href=\"0.html\">0</a>");
}
