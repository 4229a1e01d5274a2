// The toolkit's X declarations (its display and Xlib entry points).
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include "panel/WindowSizeRules.h"

#include <juce_events/native/juce_linux_EventLoopInternal.h>

#include <cmath>
#include <dlfcn.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

bool WindowSizeRules::fits (int windowWidth, int windowHeight) const
{
    // Whole pixels, and a window manager's own rounding of the ratio: a size
    // it settles on must not be corrected into one it changes again.
    constexpr double slack = 2.0;
    const int w = windowWidth, h = windowHeight - topInset;

    if (w < minWidth || w > maxWidth || h < minHeight || h > maxHeight)
        return false;

    if (ratioWidth <= 0 || ratioHeight <= 0)
        return true;

    const double ratio = (double) ratioWidth / ratioHeight;
    return std::abs (w - h * ratio) <= slack || std::abs (h - w / ratio) <= slack;
}

namespace
{
// Xlib, loaded as the toolkit loads it, through one connection of our own
// that stays open for the life of the process.
struct Xlib
{
    using OpenDisplay = Display* (*) (const char*);
    using GetHints = Status (*) (Display*, Window, XSizeHints*, long*);
    using SetHints = void (*) (Display*, Window, XSizeHints*);
    using Sync = int (*) (Display*, Bool);

    OpenDisplay openDisplay = nullptr;
    GetHints getHints = nullptr;
    SetHints setHints = nullptr;
    Sync sync = nullptr;
    Display* display = nullptr;

    static Xlib& get()
    {
        static Xlib x;
        return x;
    }

private:
    Xlib()
    {
        void* lib = ::dlopen ("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
        if (lib == nullptr)
            return;

        openDisplay = reinterpret_cast<OpenDisplay> (::dlsym (lib, "XOpenDisplay"));
        getHints = reinterpret_cast<GetHints> (::dlsym (lib, "XGetWMNormalHints"));
        setHints = reinterpret_cast<SetHints> (::dlsym (lib, "XSetWMNormalHints"));
        sync = reinterpret_cast<Sync> (::dlsym (lib, "XSync"));

        if (openDisplay != nullptr && getHints != nullptr && setHints != nullptr && sync != nullptr)
            display = openDisplay (nullptr);
    }
};
} // namespace

void publishSizeHints (juce::Component& window, const WindowSizeRules& rules)
{
    auto* peer = window.getPeer();
    auto& x = Xlib::get();
    if (peer == nullptr || x.display == nullptr || peer->getNativeHandle() == nullptr)
        return;

    const auto handle = (Window) reinterpret_cast<juce::pointer_sized_uint> (peer->getNativeHandle());

    // The toolkit writes the hints through its own connection, perhaps still
    // buffered: asking for the pointer is a round trip on that connection, so
    // its requests reach the server before ours and ours come last.
    juce::Desktop::getMousePosition();

    XSizeHints hints {};
    long supplied = 0;
    if (x.getHints (x.display, handle, &hints, &supplied) == 0)
        hints = {};

    const double scale = peer->getPlatformScaleFactor();
    const auto px = [scale] (int v) { return juce::jmax (1, juce::roundToInt (v * scale)); };
    const int band = juce::roundToInt (rules.topInset * scale);

    hints.flags |= PMinSize | PMaxSize;
    hints.min_width = px (rules.minWidth);
    hints.min_height = px (rules.minHeight) + band;
    hints.max_width = px (rules.maxWidth);
    hints.max_height = px (rules.maxHeight) + band;

    if (rules.ratioWidth > 0 && rules.ratioHeight > 0)
    {
        // The ratio holds for the size less the base size: the band.
        hints.flags |= PAspect | PBaseSize;
        hints.min_aspect.x = hints.max_aspect.x = rules.ratioWidth;
        hints.min_aspect.y = hints.max_aspect.y = rules.ratioHeight;
        hints.base_width = 0;
        hints.base_height = band;
    }

    x.setHints (x.display, handle, &hints);
    // Written before the toolkit's next request (a map) reaches the server.
    x.sync (x.display, False);
}

//==============================================================================
QueuedXEventDispatcher::QueuedXEventDispatcher (juce::Component& windowWithTick)
    : tick (&windowWithTick, [this] { onTick(); })
{
}

void QueuedXEventDispatcher::onTick()
{
    dispatchQueued();

    const auto now = juce::Time::getMillisecondCounter();
    if (now - lastButtonCheck >= 50)
    {
        lastButtonCheck = now;
        releaseLostButtons();
    }
}

bool QueuedXEventDispatcher::dispatchQueued()
{
    auto* system = juce::XWindowSystem::getInstanceWithoutCreating();
    auto* display = system != nullptr ? system->getDisplay() : nullptr;
    if (display == nullptr)
        return false;

    auto& x11 = *juce::X11Symbols::getInstance();
    int queued = 0, fd = 0;
    {
        juce::XWindowSystemUtilities::ScopedXLock lock;
        queued = x11.xEventsQueued (display, QueuedAlready);
        fd = x11.xConnectionNumber (display);
    }

    // The toolkit's handler for its connection reads every queued event.
    if (queued > 0)
        juce::LinuxEventLoopInternal::invokeEventLoopCallbackForFd (fd);

    return queued > 0;
}

bool QueuedXEventDispatcher::releaseLostButtons()
{
    auto mouse = juce::Desktop::getInstance().getMainMouseSource();
    if (! juce::ModifierKeys::currentModifiers.isAnyMouseButtonDown() && ! mouse.isDragging())
        return false;

    auto* system = juce::XWindowSystem::getInstanceWithoutCreating();
    auto* display = system != nullptr ? system->getDisplay() : nullptr;
    if (display == nullptr)
        return false;

    auto& x11 = *juce::X11Symbols::getInstance();
    unsigned int mask = 0;
    {
        // Asked on the toolkit's connection: a release the server sent before
        // its answer is then in Xlib's queue, to be handled as it came.
        juce::XWindowSystemUtilities::ScopedXLock lock;
        ::Window root = 0, child = 0;
        int rootX = 0, rootY = 0, x = 0, y = 0;
        const auto rootWindow = x11.xRootWindow (display, x11.xDefaultScreen (display));
        if (x11.xQueryPointer (display, rootWindow, &root, &child, &rootX, &rootY, &x, &y, &mask) == False
            || x11.xEventsQueued (display, QueuedAlready) > 0)
            return false;
    }

    if ((mask & (Button1Mask | Button2Mask | Button3Mask)) != 0)
        return false;

    juce::ModifierKeys::currentModifiers = juce::ModifierKeys::currentModifiers.withoutMouseButtons();

    // The release goes to the window of the component the drag began on.
    auto* under = mouse.getComponentUnderMouse();
    auto* peer = under != nullptr ? under->getPeer() : nullptr;
    if (peer == nullptr)
        peer = juce::ComponentPeer::getPeer (0);

    if (peer != nullptr)
        peer->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse,
                                peer->globalToLocal (mouse.getScreenPosition()),
                                juce::ModifierKeys::currentModifiers,
                                juce::MouseInputSource::defaultPressure,
                                juce::MouseInputSource::defaultOrientation,
                                juce::Time::currentTimeMillis());
    return true;
}

