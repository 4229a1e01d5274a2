#include "PanelTestSupport.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace paneltest
{
ServerView serverView (juce::Component& window)
{
    ServerView view;
    auto* peer = window.getPeer();
    Display* display = XOpenDisplay (nullptr);
    if (peer == nullptr || display == nullptr)
    {
        if (display != nullptr)
            XCloseDisplay (display);
        return view;
    }

    const auto handle = (Window) reinterpret_cast<juce::pointer_sized_uint> (peer->getNativeHandle());
    XWindowAttributes attributes {};
    if (XGetWindowAttributes (display, handle, &attributes) != 0)
        view.mapped = attributes.map_state != IsUnmapped;

    XSizeHints hints {};
    long supplied = 0;
    if (XGetWMNormalHints (display, handle, &hints, &supplied) != 0)
    {
        view.flags = hints.flags;
        if ((hints.flags & PMinSize) != 0) { view.minW = hints.min_width; view.minH = hints.min_height; }
        if ((hints.flags & PMaxSize) != 0) { view.maxW = hints.max_width; view.maxH = hints.max_height; }
        if ((hints.flags & PAspect) != 0 && hints.min_aspect.x == hints.max_aspect.x && hints.min_aspect.y == hints.max_aspect.y)
        {
            view.aspectW = hints.min_aspect.x;
            view.aspectH = hints.min_aspect.y;
        }
        if ((hints.flags & PBaseSize) != 0)
            view.baseH = hints.base_height;
    }

    XCloseDisplay (display);
    return view;
}
} // namespace paneltest
