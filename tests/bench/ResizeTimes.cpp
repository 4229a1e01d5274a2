// The panel's resized() at the three picture sizes and two sizes between
// them: cold (the image cache emptied first, so the pictures are decoded
// again) and warm (again, the pictures still in the cache). The panel is at
// the size already, so only its own layout is timed.
#include "BenchCommon.h"
#include "panel/MainComponent.h"

#include <X11/Xlib.h>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <vector>

namespace
{
int ignoreXErrors (Display*, XErrorEvent*) { return 0; }

template <typename Fn>
double timeMs (Fn&& fn)
{
    const auto t0 = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double, std::milli> (std::chrono::steady_clock::now() - t0).count();
}
} // namespace

int runResize (int, char**)
{
    char pattern[] = "/tmp/quibra-bench-home-XXXXXX";
    const char* home = ::mkdtemp (pattern);
    if (home != nullptr)
        ::setenv ("HOME", home, 1);
    XInitThreads();
    XSetErrorHandler (ignoreXErrors);

    {
        juce::ScopedJuceInitialiser_GUI gui;

        // The panel in a window on the desktop, as the application shows it.
        juce::DocumentWindow window ("Quibra bench", juce::Colours::lightgrey, juce::DocumentWindow::allButtons);
        window.setUsingNativeTitleBar (true);
        auto* panel = new MainComponent();
        window.setContentOwned (panel, true);
        window.setVisible (true);

        const int sizes[][2] = { { 219, 290 }, { 274, 363 }, { 329, 435 }, { 383, 507 }, { 438, 580 } };
        for (auto& s : sizes)
        {
            // The window takes the size first (its native window follows, which
            // is not the panel's layout); then the cache lets the pictures go.
            panel->setSize (s[0], s[1] + panel->menuBarHeight);
            juce::ImageCache::releaseUnusedImages();

            const double cold = timeMs ([&] { panel->resized(); });

            std::vector<double> warm;
            for (int i = 0; i < 15; ++i)
                warm.push_back (timeMs ([&] { panel->resized(); }));
            std::sort (warm.begin(), warm.end());

            std::printf ("size=%dx%d cold_ms=%.3f warm_ms=%.3f\n", s[0], s[1], cold, warm[warm.size() / 2]);
        }

        window.clearContentComponent();
    }

    if (home != nullptr)
        std::system ((std::string ("rm -rf '") + home + "'").c_str());
    return 0;
}
