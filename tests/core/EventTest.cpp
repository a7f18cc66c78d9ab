#include "platform/Event.h"

#include <thread>

#include <gtest/gtest.h>

TEST(Event, AutoResetReleasesOnePoll)
{
    CEvent event;
    EXPECT_FALSE(event.Wait(0));
    event.SetEvent();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(0)); // consumed by the first poll
}

TEST(Event, ManualResetStaysSignalledUntilReset)
{
    CEvent event(true);
    event.SetEvent();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.Wait(0));
    event.ResetEvent();
    EXPECT_FALSE(event.Wait(0));
}

TEST(Event, WakesAWaitingThread)
{
    CEvent event;
    std::thread setter([&] { event.SetEvent(); });
    EXPECT_TRUE(event.Wait(10000));
    setter.join();
}
