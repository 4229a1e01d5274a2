// Where the panel's menu commands put the routing window and the About
// window, as plain arithmetic on screen pixels.
#pragma once

#include <juce_graphics/juce_graphics.h>

namespace MenuPlacement
{
// The routing window beside the panel, tops aligned, size unchanged:
// panelTopLeft is the panel's top-left corner on the screen, panelWidth its
// width, monitorWidth the width of the monitor area that holds the panel
// (its x and y are not used), windowSize the routing window's current size.
// It goes on the side with more room; equal room puts it on the left. When
// the panel reaches past the monitor's width, the room on the right is
// counted from the next monitor width (room right + width, room left - width).
// The result may lie off the monitor: keptInside brings it back.
juce::Rectangle<int> routingWindowBounds (juce::Point<int> panelTopLeft, int panelWidth, int monitorWidth,
                                          juce::Point<int> windowSize);

// The About window 50 pixels below the panel's top-left corner, size kept.
juce::Rectangle<int> aboutWindowBounds (juce::Rectangle<int> panelScreenBounds, juce::Point<int> windowSize);

// The window moved the least distance that puts it inside area, size kept. A
// window larger than the area keeps its top-left corner (and so its title bar)
// inside it.
juce::Rectangle<int> keptInside (juce::Rectangle<int> window, juce::Rectangle<int> area);
} // namespace MenuPlacement
