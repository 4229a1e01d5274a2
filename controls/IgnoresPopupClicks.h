// A control that leaves pop-up-menu clicks (the right mouse button) to its
// owner: such a click neither presses, toggles nor drags the control, while the
// control's mouse listeners still hear it (the panel offers its routing menu
// there). Clicks with any other button work as before.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

template <class Control>
class IgnoresPopupClicks : public Control
{
public:
    using Control::Control;

    void mouseDown (const juce::MouseEvent& e) override
    {
        if (! e.mods.isPopupMenu())
            Control::mouseDown (e);
    }

    void mouseDrag (const juce::MouseEvent& e) override
    {
        if (! e.mods.isPopupMenu())
            Control::mouseDrag (e);
    }

    void mouseUp (const juce::MouseEvent& e) override
    {
        if (! e.mods.isPopupMenu())
            Control::mouseUp (e);
    }

    void mouseDoubleClick (const juce::MouseEvent& e) override
    {
        if (! e.mods.isPopupMenu())
            Control::mouseDoubleClick (e);
    }
};
