// Installing the application's main menu. There is no system menu bar on
// this platform, so the menus are offered by a menu bar inside the panel: the
// bar gets the model and the menu look, and the height it needs is returned
// so that the panel's layout can reserve it.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// Makes model's menus reachable through bar, drawn with look (may be null).
// Returns the bar's height in pixels.
int installMainMenu (juce::MenuBarComponent& bar, juce::MenuBarModel* model, juce::LookAndFeel* look);

// Detaches the model and the look from bar again.
void removeMainMenu (juce::MenuBarComponent& bar);
