// Shared set-up for the routing editor tests: routing pictures drawn here and
// encoded as real PNG data, an editor built from them, and a mouse driven
// through the window's peer with real screen positions.
#pragma once

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <memory>

#include "TestSupport.h"
#include "routing/FRDialog.h"

namespace routingtest
{
constexpr int pictureWidth = 524;
constexpr int pictureHeight = 442;

// A routing picture: a dark ground, lighter where the nodes and toggles sit
// in the lit variant.
inline juce::Image drawPicture (bool lit)
{
    juce::Image im (juce::Image::ARGB, pictureWidth, pictureHeight, true);
    juce::Graphics g (im);
    g.fillAll (juce::Colour (0xff202830));
    g.setColour (lit ? juce::Colour (0xff40ff40) : juce::Colour (0xff405060));
    g.fillRect (182, 73, 47, 30);
    g.fillRect (356, 73, 47, 30);
    g.fillRect (99, 159, 18, 18);
    g.fillRect (22, 390, 155, 31);
    g.fillRect (189, 390, 155, 31);
    return im;
}

// The two pictures as PNG bytes; the editor keeps a pointer to the unlit one,
// so one instance lives for the whole test process.
struct Pictures
{
    juce::MemoryBlock unlitPng = testsupport::encodePng (drawPicture (false));
    juce::MemoryBlock litPng = testsupport::encodePng (drawPicture (true));

    juce::Image unlit() const { return juce::ImageCache::getFromMemory (unlitPng.getData(), (int) unlitPng.getSize()); }
    juce::Image lit() const   { return juce::ImageCache::getFromMemory (litPng.getData(), (int) litPng.getSize()); }

    static const Pictures& get()
    {
        static const Pictures pictures;
        return pictures;
    }
};

// Builds an editor the way its owner does: cut-outs from the two decoded
// pictures, unlit picture data handed in.
inline std::unique_ptr<FlexrouteDialog> makeEditor()
{
    const auto& p = Pictures::get();
    return std::make_unique<FlexrouteDialog> (p.unlitPng.getData(), (int) p.unlitPng.getSize(),
                                              FlexrouteImages::cutFrom (p.unlit(), p.lit()));
}

inline juce::Point<float> centreOf (const juce::Component& c)
{
    return c.getBounds().toFloat().getCentre();
}

// Moves the X pointer into a corner, away from the test windows, so that it
// sends no events of its own into them.
inline void parkRealPointer()
{
    if (auto* display = XOpenDisplay (nullptr))
    {
        XWarpPointer (display, None, DefaultRootWindow (display), 0, 0, 0, 0, 1270, 1010);
        XSync (display, False);
        XCloseDisplay (display);
    }
}

// What the X server shows of a window on the desktop (the pixels of its own
// X window, as the user sees them): black where it cannot be read.
inline juce::Image windowPixels (juce::Component& window)
{
    juce::Image result (juce::Image::RGB, window.getWidth(), window.getHeight(), true);
    auto* peer = window.getPeer();
    auto* display = XOpenDisplay (nullptr);
    if (peer == nullptr || display == nullptr)
        return result;

    XSync (display, False);
    if (auto* xi = XGetImage (display, (::Window) (juce::pointer_sized_uint) peer->getNativeHandle(), 0, 0,
                              (unsigned) window.getWidth(), (unsigned) window.getHeight(), AllPlanes, ZPixmap))
    {
        for (int y = 0; y < window.getHeight(); ++y)
            for (int x = 0; x < window.getWidth(); ++x)
            {
                const auto v = XGetPixel (xi, x, y);
                result.setPixelAt (x, y, juce::Colour ((juce::uint8) ((v & xi->red_mask) >> 16),
                                                       (juce::uint8) ((v & xi->green_mask) >> 8),
                                                       (juce::uint8) (v & xi->blue_mask)));
            }
        XDestroyImage (xi);
    }
    XCloseDisplay (display);
    return result;
}

// The editor on the desktop in a window of its own, with a mouse that goes
// through the window's peer: hit testing, enter/exit and click counting are
// the framework's own.
class EditorWindow
{
public:
    explicit EditorWindow (std::unique_ptr<FlexrouteDialog> editorToShow = makeEditor())
        : editor (std::move (editorToShow))
    {
        parkRealPointer();
        editor->setTopLeftPosition (40, 40);
        editor->addToDesktop (juce::ComponentPeer::windowHasDropShadow);
        editor->setVisible (true);
        testsupport::pumpUntil ([this] { return editor->getPeer() != nullptr && editor->isShowing(); });
        testsupport::pumpFor (50);
        peer = editor->getPeer();
        // Let the pointer arrive over the window away from every node.
        move ({ 30.0f, 30.0f });
    }

