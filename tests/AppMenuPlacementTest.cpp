// Placement of the routing window beside the panel and of the About window.
#include "panel/MenuPlacement.h"

#include <gtest/gtest.h>

using MenuPlacement::routingWindowBounds;

TEST (AppMenuPlacement, RoutingWindowGoesToTheSideWithMoreRoom)
{
    const juce::Point<int> size (366, 309);

    // Panel near the left edge: room left negative, right positive -> right.
    EXPECT_EQ (routingWindowBounds ({ 10, 40 }, 329, 1280, size), juce::Rectangle<int> (339, 40, 366, 309));

    // Panel near the right edge -> left, tops aligned, size unchanged.
    EXPECT_EQ (routingWindowBounds ({ 900, 70 }, 329, 1280, size), juce::Rectangle<int> (534, 70, 366, 309));

    // Panel in the middle, more room on the left -> left.
    EXPECT_EQ (routingWindowBounds ({ 700, 0 }, 329, 1280, size).getX(), 334);
}

TEST (AppMenuPlacement, TiesAndWrapPastTheMonitorWidth)
{
    // Tie with a real window: right = 1000 - (500 + 100) = 400, left = 500 - 100 = 400 -> left.
    EXPECT_EQ (routingWindowBounds ({ 500, 20 }, 100, 1000, { 100, 10 }).getX(), 400);
    // One more pixel to the left makes the right side roomier -> right.
    EXPECT_EQ (routingWindowBounds ({ 499, 20 }, 100, 1000, { 100, 10 }).getX(), 599);

    // Panel's right edge past the monitor width: right = 1000 - 1050 = -50
    // becomes 950, left = 950 - 300 = 650 becomes -350 -> right, off-screen
    // (the command then keeps it inside, below).
    EXPECT_EQ (routingWindowBounds ({ 950, 0 }, 100, 1000, { 300, 200 }), juce::Rectangle<int> (1050, 0, 300, 200));

    // Monitor narrower than the panel's left part: right = 500 - 700 = -200
    // becomes 300, left = 600 - 366 = 234 becomes -266 -> right.
    EXPECT_EQ (routingWindowBounds ({ 600, 0 }, 100, 500, { 366, 309 }).getX(), 700);

    // Negative panel position (panel partly off the left edge): left < 0 -> right.
    EXPECT_EQ (routingWindowBounds ({ -50, -10 }, 329, 1280, { 366, 309 }), juce::Rectangle<int> (279, -10, 366, 309));
}

TEST (AppMenuPlacement, AboutWindowFiftyPixelsBelowThePanelCorner)
{
    EXPECT_EQ (MenuPlacement::aboutWindowBounds ({ 120, 80, 329, 457 }, { 300, 200 }),
               juce::Rectangle<int> (120, 130, 300, 200));
    EXPECT_EQ (MenuPlacement::aboutWindowBounds ({ -20, -60, 10, 10 }, { 1, 2 }), juce::Rectangle<int> (-20, -10, 1, 2));
}

TEST (AppMenuPlacement, KeptInsideMovesTheLeastDistanceIntoTheArea)
{
    using MenuPlacement::keptInside;
    const juce::Rectangle<int> area (0, 24, 1280, 1000);

    // Inside already: unchanged.
    EXPECT_EQ (keptInside ({ 100, 50, 366, 309 }, area), juce::Rectangle<int> (100, 50, 366, 309));
    // Off the right edge (the panel at the right edge): its right edge on the area's.
    EXPECT_EQ (keptInside ({ 1329, 300, 366, 309 }, area), juce::Rectangle<int> (914, 300, 366, 309));
    // Off the left and the top: only as far as needed on each axis.
    EXPECT_EQ (keptInside ({ -40, 10, 366, 309 }, area), juce::Rectangle<int> (0, 24, 366, 309));
    // Below the bottom.
    EXPECT_EQ (keptInside ({ 50, 900, 531, 212 }, area), juce::Rectangle<int> (50, 812, 531, 212));
    // Larger than the area: the top-left corner stays inside.
    EXPECT_EQ (keptInside ({ 200, 500, 1400, 1100 }, area), juce::Rectangle<int> (0, 24, 1400, 1100));
    // A second monitor's area at an offset.
    EXPECT_EQ (keptInside ({ 3000, 40, 366, 309 }, { 1280, 0, 1920, 1080 }), juce::Rectangle<int> (2834, 40, 366, 309));
}
