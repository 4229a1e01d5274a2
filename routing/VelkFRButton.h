// A node of the routing editor: an image button for one routing port.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class VelkFRButton : public juce::ImageButton
{
public:
    // The name is the port name (prefix plus channel + 1) and the button text.
    // The images are used as normal, over and (normal again) down images.
    VelkFRButton (int kind, int channel, const juce::String& name,
                  juce::Image& normalImage, juce::Image& overImage);
    ~VelkFRButton() override;

    // Rectangle in pixels of the editor's background picture; height first.
    int designHeight = 0;
    int designWidth = 0;
    int designX = 0;
    int designY = 0;
    int designYOffset = 0;      // added to the scaled top edge, in window pixels

    bool isDestination = false; // "WDMin" / "ASIOin"
    bool occupied = false;      // a source that carries its one wire
    int kind = 0;               // PortKind
    int channel = 0;            // 0-based

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VelkFRButton)
};
