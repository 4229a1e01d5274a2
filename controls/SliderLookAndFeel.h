// Look of the output-volume faders: a vertical slider is drawn as nothing but
// an image thumb; a marked image is shown while the fader pair is linked or
// while the pointer rests on or holds a slider.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class VelkSliderLookAndFeel : public juce::LookAndFeel_V4
{
public:
    VelkSliderLookAndFeel() = default;
    ~VelkSliderLookAndFeel() override = default;

    void drawLinearSlider (juce::Graphics& g, int x, int y, int width, int height,
                           float sliderPos, float minSliderPos, float maxSliderPos,
                           juce::Slider::SliderStyle style, juce::Slider& slider) override;

    void drawLinearSliderThumb (juce::Graphics& g, int x, int y, int width, int height,
                                float sliderPos, float minSliderPos, float maxSliderPos,
                                juce::Slider::SliderStyle style, juce::Slider& slider) override;

    int getSliderThumbRadius (juce::Slider& slider) override;

    // Layout pass: the three drawn thumbs become their sources rescaled to
    // width x height, and the linked one gets its red centre line when
    // markLinkedThumb is set. The sources are never drawn on.
    void rescaleThumbs (int width, int height);

    juce::Image linkedThumb;
    juce::Image currentThumb;
    juce::Image unlinkedThumb;
    juce::Image linkedThumbSource;
    juce::Image currentThumbSource;
    juce::Image unlinkedThumbSource;
    int thumbDesignWidth = 0;
    int thumbDesignHeight = 0;
    bool markLinkedThumb = true;
};