    ~EditorWindow()
    {
        if (buttonDown)
            up (lastPos);
        move ({ 30.0f, 30.0f });
        editor->removeFromDesktop();
        testsupport::pumpFor (20);
    }

    FlexrouteDialog& operator*() const { return *editor; }
    FlexrouteDialog* operator->() const { return editor.get(); }

    void move (juce::Point<float> pos) { send (pos, false); }
    void down (juce::Point<float> pos) { send (pos, true); }
    void drag (juce::Point<float> pos) { send (pos, true); }
    void up (juce::Point<float> pos)   { send (pos, false); }

    // Press, drag in a few steps and release: a user drawing a line.
    void dragLine (juce::Point<float> from, juce::Point<float> to)
    {
        move (from);
        down (from);
        for (int i = 1; i <= 4; ++i)
            drag (from + (to - from) * (float) i / 4.0f);
        up (to);
    }

    void click (juce::Point<float> pos)
    {
        move (pos);
        down (pos);
        up (pos);
    }

    // Moves the pointer away over the background, as a user does after a
    // click; the editor's own mouseEnter drops anything left pending.
    void leaveToBackground() { move ({ 30.0f, 30.0f }); }

    // Lets more than a double-click interval pass on the events' clock, so
    // that the next press starts a new click count.
    void separateClicks() { eventTime += juce::RelativeTime::milliseconds (2 * juce::MouseEvent::getDoubleClickTimeout()); }

    std::unique_ptr<FlexrouteDialog> editor;
    juce::ComponentPeer* peer = nullptr;

private:
    void send (juce::Point<float> pos, bool pressed)
    {
        ASSERT_NE (peer, nullptr);
        const auto mods = pressed ? juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier)
                                  : juce::ModifierKeys();
        juce::ModifierKeys::currentModifiers = mods;
        // The events carry times of their own, a few milliseconds apart: the
        // framework counts presses close in time and place as one double
        // click, and that must not depend on how busy the machine is.
        eventTime += juce::RelativeTime::milliseconds (5);
        // Editor coordinates are the peer's own: the editor is the window.
        peer->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, pos, mods,
                                juce::MouseInputSource::defaultPressure,
                                juce::MouseInputSource::defaultOrientation,
                                eventTime.toMilliseconds());
        buttonDown = pressed;
        lastPos = pos;
    }

    bool buttonDown = false;
    juce::Point<float> lastPos;
    juce::Time eventTime = juce::Time::getCurrentTime();
};

// A point on a wire's curve, at the given fraction of its length.
inline juce::Point<float> pointOnWire (const VelkFRConnectionPath& wire, float fraction = 0.5f)
{
    return wire.path.getPointAlongPath (wire.path.getLength() * fraction);
}

// The first segment of a path: start point, control point and end point of
// the one quadratic that a wire holds.
struct Quadratic
{
    juce::Point<float> start, control, end;
    bool valid = false;
};

inline Quadratic quadraticOf (const juce::Path& path)
{
    Quadratic q;
    juce::Path::Iterator it (path);
    if (it.next() && it.elementType == juce::Path::Iterator::startNewSubPath)
    {
        q.start = { it.x1, it.y1 };
        if (it.next() && it.elementType == juce::Path::Iterator::quadraticTo)
        {
            q.control = { it.x1, it.y1 };
            q.end = { it.x2, it.y2 };
            q.valid = ! it.next();
        }
    }
    return q;
}
} // namespace routingtest
