// An image button that carries its rectangle on the owner's background
// picture, so that the owner can keep it on its spot at any window size.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include "controls/VelkRounding.h"

// Places a design rectangle (in pixels of a background picture) into an owner
// scaled by sx and sy. Edges go to the nearest integer, halves to even; width
// and height come from the scaled edges before rounding. yOffset is in window
// pixels and is added unscaled.
inline juce::Rectangle<int> scaledDesignBounds (int designX, int designY, int designWidth, int designHeight,
                                                int designYOffset, double sx, double sy)
{
    const double left = designX * sx;
    const double top = designY * sy;
    return { roundHalfEven (left),
             roundHalfEven (top) + designYOffset,
             roundHalfEven ((designX + designWidth) * sx - left),
             roundHalfEven ((designY + designHeight) * sy - top) };
}

class VelkImageButton : public juce::ImageButton
{
public:
    explicit VelkImageButton (const juce::String& name);
    ~VelkImageButton() override;

    // Rectangle in pixels of the owner's background picture; height first.
    int designHeight = 0;
    int designWidth = 0;
    int designX = 0;
    int designY = 0;
    // Added to the scaled top edge, in window pixels.
    int designYOffset = 0;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VelkImageButton)
};
