#include "panel/RaiseWindow.h"

#include <dlfcn.h>

namespace
{
// XRaiseWindow on the window, through a connection of our own (the toolkit's
// is not reachable from here). Under a window manager the request goes to the
// manager, which stacks the window as it sees fit.
void raiseNativeWindow (void* nativeHandle)
{
    using OpenDisplay = void* (*) (const char*);
    using RaiseWindow = int (*) (void*, unsigned long);
    using Flush = int (*) (void*);
    using CloseDisplay = int (*) (void*);

    static void* const x11 = ::dlopen ("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
    if (x11 == nullptr || nativeHandle == nullptr)
        return;

    auto openDisplay = reinterpret_cast<OpenDisplay> (::dlsym (x11, "XOpenDisplay"));
    auto raiseWindow = reinterpret_cast<RaiseWindow> (::dlsym (x11, "XRaiseWindow"));
    auto flush = reinterpret_cast<Flush> (::dlsym (x11, "XFlush"));
    auto closeDisplay = reinterpret_cast<CloseDisplay> (::dlsym (x11, "XCloseDisplay"));
    if (openDisplay == nullptr || raiseWindow == nullptr || flush == nullptr || closeDisplay == nullptr)
        return;

    if (void* display = openDisplay (nullptr))
    {
        raiseWindow (display, (unsigned long) reinterpret_cast<juce::pointer_sized_uint> (nativeHandle));
        flush (display);
        closeDisplay (display);
    }
}
} // namespace

void raiseToFront (juce::Component& window)
{
    window.setVisible (true);
    window.toFront (true);

    if (auto* peer = window.getPeer())
        raiseNativeWindow (peer->getNativeHandle());
}
