#include <gtest/gtest.h>
#include "TestSupport.h"

TEST (Harness, MessageLoopRunsTimers)
{
    struct T : juce::Timer { int n = 0; void timerCallback() override { ++n; } } t;
    t.startTimer (10);
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return t.n >= 3; }));
}
