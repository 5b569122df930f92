// emulated_timer_test.cpp -- the queue-driven one-second timer with a driven clock
#include <gtest/gtest.h>

#include "platform/emulated_timer.h"

TEST(EmulatedTimer, DueOncePerPeriodAfterTheLastDelivery)
{
    EmulatedTimer timer{};
    EXPECT_FALSE(emulated_timer_take(&timer, 5000)) << "a timer never started never fires";

    emulated_timer_start(&timer, 1, 1000, 10'000);
    EXPECT_FALSE(emulated_timer_take(&timer, 10'999));
    EXPECT_TRUE(emulated_timer_take(&timer, 11'000));
    EXPECT_EQ(timer.id, 1u);
    EXPECT_FALSE(emulated_timer_take(&timer, 11'000)) << "one delivery per period";
    EXPECT_FALSE(emulated_timer_take(&timer, 11'999));
    EXPECT_TRUE(emulated_timer_take(&timer, 12'000));
}

TEST(EmulatedTimer, ABusyQueueNeverPilesUpMoreThanOneMessage)
{
    EmulatedTimer timer{};
    emulated_timer_start(&timer, 1, 1000, 0);
    // The queue stayed busy for five periods: one message when it empties...
    EXPECT_TRUE(emulated_timer_take(&timer, 5'300));
    // ...and the next only a full period after that one.
    EXPECT_FALSE(emulated_timer_take(&timer, 5'301));
    EXPECT_FALSE(emulated_timer_take(&timer, 6'299));
    EXPECT_TRUE(emulated_timer_take(&timer, 6'300));

    // Held from 6,500 to 60,000 (minimised): nothing due meanwhile, and the
    // next only when 1,000 ms of showing have passed since the last one.
    emulated_timer_hold(&timer, 6'500);
    EXPECT_FALSE(emulated_timer_take(&timer, 59'000));
    emulated_timer_release(&timer, 60'000);
    EXPECT_FALSE(emulated_timer_take(&timer, 60'799));
    EXPECT_TRUE(emulated_timer_take(&timer, 60'800));
}
