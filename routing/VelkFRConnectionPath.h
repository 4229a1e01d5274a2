// A wire of the routing editor: a quadratic curve from one node's centre to
// another's. The editor owns, paints and hit-tests it; it is never a child
// component. Its timer ends the short flash shown when the user picks it.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class VelkFRButton;

class VelkFRConnectionPath : public juce::Component,
                             public juce::Timer
{
public:
    VelkFRConnectionPath();
    ~VelkFRConnectionPath() override;

    // Connects the two nodes (whichever is the source), marks the source
    // occupied, rebuilds the curve from the first node's centre through the
    // control point to the second's, and colours it by the source's name.
    void setAPath (VelkFRButton* firstNode, VelkFRButton* secondNode, juce::Point<float> controlPoint);

    // True when the flattened curve meets the segment (editor coordinates).
    bool checkIntersectionWithPath (juce::Line<float> segment) const;

    // Ends a pick flash: stops the timer, puts the wire's own colour back and
    // calls onFlashEnd (the editor repaints, as the wire is not on screen itself).
    void timerCallback() override;

    std::function<void()> onFlashEnd;

    juce::Path path;
    juce::Colour colour { juce::Colours::transparentBlack };
    juce::Colour restoreColour { juce::Colours::transparentBlack };
    VelkFRButton* sourceEnd = nullptr;
    VelkFRButton* destinationEnd = nullptr;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VelkFRConnectionPath)
};
