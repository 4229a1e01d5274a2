// Placeholder menu model: no menus yet.
#include "panel/MainComponent.h"

juce::StringArray MainComponent::getMenuBarNames() { return {}; }

juce::PopupMenu MainComponent::getMenuForIndex (int, const juce::String&) { return {}; }

void MainComponent::menuItemSelected (int, int) {}
