// A dialog window of the panel. The toolkit's own dialog builder puts the
// window on the desktop first and then changes its title bar and resizing,
// and each change makes a new native window and maps it, although the window
// still counts as hidden. This one takes every setting before its native
// window exists, and goes on the desktop once, when a command first shows it.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <optional>

#include "panel/WindowSizeRules.h"

class PanelDialogWindow : public juce::DialogWindow
{
public:
    // Title, background colour, content, escape key and title bar from the
    // options. With rules the window is resizable by its frame (no corner
    // resizer) within them; without, it keeps the content's size.
    PanelDialogWindow (juce::DialogWindow::LaunchOptions& options,
                       const std::optional<WindowSizeRules>& rules,
                       std::optional<juce::Point<int>> initialSize = std::nullopt);

    // The close button, the escape key and the window manager's close all hide it.
    void closeButtonPressed() override;

    // Showing the window first gives it the "always on top" state of the
    // owner's window (as the toolkit's own dialogs take it when they are
    // made); the first show also makes its native window. The toolkit hands a
    // click to the window it counts as the front one, and it counts an
    // always-on-top window in front of every other: a dialog raised above an
    // always-on-top main window without that state would be drawn on top while
    // its clicks went to the window behind.
    void setVisible (bool shouldBeVisible) override;

    // The component whose window the dialog follows (the panel).
    void setOwner (juce::Component* newOwner) { owner = newOwner; }

    void paint (juce::Graphics&) override;

    // The rules the window keeps (fixed at its size when not resizable).
    const WindowSizeRules& sizeRules() const { return keeper->rules; }

private:
    std::unique_ptr<WindowKeeper> keeper;
    juce::Component::SafePointer<juce::Component> owner;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PanelDialogWindow)
};
