// Bounds constrainer for a top-level window whose native frame is part of the
// rectangle being constrained: the limits apply to the content area, and an
// edge or corner drag resizes the window about its previous centre.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class BorderBoundsConstrainer : public juce::ComponentBoundsConstrainer
{
public:
    BorderBoundsConstrainer() = default;
    ~BorderBoundsConstrainer() override = default;

    void checkBounds (juce::Rectangle<int>& bounds,
                      const juce::Rectangle<int>& previousBounds,
                      const juce::Rectangle<int>& limits,
                      bool isStretchingTop,
                      bool isStretchingLeft,
                      bool isStretchingBottom,
                      bool isStretchingRight) override;

    // Thickness of the native window frame around the content (top, left, bottom, right).
    juce::BorderSize<int> frameBorder;
    // Extra band at the top of the content that the limits do not count.
    int topInset = 0;
};
