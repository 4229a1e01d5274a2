// Size rules of a top-level window with a native title bar: the limits and
// ratio of its picture, which may lie below a band of its own (the in-window
// menu bar) that the rules do not count.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <optional>

struct WindowSizeRules
{
    int minWidth = 0, minHeight = 0, maxWidth = 0, maxHeight = 0;
    // Width over height of the picture as whole numbers; 0 for no fixed ratio.
    int ratioWidth = 0, ratioHeight = 0;
    // The band above the picture.
    int topInset = 0;

    // True when a window of this size keeps the rules (the ratio to within
    // two pixels).
    bool fits (int windowWidth, int windowHeight) const;
};

// Tells the window manager the window's rules through its size hints
// (WM_NORMAL_HINTS: minimum and maximum size, and the ratio with the band as
// base size), keeping what else the hints hold. The toolkit rewrites the hints
// whenever it moves or resizes the window, so the window calls this again
// after each such change. Does nothing without a native window or X display.
void publishSizeHints (juce::Component& window, const WindowSizeRules& rules);

// Hands X events that wait in Xlib's queue to the toolkit. The toolkit reads
// its X events only when data arrives on the connection, but any request with
// a reply made outside its event handler (a pointer query, a window property
// read, as its own resize does) also reads the events already sent into
// Xlib's queue, where nothing reaches them until more data arrives. On a quiet
// display that can be never: a resize from outside left uncorrected, a window
// shown late. Looked for at each display refresh of the given window (the
// toolkit's own repaint tick, which runs anyway), so this adds no wake-ups.
//
// It also mends a mouse button the toolkit takes as held when the server holds
// none. The toolkit can take a button's state from the server rather than from
// the event it handles (the first pointer move after a menu was open); handled
// late, that move picks up a press meant for the window manager (Alt and the
// right button on a frame), whose release then never comes to us. Every later
// click would count as part of that drag: no menu opens, no control responds.
// While a button is taken as held, the server is asked every 50 ms at most.
class QueuedXEventDispatcher final
{
public:
    explicit QueuedXEventDispatcher (juce::Component& windowWithTick);

    // Dispatches the queued events now; true when there were any.
    bool dispatchQueued();

    // When the toolkit takes a mouse button as held, the server holds none and
    // no release waits to be handled, releases it where the pointer is; true
    // when it did.
    bool releaseLostButtons();

private:
    void onTick();

    juce::VBlankAttachment tick;
    juce::uint32 lastButtonCheck = 0;
};

// Keeps a top-level window within its rules and in its place: publishes the
// rules whenever the window moves, changes size, is shown or gets a new native
// window; brings a size imposed from outside (a window manager without the
// hints, another program's resize request, a bare server) back through the
// window's constrainer once the resize has been handled; and when a window
// manager frames a window placed before its frame was known, and so puts the
// frame where the window was to be, moves the window back to its place.
class WindowKeeper final : private juce::ComponentListener, private juce::Timer
{
public:
    WindowKeeper (juce::ResizableWindow& windowToKeep, const WindowSizeRules& rulesToKeep);
    ~WindowKeeper() override;

    // The window's paint() calls this: the toolkit rewrites the hints once more
    // just before a new native window's first paint.
    void windowPainted();

    const WindowSizeRules rules;

private:
    void componentMovedOrResized (juce::Component&, bool, bool) override { keepPlace(); windowChanged(); }
    void componentVisibilityChanged (juce::Component&) override { windowChanged(); }
    void componentParentHierarchyChanged (juce::Component&) override;

    void windowChanged();
    bool needsCorrection() const;
    void keepPlace();
    // The frame can become known without a move: looked for until it is.
    void timerCallback() override;

    juce::ResizableWindow& window;
    bool correctionPending = false, firstPaintPending = true;
    // Where the program put the window while its frame was not known.
    std::optional<juce::Rectangle<int>> placedUnframed;
    juce::uint32 placedAt = 0;
    juce::WeakReference<WindowKeeper>::Master masterReference;
    friend class juce::WeakReference<WindowKeeper>;
};
