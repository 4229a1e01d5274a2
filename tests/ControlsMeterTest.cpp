// The image level meter: logarithmic scale, rise and fall, lit part drawn.
#include <gtest/gtest.h>

#include "ControlsTestSupport.h"
#include "controls/LevelMeter2.h"

using namespace controlstest;

namespace
{
const juce::Colour unlitColour (0xff2040a0);
const juce::Colour litColour (0xffe03020);

// Gives the meter a level byte of its own (it deletes it) and returns it.
std::int8_t& giveSource (LevelMeter2& meter, int value)
{
    meter.levelSource = new std::int8_t ((std::int8_t) value);
    return *meter.levelSource;
}

void setPictures (LevelMeter2& meter, bool lit, bool unlit)
{
    // Pictures of another size, so that the meter has to rescale them.
    meter.litImage = lit ? throughPng (makePicture (20, 60, litColour, litColour)) : juce::Image();
    meter.unlitImage = unlit ? throughPng (makePicture (20, 60, unlitColour, unlitColour)) : juce::Image();
    meter.resized();
}
} // namespace

TEST (ControlsLevelMeter, LogarithmicTargetsAndImmediateRise)
{
    LevelMeter2 meter;
    EXPECT_TRUE (meter.isTimerRunning());
    EXPECT_EQ (meter.getTimerInterval(), 60);
    meter.stopTimer(); // ticks are driven by hand here
    EXPECT_EQ (meter.getWidth(), 110);
    EXPECT_EQ (meter.getHeight(), 110);
    EXPECT_EQ (meter.currentLevel, 0);

    auto& source = giveSource (meter, 0);
    const std::pair<int, int> targets[] = { { 0, 0 }, { 1, 18 }, { 2, 28 }, { 3, 36 }, { 9, 60 },
                                            { 15, 73 }, { 31, 91 }, { 63, 109 }, { 99, 121 },
                                            { 118, 125 }, { 119, 126 }, { 123, 126 }, { 127, 126 } };
    for (auto [s, v] : targets)
    {
        meter.currentLevel = 0;
        source = (std::int8_t) s;
        meter.timerCallback();
        EXPECT_EQ (meter.currentLevel, v) << "source " << s;
    }

    // A target above the level shows at once, however low the level was.
    meter.currentLevel = 3;
    source = 127;
    meter.timerCallback();
    EXPECT_EQ (meter.currentLevel, 126);
}

TEST (ControlsLevelMeter, FallsBackInSixtyFourTicksFrom126)
{
    LevelMeter2 meter;
    meter.stopTimer();
    auto& source = giveSource (meter, 127);
    meter.timerCallback();
    ASSERT_EQ (meter.currentLevel, 126);

    source = 0;
    for (int tick = 1; tick <= 62; ++tick)
    {
        meter.timerCallback();
        ASSERT_EQ (meter.currentLevel, 126 - 2 * tick) << "tick " << tick;
    }
    meter.timerCallback();
    EXPECT_EQ (meter.currentLevel, 1);
    meter.timerCallback();
    EXPECT_EQ (meter.currentLevel, 0);
    meter.timerCallback();
    EXPECT_EQ (meter.currentLevel, 0);

    // A fall stops at a target above 0.
    meter.currentLevel = 80;
    source = 9; // 60
    for (int i = 0; i < 20; ++i)
        meter.timerCallback();
    EXPECT_EQ (meter.currentLevel, 60);
}

TEST (ControlsLevelMeter, NoSourceNoChangeAndNegativeSourcesNeverGoBelowZero)
{
    LevelMeter2 meter;
    meter.stopTimer();
    meter.currentLevel = 40;
    meter.timerCallback();
    EXPECT_EQ (meter.currentLevel, 40);

    auto& source = giveSource (meter, -1);
    for (int value : { -1, -2, -128 })
    {
        source = (std::int8_t) value;
        meter.currentLevel = 5;
        for (int i = 0; i < 10; ++i)
            meter.timerCallback();
        EXPECT_EQ (meter.currentLevel, 0) << "source " << value;
    }

    // A real level after a negative one rises as usual.
    source = 63;
    meter.timerCallback();
    EXPECT_EQ (meter.currentLevel, 109);
}

