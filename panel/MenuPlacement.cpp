#include "panel/MenuPlacement.h"

namespace MenuPlacement
{
juce::Rectangle<int> routingWindowBounds (juce::Point<int> panelTopLeft, int panelWidth, int monitorWidth,
                                          juce::Point<int> windowSize)
{
    int roomRight = monitorWidth - (panelTopLeft.x + panelWidth);
    int roomLeft = panelTopLeft.x - windowSize.x;

    if (roomRight < 0)
    {
        roomRight += monitorWidth;
        roomLeft -= monitorWidth;
    }

    const int x = roomLeft < roomRight ? panelTopLeft.x + panelWidth : panelTopLeft.x - windowSize.x;
    return { x, panelTopLeft.y, windowSize.x, windowSize.y };
}

juce::Rectangle<int> aboutWindowBounds (juce::Rectangle<int> panelScreenBounds, juce::Point<int> windowSize)
{
    return { panelScreenBounds.getX(), panelScreenBounds.getY() + 50, windowSize.x, windowSize.y };
}

juce::Rectangle<int> keptInside (juce::Rectangle<int> window, juce::Rectangle<int> area)
{
    const int x = juce::jmax (area.getX(), juce::jmin (window.getX(), area.getRight() - window.getWidth()));
    const int y = juce::jmax (area.getY(), juce::jmin (window.getY(), area.getBottom() - window.getHeight()));
    return window.withPosition (x, y);
}
} // namespace MenuPlacement