//==============================================================================
bool WindowKeeper::needsCorrection() const
{
    return ! window.isFullScreen() && ! window.isMinimised() && ! rules.fits (window.getWidth(), window.getHeight());
}

WindowKeeper::WindowKeeper (juce::ResizableWindow& windowToKeep, const WindowSizeRules& rulesToKeep)
    : rules (rulesToKeep), window (windowToKeep)
{
    window.addComponentListener (this);
}

WindowKeeper::~WindowKeeper()
{
    stopTimer();
    window.removeComponentListener (this);
    masterReference.clear();
}

void WindowKeeper::componentParentHierarchyChanged (juce::Component&)
{
    // A new native window: framed anew by a window manager.
    firstPaintPending = true;
    placedUnframed.reset();
    keepPlace();
    windowChanged();
}

void WindowKeeper::windowPainted()
{
    if (! firstPaintPending)
        return;

    firstPaintPending = false;
    juce::WeakReference<WindowKeeper> self (this);
    juce::MessageManager::callAsync ([self]
    {
        if (self != nullptr)
        {
            self->keepPlace();
            self->windowChanged();
        }
    });
}

void WindowKeeper::keepPlace()
{
    auto* peer = window.isOnDesktop() ? window.getPeer() : nullptr;
    if (peer == nullptr)
        return;

    const auto frame = peer->getFrameSizeIfPresent();
    if (! frame || (frame->getTop() == 0 && frame->getLeft() == 0))
    {
        // A shown window that moves before its frame is known is being framed
        // (the toolkit can learn the new place before the frame): the place
        // the program chose still stands.
        if (placedUnframed.has_value() && window.isShowing()
            && juce::Time::getMillisecondCounter() - placedAt <= 5000)
            return;

        placedUnframed = window.getBounds();
        placedAt = juce::Time::getMillisecondCounter();
        startTimer (50);
        return;
    }

    if (! placedUnframed.has_value())
        return;

    // The window manager frames the window in a few steps (reparenting, then
    // the placement, which can come after the frame is known); the frame's
    // corner at the wanted place is moved back, for up to 5 s.
    const auto wanted = placedUnframed->getPosition();
    const auto framed = wanted + juce::Point<int> (frame->getLeft(), frame->getTop());
    const auto here = window.getPosition();

    if (juce::Time::getMillisecondCounter() - placedAt > 5000)
    {
        placedUnframed.reset();
    }
    else if (here == framed)
    {
        // The toolkit places a window whose frame it knows by its client area.
        placedUnframed.reset();
        window.setTopLeftPosition (wanted);
    }
}

void WindowKeeper::timerCallback()
{
    if (placedUnframed.has_value() && juce::Time::getMillisecondCounter() - placedAt <= 5000)
        keepPlace();
    else
        stopTimer();
}

void WindowKeeper::windowChanged()
{
    if (! window.isOnDesktop())
        return;

    // The window hands its constrainer to the native window whenever it moves
    // or shows, and the native window then rewrites the hints from it on every
    // configure event: the whole limits less the frame, and no ratio. The
    // rules here are the ones the window manager is to see, so take it back.
    if (auto* peer = window.getPeer())
        peer->setConstrainer (nullptr);

    publishSizeHints (window, rules);

    if (correctionPending || ! needsCorrection())
        return;

    correctionPending = true;
    juce::WeakReference<WindowKeeper> self (this);
    juce::MessageManager::callAsync ([self]
    {
        if (self == nullptr)
            return;

        self->correctionPending = false;
        if (self->needsCorrection())
            if (auto* c = self->window.getConstrainer())
                c->checkComponentBounds (&self->window);
    });
}
