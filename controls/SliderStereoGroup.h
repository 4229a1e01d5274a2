// The output-volume control: two vertical faders in dB, linked while the
// pointer rests in the strip between their centres (moving one then moves the
// other by the same amount). Every user change goes out as the action message
// "volume_update".
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class VelkSliderLookAndFeel;

class SliderStereoGroup : public juce::Component,
                          public juce::Slider::Listener,
                          public juce::Timer,
                          public juce::ActionBroadcaster
{
public:
    // A fader's rectangle at design scale, in the order height, width, x, y.
    struct DesignRect
    {
        int height = 0;
        int width = 0;
        int x = 0;
        int y = 0;
    };

    // A fader's scaled rectangle, in the order x, y, height, width.
    struct BoundsRect
    {
        int x = 0;
        int y = 0;
        int height = 0;
        int width = 0;
    };

    SliderStereoGroup();
    ~SliderStereoGroup() override;

    void mouseMove (const juce::MouseEvent& e) override;
    void mouseDown (const juce::MouseEvent& e) override;
    void mouseDrag (const juce::MouseEvent& e) override;
    void mouseUp (const juce::MouseEvent& e) override;
    void mouseDoubleClick (const juce::MouseEvent& e) override;
    void mouseWheelMove (const juce::MouseEvent& e, const juce::MouseWheelDetails& wheel) override;
    void paint (juce::Graphics& g) override;
    void resized() override;

    void sliderValueChanged (juce::Slider* slider) override;
    void timerCallback() override;
    void sliderDragStarted (juce::Slider* slider) override;

    // Device values in dB into both faders (no listener call); reports each
    // side whose value differs from the fader's.
    void setLevels (double left, double right);
    // Clears the look of both faders (before the owner destroys it).
    void removeLookAndFeel();
    // Follows a change of the link state into the look and the faders.
    void switchLookAndFeel();
    // Moves both faders one linkStep down (direction > 0) or up (< 0) and reports it.
    void moveLinkedSliders (int direction);

    DesignRect leftSliderDesign;
    DesignRect rightSliderDesign;
    int designHeight = 0;
    int designWidth = 0;
    int designX = 0;
    int designY = 0;
    int designYOffset = 0;
    juce::Slider leftSlider;
    juce::Slider rightSlider;
    bool mouseInLinkArea = false; // the link state
    bool wasLinked = false;
    double doubleClickValue = 0.0;
    juce::String updateMessage;
    double lastLeftValue = 0.0;
    double lastRightValue = 0.0;
    BoundsRect rightSliderBounds;
    BoundsRect leftSliderBounds;
    int linkMargin = 2;
    double linkStep = 1.0; // dB per wheel notch or drag event over the link strip
    VelkSliderLookAndFeel* sliderLookAndFeel = nullptr;
    juce::Rectangle<int> linkArea;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SliderStereoGroup)
};
