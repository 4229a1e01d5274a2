// One launch of a program under the current X display, watched from outside
// the way a user sees it: when its window is mapped, when the window first
// shows a given pixel, how much CPU the process used up to then, its resident
// memory, its CPU while idle, and how long it takes to end after a close.
#include "BenchCommon.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <set>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace
{
using Clock = std::chrono::steady_clock;

double msSince (Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli> (Clock::now() - t0).count();
}

void sleepMs (double ms) { std::this_thread::sleep_for (std::chrono::microseconds ((long) (ms * 1000))); }

int ignoreXErrors (Display*, XErrorEvent*) { return 0; }

// Calls fn with the /proc folder of each of the process's threads.
template <typename Fn>
void forEachThread (pid_t pid, Fn&& fn)
{
    const std::string dir = "/proc/" + std::to_string (pid) + "/task";
    if (DIR* d = ::opendir (dir.c_str()))
    {
        while (auto* e = ::readdir (d))
            if (e->d_name[0] != '.')
                fn (dir + "/" + e->d_name);
        ::closedir (d);
    }
}

// CPU time of all the process's threads, in ms (the scheduler's own
// nanosecond counts; /proc/<pid>/stat counts whole clock ticks only).
double processCpuMs (pid_t pid)
{
    double total = 0;
    forEachThread (pid, [&total] (const std::string& thread)
    {
        std::ifstream in (thread + "/schedstat");
        unsigned long long ns = 0;
        if (in >> ns)
            total += (double) ns / 1.0e6;
    });
    return total;
}

// How often the process's threads went to sleep (and so woke again): the
// sum of their voluntary context switches.
long processWakeups (pid_t pid)
{
    long total = 0;
    forEachThread (pid, [&total] (const std::string& thread)
    {
        std::ifstream in (thread + "/status");
        std::string line;
        while (std::getline (in, line))
            if (line.rfind ("voluntary_ctxt_switches:", 0) == 0)
                total += std::atol (line.c_str() + 24);
    });
    return total;
}

long residentKb (pid_t pid)
{
    std::ifstream in ("/proc/" + std::to_string (pid) + "/status");
    std::string line;
    while (std::getline (in, line))
        if (line.rfind ("VmRSS:", 0) == 0)
            return std::atol (line.c_str() + 6);
    return -1;
}

struct X
{
    Display* dpy = nullptr;
    Window root = 0;
    Atom pidAtom = 0, nameAtom = 0, protocols = 0, deleteWindow = 0;

    bool open()
    {
        dpy = XOpenDisplay (nullptr);
        if (dpy == nullptr)
            return false;
        XSetErrorHandler (ignoreXErrors);
        root = DefaultRootWindow (dpy);
        pidAtom = XInternAtom (dpy, "_NET_WM_PID", False);
        nameAtom = XInternAtom (dpy, "_NET_WM_NAME", False);
        protocols = XInternAtom (dpy, "WM_PROTOCOLS", False);
        deleteWindow = XInternAtom (dpy, "WM_DELETE_WINDOW", False);
        return true;
    }

    ~X()
    {
        if (dpy != nullptr)
            XCloseDisplay (dpy);
    }

    long pidOf (Window w)
    {
        Atom type; int format; unsigned long n, after; unsigned char* data = nullptr;
        long pid = -1;
        if (XGetWindowProperty (dpy, w, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &n, &after, &data) == Success
            && data != nullptr && n == 1)
            pid = (long) *reinterpret_cast<unsigned long*> (data);
        if (data != nullptr)
            XFree (data);
        return pid;
    }

    // The title, whatever the property's text type (JUCE writes WM_NAME as UTF8_STRING).
    std::string nameOf (Window w)
    {
        std::string name;
        for (Atom property : { nameAtom, (Atom) XA_WM_NAME })
        {
            Atom type; int format; unsigned long n, after; unsigned char* data = nullptr;
            if (XGetWindowProperty (dpy, w, property, 0, 256, False, AnyPropertyType, &type, &format, &n, &after, &data) == Success
                && data != nullptr && format == 8)
                name.assign (reinterpret_cast<char*> (data), n);
            if (data != nullptr)
                XFree (data);
            if (! name.empty())
                break;
        }
        return name;
    }

    bool viewable (Window w)
    {
        XWindowAttributes a;
        return XGetWindowAttributes (dpy, w, &a) && a.map_state == IsViewable;
    }

    // Every window of the process (any depth below the root, so that window
    // manager frames do not hide them).
    void windowsOf (long pid, Window w, std::vector<Window>& out, int depth = 0)
    {
        Window r, parent, *kids = nullptr;
        unsigned int n = 0;
        if (! XQueryTree (dpy, w, &r, &parent, &kids, &n))
            return;
        for (unsigned int i = 0; i < n; ++i)
        {
            if (pidOf (kids[i]) == pid)
                out.push_back (kids[i]);
            else if (depth < 3)
                windowsOf (pid, kids[i], out, depth + 1);
        }
        if (kids != nullptr)
            XFree (kids);
    }

    // The process's viewable window with this title. The framework may make
    // and drop native windows for one window on the way (a peer is replaced
    // when its title bar changes), so only a viewable one counts.
    Window findViewable (long pid, const std::string& title)
    {
        std::vector<Window> ws;
        windowsOf (pid, root, ws);
        for (auto w : ws)
            if (nameOf (w) == title && viewable (w))
                return w;
        return 0;
    }

    std::set<Window> viewableOf (long pid)
    {
        std::vector<Window> ws;
        windowsOf (pid, root, ws);
        std::set<Window> out;
        for (auto w : ws)
            if (viewable (w))
                out.insert (w);
        return out;
    }

    bool geometry (Window w, int& x, int& y, int& width, int& height)
    {
        XWindowAttributes a;
        Window child;
        if (! XGetWindowAttributes (dpy, w, &a))
            return false;
        if (! XTranslateCoordinates (dpy, w, root, 0, 0, &x, &y, &child))
            return false;
        width = a.width;
        height = a.height;
        return true;
    }

    bool pixel (Window w, int x, int y, int& r, int& g, int& b)
    {
        XImage* img = XGetImage (dpy, w, x, y, 1, 1, AllPlanes, ZPixmap);
        if (img == nullptr)
            return false;
        const unsigned long p = XGetPixel (img, 0, 0);
        r = (int) ((p >> 16) & 0xff);
        g = (int) ((p >> 8) & 0xff);
        b = (int) (p & 0xff);
        XDestroyImage (img);
        return true;
    }

    // The pointer comes to the spot from a few pixels away, as a hand moves
    // it: if it already rests there (the previous launch's window clicked at
    // the same place), moving it onto the spot sends the window no motion,
    // and the program does not learn what is under the pointer before the press.
    void click (int sx, int sy, unsigned int button)
    {
        XTestFakeMotionEvent (dpy, -1, sx + 6, sy + 6, 0);
        XSync (dpy, False);
        sleepMs (50);
        XTestFakeMotionEvent (dpy, -1, sx, sy, 0);
        XSync (dpy, False);
        sleepMs (150);
        XTestFakeButtonEvent (dpy, button, True, 0);
        XSync (dpy, False);
        sleepMs (40);
        XTestFakeButtonEvent (dpy, button, False, 0);
        XSync (dpy, False);
    }

    void sendClose (Window w)
    {
        XEvent ev {};
        ev.xclient.type = ClientMessage;
        ev.xclient.window = w;
        ev.xclient.message_type = protocols;
        ev.xclient.format = 32;
        ev.xclient.data.l[0] = (long) deleteWindow;
        ev.xclient.data.l[1] = CurrentTime;
        XSendEvent (dpy, w, False, NoEventMask, &ev);
        XSync (dpy, False);
    }
};

bool wanted (const std::string& want, int r, int g, int b)
{
    if (want == "green")
        return g > r + 50 && g > b + 50;
    const long rgb = std::strtol (want.c_str(), nullptr, 16);
    return std::abs (r - (int) ((rgb >> 16) & 0xff)) <= 8 && std::abs (g - (int) ((rgb >> 8) & 0xff)) <= 8
        && std::abs (b - (int) (rgb & 0xff)) <= 8;
}

// Waits for a pop-up menu (a newly viewable window of the process) and
// returns it, or 0.
Window waitForPopup (X& x, long pid, const std::set<Window>& before, double timeoutMs)
{
    const auto t0 = Clock::now();
    while (msSince (t0) < timeoutMs)
    {
        for (auto w : x.viewableOf (pid))
            if (before.count (w) == 0)
                return w;
        sleepMs (5);
    }
    return 0;
}

struct Options
{
    std::string title, want = "green", close = "wm", second = "none", secondTitle, settings;
    int probeX = 0, probeY = 0; // negative: from the right or bottom edge
    double idleSeconds = 15, timeoutMs = 20000;
    std::vector<std::string> command;
};

bool parse (int argc, char** argv, Options& o)
{
    for (int i = 0; i < argc; ++i)
    {
        const std::string a = argv[i];
        auto next = [&] { return i + 1 < argc ? std::string (argv[++i]) : std::string(); };
        if (a == "--title") o.title = next();
        else if (a == "--probe") { const auto v = next(); std::sscanf (v.c_str(), "%d,%d", &o.probeX, &o.probeY); }
        else if (a == "--want") o.want = next();
        else if (a == "--idle") o.idleSeconds = std::atof (next().c_str());
        else if (a == "--close") o.close = next();
        else if (a == "--second") o.second = next();
        else if (a == "--second-title") o.secondTitle = next();
        else if (a == "--settings") o.settings = next();
        else if (a == "--")
        {
            for (++i; i < argc; ++i)
                o.command.emplace_back (argv[i]);
        }
        else
            return false;
    }
    return ! o.title.empty() && ! o.command.empty() && (o.second == "none" || ! o.secondTitle.empty());
}

bool settingsHoldWindowState (const std::string& path)
{
    std::ifstream in (path);
    std::stringstream s;
    s << in.rdbuf();
    const auto text = s.str();
    const auto at = text.find ("name=\"WindowPosition\" val=\"");
    return at != std::string::npos && text[at + std::strlen ("name=\"WindowPosition\" val=\"")] != '"';
}
} // namespace

