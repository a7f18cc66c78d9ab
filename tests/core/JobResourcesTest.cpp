// The job's table of resource addresses: each address is fetched once per job, later pages get a link to
// the first copy, and copies that are gone make their address fetched again.
#include "download/JobResources.h"

#include <gtest/gtest.h>

#include "TempFolder.h"
#include "platform/Files.h"

namespace
{

using State = CJobResources::State;

std::string readFile(const std::string& path)
{
    std::string data;
    files::ReadFile(path, data);
    return data;
}

// A fetched body in a temporary file, as the transfer queue hands it over.
std::string fetchedFile(const TempFolder& temp, const std::string& name, const std::string& body)
{
    const std::string path = temp.file("fetch-" + name);
    files::WriteFile(path, body);
    return path;
}

} // namespace

TEST(JobResources, AnAddressIsFetchedOnceAndLaterPagesGetTheSameFile)
{
    TempFolder temp;
    files::CreateFolders(temp.file("p1.files"));
    files::CreateFolders(temp.file("p2.files"));
    CJobResources resources;
    const std::string logo = "http://h/img/logo.gif";
    EXPECT_EQ(resources.StateOf(logo), State::Unknown);
    resources.Started(logo, 0);
    EXPECT_EQ(resources.StateOf(logo), State::Running);
    // Addresses that differ only slightly are different addresses.
    EXPECT_EQ(resources.StateOf("http://h/img/logo.gif?"), State::Unknown);
    EXPECT_EQ(resources.StateOf("http://h/img/Logo.gif"), State::Unknown);

    const std::string fetched = fetchedFile(temp, "logo", "GIF89a logo");
    resources.Fetched(logo, fetched);
    EXPECT_EQ(resources.StateOf(logo), State::Ready);
    ASSERT_TRUE(resources.Place(logo, temp.file("p1.files/logo.gif")));
    EXPECT_FALSE(files::Exists(fetched)); // moved, not copied
    ASSERT_TRUE(resources.Place(logo, temp.file("p2.files/logo.gif")));
    // Placing where it already is changes nothing.
    ASSERT_TRUE(resources.Place(logo, temp.file("p2.files/logo.gif")));
    EXPECT_EQ(readFile(temp.file("p1.files/logo.gif")), "GIF89a logo");
    EXPECT_EQ(readFile(temp.file("p2.files/logo.gif")), "GIF89a logo");

    std::string why;
    EXPECT_FALSE(resources.Place("http://h/never-asked.gif", temp.file("p2.files/x.gif"), &why));
    EXPECT_EQ(why, "http://h/never-asked.gif: not fetched");
}

TEST(JobResources, AFailedAddressKeepsItsReasonAndAbandonedPagesAreForgotten)
{
    TempFolder temp;
    CJobResources resources;
    resources.Started("http://h/a.gif", 0);
    resources.Failed("http://h/a.gif", "HTTP 404");
    EXPECT_EQ(resources.StateOf("http://h/a.gif"), State::Failed);
    EXPECT_EQ(resources.WhyFailed("http://h/a.gif"), "HTTP 404");
    EXPECT_EQ(resources.WhyFailed("http://h/b.gif"), "");

    resources.Started("http://h/b.gif", 1);
    resources.Started("http://h/c.gif", 3);
    resources.ForgetPagesAbove(1);
    EXPECT_EQ(resources.StateOf("http://h/b.gif"), State::Running);
    EXPECT_EQ(resources.StateOf("http://h/c.gif"), State::Unknown);
    EXPECT_EQ(resources.StateOf("http://h/a.gif"), State::Failed);

    // A fetched file that was never placed is removed with the table.
    const std::string fetched = fetchedFile(temp, "b", "b");
    {
        CJobResources job;
        job.Started("http://h/b.gif", 0);
        job.Fetched("http://h/b.gif", fetched);
    }
    EXPECT_FALSE(files::Exists(fetched));
}

TEST(JobResources, CopiesThatAreGoneMakeTheirAddressFetchedAgain)
{
    TempFolder temp;
    files::CreateFolders(temp.file("p1.files"));
    files::CreateFolders(temp.file("p2.files"));
    CJobResources resources;
    const std::string a = "http://h/1/pic.gif";
    const std::string b = "http://h/2/pic.gif";
    resources.Started(a, 0);
    resources.Fetched(a, fetchedFile(temp, "a", "first"));
    ASSERT_TRUE(resources.Place(a, temp.file("p1.files/pic.gif")));

    // Another address saved under the same name replaces the first copy: the first address is then
    // fetched again when a later page needs it, and the new one stays usable.
    resources.Started(b, 0);
    resources.Fetched(b, fetchedFile(temp, "b", "second"));
    ASSERT_TRUE(resources.Place(b, temp.file("p1.files/pic.gif")));
    EXPECT_EQ(resources.StateOf(a), State::Unknown);
    ASSERT_TRUE(resources.Place(b, temp.file("p2.files/pic.gif")));
    EXPECT_EQ(readFile(temp.file("p2.files/pic.gif")), "second");

    // A failed page's folder is removed: what was first placed there is fetched again, what was only
    // linked there keeps its first copy.
    resources.Started(a, 1);
    resources.Fetched(a, fetchedFile(temp, "a2", "first again"));
    ASSERT_TRUE(resources.Place(a, temp.file("p2.files/other.gif")));
    files::RemoveTree(temp.file("p2.files"));
    resources.ForgetPlacedIn(temp.file("p2.files"));
    EXPECT_EQ(resources.StateOf(a), State::Unknown);
    EXPECT_EQ(resources.StateOf(b), State::Ready);
    files::CreateFolders(temp.file("p3.files"));
    ASSERT_TRUE(resources.Place(b, temp.file("p3.files/pic.gif")));
    EXPECT_EQ(readFile(temp.file("p3.files/pic.gif")), "second");

    // The first copy of an address is gone: it is fetched again rather than linked from nothing.
    files::RemoveTree(temp.file("p1.files"));
    resources.ForgetPlacedIn(temp.file("p1.files"));
    EXPECT_EQ(resources.StateOf(b), State::Unknown);
}
