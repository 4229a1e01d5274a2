// Storms of device events against the real panel, with the message loop
// running: the counts the test run uses are small; scripts/stress.sh runs
// them in full (see the README).
//
//     quibra_storms plug COUNT        plug/unplug cycles, some of them bounces
//     quibra_storms properties COUNT  value changes from another thread
//     quibra_storms teardown COUNT    panels destroyed with events in flight
//
// Each storm checks what the user would see (controls enabled or not, the
// values shown) and how long the message loop was ever held up; it prints
// one line of figures and exits 0, or says what went wrong and exits 1.
#include "panel/MainComponent.h"
#include "platform/SimulatedInterface.h"

#include <juce_gui_basics/juce_gui_basics.h>
#include <X11/Xlib.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>

namespace
{
// The longest time the message loop went without running, in ms.
double longestStall = 0.0;
// The storm's own home folder, removed at the end (also after a failure).
juce::File home;

bool pumpUntil (const std::function<bool()>& pred, int timeoutMs = 10000)
{
    const auto end = juce::Time::getMillisecondCounterHiRes() + timeoutMs;
    auto last = juce::Time::getMillisecondCounterHiRes();
    for (;;)
    {
        const auto now = juce::Time::getMillisecondCounterHiRes();
        longestStall = std::max (longestStall, now - last);
        last = now;
        if (pred())
            return true;
        if (now >= end)
            return false;
        juce::MessageManager::getInstance()->runDispatchLoopUntil (2);
    }
}

void pumpFor (int ms) { pumpUntil ([] { return false; }, ms); }

[[noreturn]] void fail (const char* storm, int round, const char* what)
{
    std::fprintf (stderr, "%s: round %d: %s\n", storm, round, what);
    home.deleteRecursively();
    std::_Exit (1);
}

struct Panel
{
    Panel()
    {
        window = std::make_unique<juce::DocumentWindow> ("Quibra storm", juce::Colours::lightgrey, juce::DocumentWindow::allButtons);
        panel = new MainComponent();
        window->setContentOwned (panel, true);
        window->setVisible (true);
    }

    bool enabled() const { return panel->sliderGroup->isVisible(); }
    bool refreshPending() const { return panel->isTimerRunning (MainComponent::timerRefreshFromDevice); }

