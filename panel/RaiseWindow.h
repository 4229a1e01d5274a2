// Bringing one of the program's windows to the front.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// Shows the top-level window, brings it to the front and gives it the
// keyboard focus. The framework asks the window manager for that; when no
// window manager runs (a bare X server), nobody answers, so the window is
// also raised directly.
void raiseToFront (juce::Component& window);
