#include "platform/Files.h"

#include <gtest/gtest.h>

#include "TempFolder.h"

TEST(Files, ReadFileStopsAtItsLimitAndRefusesFolders)
{
    TempFolder temp;
    ASSERT_TRUE(files::WriteFile(temp.file("a.txt"), "abcdef"));
    std::string data;
    ASSERT_TRUE(files::ReadFile(temp.file("a.txt"), data));
    EXPECT_EQ(data, "abcdef");
    ASSERT_TRUE(files::ReadFile(temp.file("a.txt"), data, nullptr, 4));
    EXPECT_EQ(data, "abcd");
    // A device that never ends is read only up to the limit.
    ASSERT_TRUE(files::ReadFile("/dev/zero", data, nullptr, 100000));
    EXPECT_EQ(data, std::string(100000, '\0'));

    std::string why;
    EXPECT_FALSE(files::ReadFile(temp.path(), data, &why));
    EXPECT_NE(why.find("folder"), std::string::npos);
}