    std::unique_ptr<juce::DocumentWindow> window;
    MainComponent* panel = nullptr;
};

// Plugged in and out: after each plug the panel comes alive on the
// interface's devices, after each unplug it is disabled. Every 16th cycle
// bounces (unplugged before the arrival is seen), every 128th has the audio
// devices come late, so that a later discovery run finds them.
int plugStorm (int count)
{
    sim::reset();
    Panel p;
    if (! pumpUntil ([&] { return p.enabled(); }))
        fail ("plug", 0, "the interface present at start never arrived");

    int bounces = 0, lateOnes = 0;
    for (int round = 1; round <= count; ++round)
    {
        sim::unplugInterface();
        if (! pumpUntil ([&] { return ! p.enabled() && gOutAudioObjectID == 0; }))
            fail ("plug", round, "no removal after unplugging");

        const bool late = round % 128 == 0;
        sim::setAudioDeviceDelay (late ? 300 : 0);
        lateOnes += late ? 1 : 0;
        sim::plugInterface();

        if (round % 16 == 0 && ! late)
        {
            ++bounces;
            sim::unplugInterface();
            pumpFor (5);
            sim::plugInterface();
        }

        if (! pumpUntil ([&] { return p.enabled() && gInAudioObjectID == sim::interfaceInputDevice()
                                      && gOutAudioObjectID == sim::interfaceOutputDevice(); }))
            fail ("plug", round, "no arrival after plugging in");
    }
    sim::setAudioDeviceDelay (0);

    std::printf ("plug: %d cycles (%d bounces, %d late devices); longest loop stall %.0f ms\n",
                 count, bounces, lateOnes, longestStall);
    return 0;
}

// Another program changes rate, volumes and mute without pause, now and
// then to values no interface should report (NaN, infinities, unlisted
// rates). Afterwards the panel must show the interface's last values, and
// no bad rate may have been written anywhere.
int propertiesStorm (int count)
{
    sim::reset();
    Panel p;
    if (! pumpUntil ([&] { return p.enabled() && ! p.refreshPending(); }))
        fail ("properties", 0, "no arrival");

    const auto in = sim::interfaceInputDevice(), out = sim::interfaceOutputDevice();
    // Rate writes (by the panel or the device link; the storm's own bad
    // values bypass the writes) of a rate the interface cannot have.
    std::atomic<int> badWrites { 0 };
    auto countBadWrites = [&]
    {
        for (const auto& a : sim::accessLog())
            if (a.write && (a.address.mSelector == kAudioDevicePropertyNominalSampleRate
                            || a.address.mSelector == kAudioStreamPropertyPhysicalFormat)
                && ! isInterfaceSampleRate (a.value))
                ++badWrites;
        sim::clearAccessLog();
    };

    std::atomic<bool> done { false };
    std::thread otherProgram ([&]
    {
        std::mt19937 random (1234);
        const Float64 rates[] = { 44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0 };
        const Float64 badRates[] = { std::nan (""), HUGE_VAL, 0.0, -48000.0, 22050.0 };
        for (int i = 0; i < count; ++i)
        {
            const auto device = random() % 2 == 0 ? in : out;
            switch (random() % 8)
            {
                case 0: sim::setNominalSampleRate (device, rates[random() % 6]); break;
                case 1: sim::forceNominalSampleRate (device, badRates[random() % 5]); break;
                case 2: sim::setMute (out, random() % 2 == 0); break;
                case 3: sim::forceVolumeDb (out, 1 + random() % 2, random() % 2 == 0 ? std::nanf ("") : -HUGE_VALF); break;
                default: sim::setVolumeDb (out, 1 + random() % 2, -(Float32) (random() % 65)); break;
            }
            if (i % 64 == 63)
            {
                sim::waitForNotifications (60000);   // let the listener keep up
                countBadWrites();
            }
        }
        done = true;
    });

    pumpUntil ([&] { return done.load(); }, 24 * 3600 * 1000);
    otherProgram.join();

    // The last word: a known state, then everything must show it.
    sim::setNominalSampleRate (in, 96000.0);
    sim::setNominalSampleRate (out, 96000.0);
    sim::setVolumeDb (out, 1, -17.0f);
    sim::setVolumeDb (out, 2, -23.0f);
    sim::setMute (out, true);
    if (! sim::waitForNotifications (60000))
        fail ("properties", count, "notifications never drained");
    const bool shown = pumpUntil ([&]
    {
        auto& panel = *p.panel;
        return ! p.refreshPending() && ! panel.changeGuard && panel.rateButton96->getToggleState()
            && panel.sliderGroup->leftSlider.getValue() == -17.0 && panel.sliderGroup->rightSlider.getValue() == -23.0
            && panel.muteButton->getToggleState() && panel.leftLevelLabel->getText() == "-17 dB";
    });
    if (! shown)
        fail ("properties", count, "the panel does not show the interface's last values");

    countBadWrites();

    std::printf ("properties: %d changes; longest loop stall %.0f ms; writes of rates the interface cannot have: %d\n",
                 count, longestStall, badWrites.load());
    return badWrites == 0 ? 0 : 1;
}

// Panels come and go while another program keeps changing a volume, so that
// events are queued, or waiting for the message-thread lock, as the panel is
// destroyed.
int teardownStorm (int count)
{
    std::atomic<bool> stop { false };
    std::thread otherProgram ([&]
    {
        float v = -1.0f;
        for (int n = 0; ! stop; ++n)
        {
            if (auto device = sim::interfaceOutputDevice())
                sim::setVolumeDb (device, 1 + (UInt32) (n % 2), v);
            v = v < -60.0f ? -1.0f : v - 1.0f;
            std::this_thread::sleep_for (std::chrono::milliseconds (n % 20 == 19 ? 40 : 1));
        }
    });

    // Beside them, a few more threads report changes as notification threads
    // do, as fast as they can, to whichever panel is registered.
    std::vector<std::thread> notifiers;
    for (int t = 0; t < 4; ++t)
        notifiers.emplace_back ([&]
        {
            while (! stop)
                if (auto* owner = currentOwner (mydeviceStruct))
                    MainComponent::OnApiCallback (owner, nullptr, eventPropertyChanged);
                else
                    std::this_thread::yield();
        });

    std::mt19937 random (99);
    for (int round = 1; round <= count; ++round)
    {
        sim::reset();
        auto p = std::make_unique<Panel>();
        if (! pumpUntil ([&] { return p->enabled(); }, 20000))
            fail ("teardown", round, "no arrival");
        pumpFor ((int) (random() % 120));

        p = nullptr;
        if (mydeviceStruct.owner != nullptr)
            fail ("teardown", round, "the device record still names the destroyed panel");
        pumpFor (20);
    }
    stop = true;
    otherProgram.join();
    for (auto& t : notifiers)
        t.join();
    sim::waitForNotifications (60000);
    sim::reset();

    std::printf ("teardown: %d panels destroyed with events in flight; longest loop stall %.0f ms\n", count, longestStall);
    return 0;
}

int ignoreXError (Display*, XErrorEvent*) { return 0; }
} // namespace

int main (int argc, char** argv)
{
    const juce::String storm = argc > 1 ? argv[1] : "";
    const int count = argc > 2 ? std::atoi (argv[2]) : 0;
    if (count <= 0 || ! juce::StringArray { "plug", "properties", "teardown" }.contains (storm))
    {
        std::fprintf (stderr, "usage: %s plug|properties|teardown COUNT\n", argv[0]);
        return 2;
    }

    // A home of its own, so that the panel's settings never touch the user's.
    home = juce::File::getSpecialLocation (juce::File::tempDirectory).getNonexistentChildFile ("quibra-storm-home", "", false);
    home.createDirectory();
    ::setenv ("HOME", home.getFullPathName().toRawUTF8(), 1);

    XInitThreads();
    XSetErrorHandler (ignoreXError);

    int result = 0;
    {
        juce::ScopedJuceInitialiser_GUI gui;
        juce::Desktop::setMousePosition ({ 1, 1 });   // keep the faders unlinked
        const auto start = juce::Time::getMillisecondCounterHiRes();
        result = storm == "plug" ? plugStorm (count) : storm == "properties" ? propertiesStorm (count) : teardownStorm (count);
        std::printf ("%s: %.1f s\n", storm.toRawUTF8(), (juce::Time::getMillisecondCounterHiRes() - start) / 1000.0);
        sim::reset();
    }
    home.deleteRecursively();
    return result;
}
