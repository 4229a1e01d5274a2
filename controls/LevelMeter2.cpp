#include "controls/LevelMeter2.h"

#include "controls/VelkImageScaling.h"

#include <cmath>

namespace
{
// Display position of a source value: ln (s + 1) on a scale where 123 gives 126.
std::int64_t targetLevel (int source)
{
    // Values below 0 lie outside the scale and count as silence.
    const int m = juce::jlimit (0, 123, source);
    return (std::int64_t) (std::log ((float) (m + 1)) * 26.33745f);
}
} // namespace

LevelMeter2::LevelMeter2()
{
    setSize (110, 110);
    startTimer (60);
}

LevelMeter2::~LevelMeter2()
{
    stopTimer();
    delete levelSource;
}

void LevelMeter2::resized()
{
    litScaledImage = rescaledPicture (litImage, getWidth(), getHeight());
    unlitScaledImage = rescaledPicture (unlitImage, getWidth(), getHeight());
}

void LevelMeter2::timerCallback()
{
    if (levelSource == nullptr)
        return;

    const auto v = targetLevel ((int) *levelSource);

    if (currentLevel <= v)
        currentLevel = v;
    else
        currentLevel -= (currentLevel >= 3 ? 2 : 1);

    repaint();
}

void LevelMeter2::paint (juce::Graphics& g)
{
    const int h = litScaledImage.isNull() ? 0 : litScaledImage.getHeight();
    litTop = h - (int) (currentLevel * h / 128);

    // A level written by the owner outside 0 to 128 never draws outside the picture.
    const int top = juce::jlimit (0, h, litTop);

    if (! unlitScaledImage.isNull())
        g.drawImageAt (unlitScaledImage, 0, 0);

    if (! litScaledImage.isNull())
    {
        const int w = litScaledImage.getWidth();
        if (top < h)
            g.drawImage (litScaledImage, 0, top, w, h - top, 0, top, w, h - top);
    }
}
