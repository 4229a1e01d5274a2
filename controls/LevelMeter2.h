// Vertical image meter: the unlit picture with the lit one drawn over it from
// the bottom up to the current level. The level byte is polled every 60 ms,
// shown on a logarithmic scale, rises at once and falls back slowly.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include <cstdint>

class LevelMeter2 : public juce::Component,
                    public juce::Timer
{
public:
    LevelMeter2();
    ~LevelMeter2() override;

    void paint (juce::Graphics& g) override;
    void resized() override;
    void timerCallback() override;

    juce::Image litScaledImage;
    juce::Image unlitScaledImage;
    juce::Image litImage;
    juce::Image unlitImage;
    // Where the level is read; owned by the meter (deleted with it) unless the
    // owner sets it back to null first.
    std::int8_t* levelSource = nullptr;
    // Level shown, in 128ths of the meter's height (0 to 126).
    std::int64_t currentLevel = 0;
    // First lit row, worked out by paint.
    int litTop = 0;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (LevelMeter2)
};
