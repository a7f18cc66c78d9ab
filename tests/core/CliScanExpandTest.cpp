// trawlix-cli expand and scan, run as a user runs them.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "RunProcess.h"
#include "TempFolder.h"
#include "platform/Files.h"

namespace
{

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(CliExpand, PrintsTheExtensionThenEveryPage)
{
    struct Case
    {
        std::vector<std::string> args;
        std::string out;
    };
    const Case cases[] = {
        {{"expand", "http://h/d/page1.html", "http://h/d/page3.html"},
         ".html\npage1\thttp://h/d/page1.html\npage2\thttp://h/d/page2.html\npage3\thttp://h/d/page3.html\n"},
        {{"expand", "--add-count", "2", "https://h:8443/a3.htm", "https://h:8443/a4.htm"},
         ".htm\n3_2\thttps://h:8443/a3.htm\n4_2\thttps://h:8443/a4.htm\n"},
        {{"expand", "http://h/only.asp"}, ".htm\n00\thttp://h/only.asp\n"},
        {{"expand", "http://h/s.asp?p=10", "http://h/s.asp?p=9"},
         ".htm\n10\thttp://h/s.asp?p=10\n9\thttp://h/s.asp?p=9\n"},
    };
    for (const auto& c : cases) {
        ProcessResult r = RunCli(c.args);
        EXPECT_EQ(r.nExitCode, 0) << r.strErr;
        EXPECT_EQ(r.strOut, c.out);
        EXPECT_EQ(r.strErr, "");
    }
}

TEST(CliExpand, ExplainsARefusal)
{
    ProcessResult notSeries = RunCli({"expand", "http://h/a.htm", "http://h/b.htm"});
    EXPECT_EQ(notSeries.nExitCode, 1);
    EXPECT_EQ(notSeries.strOut, "");
    EXPECT_TRUE(contains(notSeries.strErr, "not a recognised address series")) << notSeries.strErr;

    ProcessResult tooLong = RunCli({"expand", "http://h/1.htm", "http://h/100001.htm"});
    EXPECT_EQ(tooLong.nExitCode, 1);
    EXPECT_EQ(tooLong.strOut, "");
    EXPECT_TRUE(contains(tooLong.strErr, "series too long")) << tooLong.strErr;
}

TEST(CliExpand, RejectsBadArguments)
{
    const std::vector<std::string> cases[] = {
        {"expand"},
        {"expand", "http://h/1.htm", "http://h/2.htm", "http://h/3.htm"},
        {"expand", "http://h/1.htm", "--add-count"},
        {"expand", "http://h/1.htm", "--add-count", "-1"},
        {"expand", "http://h/1.htm", "--add-count", "two"},
        {"expand", "--bogus", "http://h/1.htm"},
    };
    for (const auto& args : cases) {
        ProcessResult r = RunCli(args);
        EXPECT_EQ(r.nExitCode, 2) << args.back();
        EXPECT_TRUE(contains(r.strErr, "usage: trawlix-cli expand")) << r.strErr;
    }
    ProcessResult help = RunCli({"expand", "--help"});
    EXPECT_EQ(help.nExitCode, 0);
    EXPECT_TRUE(contains(help.strOut, "usage: trawlix-cli expand"));
}

TEST(CliScan, PrintsTitleLinksAndResources)
{
    TempFolder temp;
    // What follows the first zero byte is not part of the page, as in a download.
    const std::string page = "<title>Two\nlines</title><a href=next.html>n</a><img src=../img/a.gif>"
                             "<a href=mailto:Me@Host.COM>m</a>" +
                             std::string(1, '\0') + "<a href=hidden.html>";
    ASSERT_TRUE(files::WriteFile(temp.file("page.html"), page));

    ProcessResult r = RunCli({"scan", temp.file("page.html"), "--base", "https://site:8443/book/ch1.html"});
    EXPECT_EQ(r.nExitCode, 0) << r.strErr;
    EXPECT_EQ(r.strOut, "title: Two lines\n"
                        "links:\n"
                        "  https://site:8443/book/next.html\n"
                        "resources:\n"
                        "  https://site:8443/img/a.gif\n"
                        "  mailto:me@host.com\n");

    // Without a base only absolute addresses can be shown.
    ProcessResult noBase = RunCli({"scan", temp.file("page.html")});
    EXPECT_EQ(noBase.nExitCode, 0);
    EXPECT_EQ(noBase.strOut, "title: Two lines\nlinks:\nresources:\n  mailto:me@host.com\n");
}

TEST(CliScan, TitleOfAPageSavedInTheChineseCodePageIsReadable)
{
    TempFolder temp;
    // Pages that arrived as UTF-8 are saved in code page 936: 中文 is D6 D0 CE C4 there.
    ASSERT_TRUE(files::WriteFile(temp.file("saved.htm"), "<title>\xD6\xD0\xCE\xC4</title>"));
    ProcessResult r = RunCli({"scan", temp.file("saved.htm")});
    EXPECT_EQ(r.nExitCode, 0) << r.strErr;
    EXPECT_EQ(r.strOut, "title: 中文\nlinks:\nresources:\n");
}

TEST(CliScan, FailsOnAnUnreadableFileAndBadArguments)
{
    TempFolder temp;
    ProcessResult missing = RunCli({"scan", temp.file("missing.html"), "--base", "http://h/"});
    EXPECT_EQ(missing.nExitCode, 1);
    EXPECT_TRUE(contains(missing.strErr, "cannot read")) << missing.strErr;
    EXPECT_EQ(RunCli({"scan", temp.path()}).nExitCode, 1);

    for (const auto& args : {std::vector<std::string>{"scan"},
                             {"scan", "a.html", "b.html"},
                             {"scan", "a.html", "--base"},
                             {"scan", "--bogus", "a.html"}}) {
        ProcessResult r = RunCli(args);
        EXPECT_EQ(r.nExitCode, 2) << args.back();
        EXPECT_TRUE(contains(r.strErr, "usage: trawlix-cli scan")) << r.strErr;
    }
}

TEST(CliScan, RefusesPipesAndDevicesAndEscapesControlCharacters)
{
    TempFolder temp;
    ASSERT_EQ(::mkfifo(temp.file("fifo").c_str(), 0600), 0);
    ProcessResult fifo = RunCli({"scan", temp.file("fifo")});
    EXPECT_EQ(fifo.nExitCode, 1);
    EXPECT_TRUE(contains(fifo.strErr, "not a plain file")) << fifo.strErr;

    ASSERT_TRUE(files::WriteFile(temp.file("p.htm"), "<title>a\x1B]0;owned\x07"
                                                     "b</title>"));
    ProcessResult page = RunCli({"scan", temp.file("p.htm")});
    EXPECT_EQ(page.strOut, "title: a\\x1B]0;owned\\x07b\nlinks:\nresources:\n");
}

TEST(CliExpand, ExplainsASeriesTooLargeToHold)
{
    const std::string longPath = "http://h/" + std::string(10000, 'p') + "/";
    ProcessResult r = RunCli({"expand", longPath + "1.htm", longPath + "99999.htm"});
    EXPECT_EQ(r.nExitCode, 1);
    EXPECT_TRUE(contains(r.strErr, "series too long")) << r.strErr;
    EXPECT_TRUE(r.strOut.empty());
}
