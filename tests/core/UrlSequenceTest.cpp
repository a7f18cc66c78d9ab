#include "download/UrlSequence.h"

#include <gtest/gtest.h>

namespace
{

struct Expansion
{
    int result = 0;
    std::vector<std::string> urls;
    std::vector<std::string> names;
    std::string ext = "<untouched>";
    CUrlSequence::Refusal refusal = CUrlSequence::Refusal::None;
};

Expansion Expand(const std::string& first, const std::string& last, int addCount = 0)
{
    CUrlSequence sequence;
    sequence.SetRange(first, last);
    Expansion e;
    e.result = sequence.Expand(e.urls, e.names, addCount, e.ext);
    e.refusal = sequence.LastRefusal();
    return e;
}

} // namespace

TEST(UrlSequence, ExpandsNumberedSeries)
{
    struct Case
    {
        std::string first, last;
        int addCount;
        std::string ext;
        std::size_t count;
        std::string firstUrl, secondUrl, lastUrl;
        std::string firstName, lastName;
    };
    const std::string d = "http://host/dir/";
    const Case cases[] = {
        {d + "page1.html", d + "page20.html", 0, ".html", 20, d + "page1.html", d + "page2.html", d + "page20.html",
         "page1", "page20"},
        // Equal number lengths keep the leading zeros.
        {d + "001.htm", d + "120.htm", 0, ".htm", 120, d + "001.htm", d + "002.htm", d + "120.htm", "001", "120"},
        // Different lengths: written without them, so the typed 01 becomes 1.
        {d + "01.htm", d + "100.htm", 0, ".htm", 100, d + "1.htm", d + "2.htm", d + "100.htm", "1", "100"},
        // A query number: no "." after it, so the extension defaults and the names are the numbers.
        {"http://h/show.asp?page=1", "http://h/show.asp?page=9", 0, ".htm", 9, "http://h/show.asp?page=1",
         "http://h/show.asp?page=2", "http://h/show.asp?page=9", "1", "9"},
        {d + "page10.html", d + "page1.html", 0, ".html", 10, d + "page10.html", d + "page9.html", d + "page1.html",
         "page10", "page1"},
        // A number inside a folder name: the whole suffix is the extension, every page is named index.
        {"http://h/2003/05/index.html", "http://h/2003/09/index.html", 0, "/index.html", 5,
         "http://h/2003/05/index.html", "http://h/2003/06/index.html", "http://h/2003/09/index.html", "index", "index"},
        {d + "a3.htm", d + "a5.htm", 2, ".htm", 3, d + "a3.htm", d + "a4.htm", d + "a5.htm", "3_2", "5_2"},
        // One address is a prefix of the other; underscores leave the extension.
        {d + "p9", d + "p11", 0, ".htm", 3, d + "p9", d + "p10", d + "p11", "9", "11"},
        {d + "p1.s_html", d + "p2.s_html", 0, ".shtml", 2, d + "p1.s_html", d + "p2.s_html", d + "p2.s_html", "p1",
         "p2"},
        // A secure series, scheme in capitals, typed with surrounding blanks.
        {"  HTTPS://h:8443/c/7.jpg\t", "HTTPS://h:8443/c/9.jpg ", 0, ".jpg", 3, "HTTPS://h:8443/c/7.jpg",
         "HTTPS://h:8443/c/8.jpg", "HTTPS://h:8443/c/9.jpg", "7", "9"},
        // The last segment has no "." to cut the name at: the name falls back to the number.
        {"http://h/1.d/x", "http://h/3.d/x", 0, ".d/x", 3, "http://h/1.d/x", "http://h/2.d/x", "http://h/3.d/x", "1",
         "3"},
    };
    for (const auto& c : cases) {
        Expansion e = Expand(c.first, c.last, c.addCount);
        SCOPED_TRACE(c.first + " .. " + c.last);
        ASSERT_EQ(e.result, 0);
        EXPECT_EQ(e.ext, c.ext);
        ASSERT_EQ(e.urls.size(), c.count);
        ASSERT_EQ(e.names.size(), c.count);
        EXPECT_EQ(e.urls.front(), c.firstUrl);
        EXPECT_EQ(e.urls[1 % c.count], c.secondUrl);
        EXPECT_EQ(e.urls.back(), c.lastUrl);
        EXPECT_EQ(e.names.front(), c.firstName);
        EXPECT_EQ(e.names.back(), c.lastName);
    }
}

TEST(UrlSequence, OneAddressGivesOnePage)
{
    struct Case
    {
        std::string first, last;
        int addCount;
        std::string url, name;
    };
    const Case cases[] = {
        {"http://h/a.html", "", 0, "http://h/a.html", "00"},
        {"", "http://h/b.asp", 0, "http://h/b.asp", "00"},
        {"http://h/c.html", "http://h/c.html", 3, "http://h/c.html", "00_3"},
        {"https://h/d.html", "  ", 0, "https://h/d.html", "00"},
    };
    for (const auto& c : cases) {
        Expansion e = Expand(c.first, c.last, c.addCount);
        ASSERT_EQ(e.result, 0) << c.first << " " << c.last;
        EXPECT_EQ(e.urls, std::vector<std::string>{c.url});
        EXPECT_EQ(e.names, std::vector<std::string>{c.name});
        EXPECT_EQ(e.ext, ".htm");
    }
}

