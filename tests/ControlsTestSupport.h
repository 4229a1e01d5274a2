// Helpers for the controls kit's tests: components shown in real windows on
// the test display, thumb pictures made in code and decoded from PNG, the real
// pointer moved and pressed through xdotool, and pixel checks.
#pragma once

#include "TestSupport.h"

#include <juce_gui_basics/juce_gui_basics.h>
#include <cstdlib>
#include <ostream>

// Readable failure messages for message lists.
namespace juce
{
inline void PrintTo (const StringArray& strings, std::ostream* os)
{
    *os << "{ \"" << strings.joinIntoString ("\", \"") << "\" }";
}
} // namespace juce

namespace controlstest
{
// Puts a component on the desktop as a window of its own at the given screen
// bounds, and takes it off again at the end of the scope.
struct OnScreen
{
    OnScreen (juce::Component& c, juce::Rectangle<int> screenBounds) : comp (c)
    {
        comp.setBounds (screenBounds);
        comp.addToDesktop (0);
        comp.setVisible (true);
        comp.toFront (false);
        testsupport::pumpUntil ([this] { return comp.isShowing() && comp.getPeer() != nullptr; });
        testsupport::pumpFor (150); // let the server map it and the first paint happen
    }

    ~OnScreen()
    {
        comp.setVisible (false);
        comp.removeFromDesktop();
        testsupport::pumpFor (20);
    }

    juce::Component& comp;
};

// A picture of the given size in one opaque colour, with a one-pixel frame in
// another so that its edges can be found.
inline juce::Image makePicture (int w, int h, juce::Colour fill, juce::Colour frame)
{
    juce::Image img (juce::Image::ARGB, w, h, true);
    juce::Graphics g (img);
    g.fillAll (fill);
    g.setColour (frame);
    g.drawRect (0, 0, w, h, 1);
    return img;
}

// The same picture after a trip through PNG encoding and decoding.
inline juce::Image throughPng (const juce::Image& img)
{
    const auto png = testsupport::encodePng (img);
    return juce::ImageFileFormat::loadFrom (png.getData(), png.getSize());
}

inline bool near (juce::Colour a, juce::Colour b, int tolerance = 8)
{
    return std::abs (a.getRed() - b.getRed()) <= tolerance
        && std::abs (a.getGreen() - b.getGreen()) <= tolerance
        && std::abs (a.getBlue() - b.getBlue()) <= tolerance
        && std::abs (a.getAlpha() - b.getAlpha()) <= tolerance;
}

// Runs xdotool on the test display; true when it succeeded.
inline bool xdo (const juce::String& args)
{
    const auto command = "xdotool " + args + " >/dev/null 2>&1";
    return std::system (command.toRawUTF8()) == 0;
}

inline bool movePointerTo (juce::Point<int> screen)
{
    const bool ok = xdo ("mousemove " + juce::String (screen.x) + " " + juce::String (screen.y));
    testsupport::pumpFor (30);
    return ok;
}

// Runs the message loop until the test display has no mouse button held: once
// the release is seen, every pointer event sent before it has been handled.
inline bool waitForButtonsUp()
{
    return testsupport::pumpUntil ([] { return ! juce::ModifierKeys::currentModifiers.isAnyMouseButtonDown(); });
}

// Collects the action messages of a broadcaster.
struct MessageLog : juce::ActionListener
{
    void actionListenerCallback (const juce::String& message) override { messages.add (message); }
    juce::StringArray messages;
};
} // namespace controlstest