int runLaunch (int argc, char** argv)
{
    Options o;
    if (! parse (argc, argv, o))
    {
        std::fprintf (stderr, "usage: quibra_bench launch --title T [--probe X,Y] [--want green|RRGGBB] [--idle S]\n"
                              "       [--second none|menu|click --second-title T] [--close wm|menu] [--settings RELPATH] -- PROGRAM ARGS\n");
        return 2;
    }

    X x;
    if (! x.open())
    {
        std::fprintf (stderr, "no X display\n");
        return 2;
    }

    // A fresh home for every launch, removed afterwards.
    char homeTemplate[] = "/tmp/quibra-bench-home-XXXXXX";
    const std::string home = ::mkdtemp (homeTemplate);
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e)
        if (std::strncmp (*e, "HOME=", 5) != 0 && std::strncmp (*e, "XDG_CONFIG_HOME=", 16) != 0)
            env.emplace_back (*e);
    env.push_back ("HOME=" + home);
    std::vector<char*> envp, args;
    for (auto& e : env) envp.push_back (e.data());
    envp.push_back (nullptr);
    for (auto& a : o.command) args.push_back (a.data());
    args.push_back (nullptr);

    Result r;
    const auto t0 = Clock::now();
    pid_t pid = 0;
    if (::posix_spawn (&pid, args[0], nullptr, nullptr, args.data(), envp.data()) != 0)
    {
        std::fprintf (stderr, "cannot start %s\n", args[0]);
        return 2;
    }

    Window win = 0;
    bool ok = false;
    while (msSince (t0) < o.timeoutMs)
    {
        if (win == 0 || ! x.viewable (win))
            win = x.findViewable (pid, o.title);
        if (win != 0 && r.mappedMs < 0)
            r.mappedMs = msSince (t0);
        if (win != 0)
        {
            int wx = 0, wy = 0, ww = 0, wh = 0, cr = 0, cg = 0, cb = 0;
            if (x.geometry (win, wx, wy, ww, wh))
            {
                const int px = o.probeX < 0 ? ww + o.probeX : o.probeX;
                const int py = o.probeY < 0 ? wh + o.probeY : o.probeY;
                const bool read = x.pixel (win, px, py, cr, cg, cb);
                if (std::getenv ("QUIBRA_BENCH_DEBUG") != nullptr)
                    std::fprintf (stderr, "%.1f ms: %dx%d at (%d, %d): %d %d %d (%s)\n", msSince (t0), ww, wh, px, py,
                                  cr, cg, cb, read ? "read" : "unreadable");
                if (read && wanted (o.want, cr, cg, cb))
                {
                    r.frameMs = msSince (t0);
                    r.cpuToFrameMs = processCpuMs (pid);
                    ok = true;
                    break;
                }
            }
        }
        sleepMs (0.5);
    }

    if (ok)
    {
        sleepMs (1000);
        r.residentKb = residentKb (pid);

        sleepMs (1000);
        const double c0 = processCpuMs (pid);
        const long w0 = processWakeups (pid);
        const auto i0 = Clock::now();
        sleepMs (o.idleSeconds * 1000);
        r.idleMainPercent = 100.0 * (processCpuMs (pid) - c0) / msSince (i0);
        r.idleMainWakeups = 1000.0 * (double) (processWakeups (pid) - w0) / msSince (i0);

        if (o.second != "none")
        {
            int wx = 0, wy = 0, ww = 0, wh = 0;
            x.geometry (win, wx, wy, ww, wh);
            const auto before = x.viewableOf (pid);
            x.click (wx + ww / 3, wy + wh / 2, 3);
            if (o.second == "menu")
                if (auto popup = waitForPopup (x, pid, before, 5000))
                {
                    int px = 0, py = 0, pw = 0, ph = 0;
                    sleepMs (200);
                    x.geometry (popup, px, py, pw, ph);
                    x.click (px + pw / 2, py + 12, 1);
                }
            sleepMs (2000);
            // The second window by its title: a menu left open is no second window.
            r.secondOpen = x.findViewable (pid, o.secondTitle) != 0;
            const double c1 = processCpuMs (pid);
            const long w1 = processWakeups (pid);
            const auto i1 = Clock::now();
            sleepMs (o.idleSeconds * 1000);
            r.idleBothPercent = 100.0 * (processCpuMs (pid) - c1) / msSince (i1);
            r.idleBothWakeups = 1000.0 * (double) (processWakeups (pid) - w1) / msSince (i1);
        }

        // Close: the window's close button, or File > Close in the window's menu bar.
        Clock::time_point c0t;
        if (o.close == "menu")
        {
            int wx = 0, wy = 0, ww = 0, wh = 0;
            x.geometry (win, wx, wy, ww, wh);
            const auto before = x.viewableOf (pid);
            x.click (wx + 12, wy + 8, 1);
            if (auto popup = waitForPopup (x, pid, before, 5000))
            {
                int px = 0, py = 0, pw = 0, ph = 0;
                sleepMs (200);
                x.geometry (popup, px, py, pw, ph);
                x.click (px + pw / 2, py + ph - 10, 1);
            }
            c0t = Clock::now();
        }
        else
        {
            c0t = Clock::now();
            x.sendClose (win);
        }

        int status = 0;
        bool ended = false;
        while (msSince (c0t) < 10000)
        {
            if (r.windowGoneMs < 0 && ! x.viewable (win))
                r.windowGoneMs = msSince (c0t);
            if (::waitpid (pid, &status, WNOHANG) == pid)
            {
                ended = true;
                r.closeMs = msSince (c0t);
                break;
            }
            sleepMs (0.5);
        }
        if (! ended)
        {
            ::kill (pid, SIGKILL);
            ::waitpid (pid, &status, 0);
        }
        if (! o.settings.empty())
            r.settingsKept = settingsHoldWindowState (home + "/" + o.settings) ? 1 : 0;
    }
    else
    {
        ::kill (pid, SIGKILL);
        int status = 0;
        ::waitpid (pid, &status, 0);
    }

    std::system (("rm -rf '" + home + "'").c_str());
    std::printf ("%s\n", r.line().c_str());
    return ok ? 0 : 1;
}