TEST(UrlSequence, AppendsToWhatTheListsHold)
{
    CUrlSequence sequence;
    sequence.SetRange("http://h/1.htm", "http://h/2.htm");
    std::vector<std::string> urls{"kept"}, names{"kept"};
    std::string ext;
    ASSERT_EQ(sequence.Expand(urls, names, 0, ext), 0);
    EXPECT_EQ(urls, (std::vector<std::string>{"kept", "http://h/1.htm", "http://h/2.htm"}));
    EXPECT_EQ(names, (std::vector<std::string>{"kept", "1", "2"}));
}

TEST(UrlSequence, RefusesPairsThatAreNoSeries)
{
    const std::pair<std::string, std::string> cases[] = {
        {"host/page1.html", "host/page9.html"},        // no scheme
        {"ftp://h/1.htm", "ftp://h/9.htm"},            // not a web address
        {"", ""},                                      // nothing typed
        {"http://", "http://"},                        // too short to be an address
        {"http://h/a.htm", "http://h/b.htm"},          // differ outside a number
        {"http://h/0.htm", "http://h/00.htm"},         // both numbers 0
        {"http://h/1.htm", "http://h/2.html"},         // different suffixes
        {"http://h/1a.htm", "http://h/1b.htm"},        // the difference is in letters after a number
        {"http://h/page", "http://h/page2"},           // prefix without a digit where it ends
        {"http://h/a.htm", "h/a.htm"},                 // the one web address is not alone: still no series
        {"  ", "h/only.htm"},                          // the only address is not a web address
        {"http://h/1" + std::string(19, '0') + ".htm", // beyond what a number can count to
         "http://h/2" + std::string(19, '0') + ".htm"},
    };
    for (const auto& [first, last] : cases) {
        Expansion e = Expand(first, last);
        EXPECT_EQ(e.result, -1) << first << " .. " << last;
        EXPECT_TRUE(e.urls.empty());
        EXPECT_TRUE(e.names.empty());
        EXPECT_EQ(e.ext, "<untouched>");
        EXPECT_EQ(e.refusal, CUrlSequence::Refusal::NotRecognised);
    }
}

TEST(UrlSequence, RefusesSeriesBeyondTheLengthCap)
{
    Expansion atCap = Expand("http://h/1.htm", "http://h/" + std::to_string(CUrlSequence::kMaxSeriesLength) + ".htm");
    EXPECT_EQ(atCap.result, 0);
    EXPECT_EQ(atCap.urls.size(), static_cast<std::size_t>(CUrlSequence::kMaxSeriesLength));
    EXPECT_EQ(atCap.refusal, CUrlSequence::Refusal::None);

    // Counting down from a huge number is refused the same way, and quickly, not after filling memory.
    for (const auto& [first, last] : {std::pair<std::string, std::string>{"http://h/0.htm", "http://h/100000.htm"},
                                      {"http://h/999999999999.htm", "http://h/1.htm"}}) {
        Expansion e = Expand(first, last);
        EXPECT_EQ(e.result, -1) << first;
        EXPECT_TRUE(e.urls.empty());
        EXPECT_EQ(e.refusal, CUrlSequence::Refusal::TooLong);
    }
}

TEST(UrlSequence, RefusesSeriesWhoseAddressesWouldFillMemory)
{
    // 10 KB addresses: a few thousand pages are fine, a hundred thousand would take a gigabyte.
    const std::string longPath = "http://h/" + std::string(10000, 'p') + "/";
    Expansion huge = Expand(longPath + "1.htm", longPath + "99999.htm");
    EXPECT_EQ(huge.result, -1);
    EXPECT_TRUE(huge.urls.empty());
    EXPECT_EQ(huge.refusal, CUrlSequence::Refusal::TooLarge);

    Expansion fits = Expand(longPath + "1.htm", longPath + "500.htm");
    EXPECT_EQ(fits.result, 0);
    EXPECT_EQ(fits.urls.size(), 500u);
}

TEST(UrlSequence, CheckAgreesWithExpandWithoutBuildingTheLists)
{
    const std::string longPath = "http://h/" + std::string(10000, 'p') + "/";
    const std::pair<std::string, std::string> pairs[] = {
        {"http://h/a1.htm", "http://h/a20.htm"},
        {"http://h/a.htm", "http://h/b.htm"},
        {"http://h/only.htm", ""},
        {"http://h/1.htm", "http://h/200000.htm"},
        {longPath + "1.htm", longPath + "99999.htm"},
    };
    for (const auto& [first, last] : pairs) {
        CUrlSequence sequence;
        sequence.SetRange(first, last);
        const int nChecked = sequence.Check();
        const CUrlSequence::Refusal checked = sequence.LastRefusal();
        Expansion e = Expand(first, last);
        EXPECT_EQ(nChecked, e.result) << first.substr(0, 40);
        EXPECT_EQ(checked, e.refusal) << first.substr(0, 40);
    }
}
