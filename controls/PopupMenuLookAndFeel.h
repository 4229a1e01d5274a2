// Look of an in-window menu bar: flat light-grey bar, black centred item
// names, no hover or open-menu highlight, items as wide as their text plus a
// fixed margin. Pop-up menus keep the framework's look.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class PopupMenuLookandFeel : public juce::LookAndFeel_V4
{
public:
    PopupMenuLookandFeel() = default;
    ~PopupMenuLookandFeel() override = default;

    void drawMenuBarBackground (juce::Graphics& g, int width, int height,
                                bool isMouseOverBar, juce::MenuBarComponent& menuBar) override;

    int getMenuBarItemWidth (juce::MenuBarComponent& menuBar, int itemIndex,
                             const juce::String& itemText) override;

    void drawMenuBarItem (juce::Graphics& g, int width, int height,
                          int itemIndex, const juce::String& itemText,
                          bool isMouseOverItem, bool isMenuOpen, bool isMouseOverBar,
                          juce::MenuBarComponent& menuBar) override;
};
