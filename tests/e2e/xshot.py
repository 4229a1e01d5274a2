#!/usr/bin/python3
"""Helpers for the end-to-end tests: looking at screenshots and talking to X.

  xshot.py green FILE X Y W H          count of clearly green pixels in the area
  xshot.py diffbox A B                 bounding box "x y w h" of the pixels that differ (or "none")
  xshot.py columns FILE X Y W H        centres "x ..." of the runs of columns holding text
  xshot.py rows FILE X Y W H           centres "y ..." of the runs of rows holding text
  xshot.py areadiff A B X Y W H        number of pixels that differ in the area
  xshot.py close WINDOW_ID             sends WM_DELETE_WINDOW (the window's close button)
  xshot.py intern                      makes the window-manager atoms exist on the display

"Text" is any pixel that differs strongly from the area's most common colour
(its background), so it works for dark text on light bars and light text on
dark menus alike; thin runs (frames, separators) are left out.
"""
import ctypes
import sys
from collections import Counter

from PIL import Image, ImageChops


def load(path):
    return Image.open(path).convert("RGB")


def area(img, x, y, w, h):
    return img.crop((x, y, x + w, y + h))


def ink_mask(img):
    px = list(img.getdata())
    bg = Counter(px).most_common(1)[0][0]
    w, h = img.size
    return [[sum(abs(a - b) for a, b in zip(px[j * w + i], bg)) > 300 for i in range(w)] for j in range(h)]


def runs(flags, min_gap, min_len=1):
    out, start, last = [], None, None
    for i, f in enumerate(flags):
        if f:
            if start is None:
                start = i
            elif i - last > min_gap:
                out.append((start, last))
                start = i
            last = i
    if start is not None:
        out.append((start, last))
    return [(a, b) for a, b in out if b - a + 1 >= min_len]


def main(argv):
    cmd = argv[1]
    if cmd == "green":
        img = area(load(argv[2]), *map(int, argv[3:7]))
        print(sum(1 for r, g, b in img.getdata() if g > r + 40 and g > b + 40))
    elif cmd == "diffbox":
        box = ImageChops.difference(load(argv[2]), load(argv[3])).getbbox()
        print("none" if box is None else "%d %d %d %d" % (box[0], box[1], box[2] - box[0], box[3] - box[1]))
    elif cmd == "areadiff":
        x, y, w, h = map(int, argv[4:8])
        d = ImageChops.difference(area(load(argv[2]), x, y, w, h), area(load(argv[3]), x, y, w, h))
        print(sum(1 for p in d.getdata() if sum(p) > 60))
    elif cmd in ("columns", "rows"):
        x, y, w, h = map(int, argv[3:7])
        mask = ink_mask(area(load(argv[2]), x, y, w, h))
        if cmd == "columns":
            flags = [any(mask[j][i] for j in range(h)) for i in range(w)]
            base, gap, min_len = x, 8, 3
        else:
            flags = [any(row) for row in mask]
            base, gap, min_len = y, 3, 5
        print(" ".join(str(base + (a + b) // 2) for a, b in runs(flags, gap, min_len)))
    elif cmd == "close":
        close_window(int(argv[2], 0))
    elif cmd == "intern":
        intern_atoms()
    else:
        sys.exit("unknown command " + cmd)


class XClientMessageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class XEvent(ctypes.Union):
    _fields_ = [("xclient", XClientMessageEvent), ("pad", ctypes.c_long * 24)]


def xlib():
    x = ctypes.cdll.LoadLibrary("libX11.so.6")
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XInternAtom.restype = ctypes.c_ulong
    x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.POINTER(XEvent)]
    x.XFlush.argtypes = [ctypes.c_void_p]
    x.XCloseDisplay.argtypes = [ctypes.c_void_p]
    return x


def open_display(x):
    dpy = x.XOpenDisplay(None)
    if not dpy:
        sys.exit("no display")
    return dpy


# A bare X server has no window manager, and the atoms of the window-manager
# protocols exist only once some client has made them. The toolkit asks for
# them without creating them, so without this it would offer no close request.
def intern_atoms():
    x = xlib()
    dpy = open_display(x)
    for name in (b"WM_PROTOCOLS", b"WM_DELETE_WINDOW", b"WM_TAKE_FOCUS", b"_NET_WM_PING"):
        x.XInternAtom(dpy, name, 0)
    x.XFlush(dpy)
    x.XCloseDisplay(dpy)


def close_window(window):
    x = xlib()
    dpy = open_display(x)
    ev = XEvent()
    ev.xclient.type = 33  # ClientMessage
    ev.xclient.window = window
    ev.xclient.message_type = x.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
    ev.xclient.format = 32
    ev.xclient.data[0] = x.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
    ev.xclient.data[1] = 0  # CurrentTime
    x.XSendEvent(dpy, window, 0, 0, ctypes.byref(ev))
    x.XFlush(dpy)
    x.XCloseDisplay(dpy)


if __name__ == "__main__":
    main(sys.argv)