TEST (ControlsLevelMeter, LitPartStartsAtTheLevelInARealWindow)
{
    LevelMeter2 meter;
    meter.stopTimer();
    OnScreen shown (meter, { 40, 40, 110, 110 });
    setPictures (meter, true, true);

    for (auto [level, top] : { std::pair<int, int> { 64, 55 }, { 126, 2 }, { 0, 110 }, { 1, 110 }, { 2, 109 } })
    {
        meter.currentLevel = level;
        const auto img = meter.createComponentSnapshot (meter.getLocalBounds(), true, 1.0f);
        EXPECT_EQ (meter.litTop, top) << "level " << level;
        if (top > 0)
        {
            EXPECT_TRUE (near (img.getPixelAt (55, top - 1), unlitColour)) << "level " << level;
        }
        if (top < 110)
        {
            EXPECT_TRUE (near (img.getPixelAt (55, top), litColour)) << "level " << level;
            EXPECT_TRUE (near (img.getPixelAt (5, 109), litColour)) << "level " << level;
        }
    }
}

TEST (ControlsLevelMeter, MissingPicturesDrawOnlyWhatExists)
{
    LevelMeter2 meter;
    meter.stopTimer();
    OnScreen shown (meter, { 40, 40, 110, 110 });

    // Lit picture only: the part above the level stays empty.
    setPictures (meter, true, false);
    meter.currentLevel = 64;
    auto img = meter.createComponentSnapshot (meter.getLocalBounds(), true, 1.0f);
    EXPECT_EQ (meter.litTop, 55);
    EXPECT_EQ (img.getPixelAt (55, 54).getAlpha(), 0);
    EXPECT_TRUE (near (img.getPixelAt (55, 55), litColour));

    // Unlit picture only: litTop 0 and the unlit picture everywhere.
    setPictures (meter, false, true);
    img = meter.createComponentSnapshot (meter.getLocalBounds(), true, 1.0f);
    EXPECT_EQ (meter.litTop, 0);
    EXPECT_TRUE (near (img.getPixelAt (55, 109), unlitColour));
    EXPECT_TRUE (near (img.getPixelAt (0, 0), unlitColour));

    // Resized: the pictures follow the meter's size.
    setPictures (meter, true, true);
    meter.setSize (30, 200);
    EXPECT_EQ (meter.litScaledImage.getHeight(), 200);
    EXPECT_EQ (meter.unlitScaledImage.getWidth(), 30);
}

TEST (ControlsLevelMeter, RealTimerRisesAndFallsWithTheLoopRunning)
{
    struct CountingMeter : LevelMeter2
    {
        void paint (juce::Graphics& g) override { ++paints; LevelMeter2::paint (g); }
        int paints = 0;
    } meter;
    OnScreen shown (meter, { 40, 40, 110, 110 });
    setPictures (meter, true, true);

    auto& source = giveSource (meter, 127);
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return meter.currentLevel == 126; }, 3000));

    // 64 ticks of 60 ms: about 4 s; allow for a loaded machine.
    source = 0;
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return meter.currentLevel < 126; }, 3000));
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return meter.currentLevel == 0; }, 20000));

    // With a source the window is redrawn on every tick, also when the level stays.
    const int paints = meter.paints;
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return meter.paints >= paints + 3; }, 5000));
    EXPECT_EQ (meter.currentLevel, 0);

    // Without a source the timer leaves the level alone.
    delete meter.levelSource;
    meter.levelSource = nullptr;
    meter.currentLevel = 77;
    testsupport::pumpFor (300);
    EXPECT_EQ (meter.currentLevel, 77);
}
