// The panel with the simulated interface: arrival, removal, rates, volumes,
// mute, changes by other programs, the change guard, factory defaults, and
// events that arrive while the panel goes away.
#include "ControlsTestSupport.h"
#include "PanelTestSupport.h"
#include "platform/SimulatedInterface.h"

#include <atomic>
#include <cmath>
#include <thread>

using paneltest::PanelWindow;
using paneltest::tickedRate;

namespace
{
struct PanelDevice : ::testing::Test
{
    void SetUp() override
    {
        sim::reset();
        // Keep the pointer away from the faders, so that they stay unlinked.
        juce::Desktop::setMousePosition ({ 1, 1 });
    }

    void TearDown() override
    {
        window = nullptr;
        sim::waitForNotifications();
        sim::reset();
    }

    MainComponent& openPanel()
    {
        window = std::make_unique<PanelWindow>();
        return *window->panel;
    }

    // Waits for the arrival and for the refresh that follows it.
    static bool arrive (MainComponent& p)
    {
        return testsupport::pumpUntil ([&] { return p.sliderGroup->isVisible(); }, 20000)
            && testsupport::pumpUntil ([&] { return ! p.isTimerRunning (MainComponent::timerRefreshFromDevice); });
    }

    // Runs f on a thread of its own, as another program would change a value.
    template <typename F>
    static void fromOtherThread (F&& f)
    {
        std::thread t (std::forward<F> (f));
        t.join();
    }

    static AudioObjectID in() { return sim::interfaceInputDevice(); }
    static AudioObjectID out() { return sim::interfaceOutputDevice(); }

    static double left (MainComponent& p) { return p.sliderGroup->leftSlider.getValue(); }
    static double right (MainComponent& p) { return p.sliderGroup->rightSlider.getValue(); }

    std::unique_ptr<PanelWindow> window;
};
} // namespace

TEST_F (PanelDevice, ArrivalEnablesAndShowsTheInterfacesValues)
{
    sim::setNominalSampleRate (in(), 96000.0);
    sim::setNominalSampleRate (out(), 96000.0);
    sim::setVolumeDb (out(), 1, -20.0f);
    sim::setVolumeDb (out(), 2, -31.0f);
    sim::setMute (out(), true);

    auto& p = openPanel();
    EXPECT_FALSE (p.rateButton96->isEnabled()); // disabled until the interface is found
    EXPECT_FALSE (p.sliderGroup->isVisible());

    ASSERT_TRUE (arrive (p));
    for (auto* b : paneltest::allButtons (p))
        EXPECT_TRUE (b->isEnabled()) << b->getName();
    EXPECT_EQ (tickedRate (p), 96000);
    EXPECT_EQ (left (p), -20.0);
    EXPECT_EQ (right (p), -31.0);
    EXPECT_EQ (p.leftLevelLabel->getText(), "-20 dB");
    EXPECT_EQ (p.rightLevelLabel->getText(), "-31 dB");
    EXPECT_TRUE (p.muteButton->getToggleState());

    // Reading back wrote nothing to the interface.
    EXPECT_EQ (sim::volumeDb (out(), 1), -20.0f);
    EXPECT_EQ (sim::volumeDb (out(), 2), -31.0f);
    EXPECT_TRUE (sim::isMuted (out()));
}

TEST_F (PanelDevice, RemovalDisablesAndClears)
{
    auto& p = openPanel();
    ASSERT_TRUE (arrive (p));
    ASSERT_EQ (tickedRate (p), 48000);
    ASSERT_EQ (p.leftLevelLabel->getText(), "0 dB");

    sim::unplugInterface();
    ASSERT_TRUE (testsupport::pumpUntil ([&] { return ! p.sliderGroup->isVisible(); }));
    for (auto* b : paneltest::allButtons (p))
    {
        EXPECT_FALSE (b->isEnabled());
        EXPECT_FALSE (b->getToggleState());
    }
    EXPECT_TRUE (p.leftLevelLabel->getText().isEmpty());
    EXPECT_TRUE (p.rightLevelLabel->getText().isEmpty());

    // Plugged in again: back to work.
    sim::plugInterface();
    ASSERT_TRUE (arrive (p));
    EXPECT_EQ (tickedRate (p), 48000);
}

TEST_F (PanelDevice, RateClickSetsBothSidesAndTheRefreshTicksWhatTheyReport)
{
    auto& p = openPanel();
    ASSERT_TRUE (arrive (p));
    ASSERT_EQ (tickedRate (p), 48000);

    // The interface refuses 176.4 kHz: nothing changes there and nothing is
    // reported, and the button of the rate it keeps is lit again.
    sim::refuseRate (in(), 176400.0);
    sim::refuseRate (out(), 176400.0);
    p.rateButton176->triggerClick();
    testsupport::pumpFor (300);
    EXPECT_EQ (sim::nominalSampleRate (out()), 48000.0);
    EXPECT_EQ (tickedRate (p), 48000);
    sim::refuseRate (in(), 176400.0, false);
    sim::refuseRate (out(), 176400.0, false);

    p.rateButton176->triggerClick();
    ASSERT_TRUE (testsupport::pumpUntil ([&] {
        return sim::nominalSampleRate (in()) == 176400.0 && sim::nominalSampleRate (out()) == 176400.0;
    }));
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return tickedRate (p) == 176400; }));

    // Another program sets both sides to 88200 Hz: the refresh follows.
    fromOtherThread ([] {
        sim::setNominalSampleRate (in(), 88200.0);
        sim::setNominalSampleRate (out(), 88200.0);
    });
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return tickedRate (p) == 88200; }));

    // A click on the panel's own picture, away from every button, and then
    // Return or space: the keys reach no rate button.
    const juce::Point<int> background (p.getWidth() / 2, p.menuBarHeight + 8);
    ASSERT_EQ (p.getComponentAt (background), &p);
    const auto at = p.localPointToGlobal (background);
    ASSERT_TRUE (controlstest::xdo ("mousemove " + juce::String (at.x) + " " + juce::String (at.y) + " click 1"));
    ASSERT_TRUE (controlstest::waitForButtonsUp());
    ASSERT_TRUE (controlstest::xdo ("key Return space"));
    testsupport::pumpFor (500);
    EXPECT_EQ (sim::nominalSampleRate (out()), 88200.0);
    EXPECT_EQ (tickedRate (p), 88200);
}

TEST_F (PanelDevice, DisagreeingSidesArePushedToTheOutputsRate)
{
    sim::setNominalSampleRate (in(), 48000.0);
    sim::setNominalSampleRate (out(), 192000.0);

    auto& p = openPanel();
    ASSERT_TRUE (arrive (p));
    EXPECT_EQ (sim::nominalSampleRate (in()), 192000.0);
    EXPECT_EQ (sim::nominalSampleRate (out()), 192000.0);
    EXPECT_EQ (tickedRate (p), 192000);

    // A faulty driver reports rates the interface cannot have on the output:
    // nothing is pushed anywhere, and the tick stays.
    for (Float64 rate : { std::nan (""), 22050.0, 0.0 })
    {
        sim::clearAccessLog();
        sim::forceNominalSampleRate (out(), rate);
        ASSERT_TRUE (sim::waitForNotifications());
        ASSERT_TRUE (testsupport::pumpUntil ([&] { return ! p.isTimerRunning (MainComponent::timerRefreshFromDevice); }));
        for (const auto& a : sim::accessLog())
            EXPECT_FALSE (a.write) << rate;
        EXPECT_EQ (sim::nominalSampleRate (in()), 192000.0);
        EXPECT_EQ (tickedRate (p), 192000);
    }
}

TEST_F (PanelDevice, RatesWithoutAButtonChangeNoButton)
{
    auto& p = openPanel();
    ASSERT_TRUE (arrive (p));
    ASSERT_EQ (tickedRate (p), 48000);

    // Both sides at 32000 Hz (set through the physical format), and a volume
    // change that shows the refresh has run.
    ASSERT_TRUE (hw_setSampleRate (32000.0));
    ASSERT_EQ (sim::nominalSampleRate (out()), 32000.0);
    fromOtherThread ([] { sim::setVolumeDb (out(), 1, -5.0f); });
    ASSERT_TRUE (testsupport::pumpUntil ([&] { return left (p) == -5.0; }));
    testsupport::pumpUntil ([&] { return ! p.isTimerRunning (MainComponent::timerRefreshFromDevice); });
    EXPECT_EQ (tickedRate (p), 48000);

    // No interface values at all (both reads fail alike): still no change.
    p.initSamplerateButtons (0.0, juce::dontSendNotification);
    EXPECT_EQ (tickedRate (p), 48000);
}

TEST_F (PanelDevice, ChangesByAnotherProgramReachTheControls)
{
    auto& p = openPanel();
    ASSERT_TRUE (arrive (p));

    fromOtherThread ([] {
        sim::setVolumeDb (out(), 1, -12.0f);
        sim::setVolumeDb (out(), 2, -40.0f);
        sim::setMute (out(), true);
    });

    EXPECT_TRUE (testsupport::pumpUntil ([&] {
        return left (p) == -12.0 && right (p) == -40.0 && p.muteButton->getToggleState()
            && p.leftLevelLabel->getText() == "-12 dB" && p.rightLevelLabel->getText() == "-40 dB";
    }));

    // Two change reports 30 ms apart give one refresh, not before 50 ms after the second.
    ASSERT_TRUE (testsupport::pumpUntil ([&] { return ! p.isTimerRunning (MainComponent::timerRefreshFromDevice); }));
    MainComponent::OnApiCallback (&p, nullptr, eventPropertyChanged);
    const auto first = juce::Time::getMillisecondCounter();
    testsupport::pumpUntil ([&] { return juce::Time::getMillisecondCounter() - first >= 30; });
    const auto second = juce::Time::getMillisecondCounter();
    MainComponent::OnApiCallback (&p, nullptr, eventPropertyChanged);
    while (p.isTimerRunning (MainComponent::timerRefreshFromDevice) && juce::Time::getMillisecondCounter() - second < 5000)
        juce::MessageManager::getInstance()->runDispatchLoopUntil (1);
    EXPECT_GE (juce::Time::getMillisecondCounter() - second, 50u);

    // The panel itself never wrote: every write in the log came from the other thread.
    for (const auto& access : sim::accessLog())
    {
        if (access.write)
        {
            EXPECT_NE (access.thread, std::this_thread::get_id());
        }
    }

    // A faulty driver reports -inf dB: the faders sit at the bottom, and the
    // linked pair moves by the user's step from there.
    sim::forceVolumeDb (out(), 1, -HUGE_VALF);
    sim::forceVolumeDb (out(), 2, -HUGE_VALF);
    ASSERT_TRUE (testsupport::pumpUntil ([&] { return right (p) == -64.0 && p.rightLevelLabel->getText() == "-64 dB"; }));
    p.sliderGroup->mouseInLinkArea = true;
    p.sliderGroup->leftSlider.setValue (-60.0, juce::sendNotificationSync);
    EXPECT_EQ (right (p), -60.0);
    p.sliderGroup->mouseInLinkArea = false;
    ASSERT_TRUE (testsupport::pumpUntil ([&] { return sim::volumeDb (out(), 2) == -60.0f && ! p.changeGuard; }));

    // Then NaN: read as nothing (0 dB), and the program goes on.
    sim::forceVolumeDb (out(), 1, std::nanf (""));
    sim::forceVolumeDb (out(), 2, std::nanf (""));
    EXPECT_TRUE (testsupport::pumpUntil ([&] {
        return left (p) == 0.0 && right (p) == 0.0 && p.leftLevelLabel->getText() == "0 dB";
    }));
}

TEST_F (PanelDevice, FaderMoveWritesBothVolumesUnderTheGuard)
{
    auto& p = openPanel();
    ASSERT_TRUE (arrive (p));
    ASSERT_EQ (p.leftLevelLabel->getText(), "0 dB");
    ASSERT_FALSE (p.muteButton->getToggleState());
    sim::clearAccessLog();

    // The user drags the left fader (unlinked): the pair reports it.
    p.sliderGroup->mouseInLinkArea = false;
    p.sliderGroup->leftSlider.setValue (-10.0, juce::sendNotificationSync);
    ASSERT_TRUE (paneltest::probeAfterPostedMessages ([&] { return p.changeGuard; }));
    EXPECT_EQ (sim::volumeDb (out(), 1), -10.0f);
    EXPECT_EQ (sim::volumeDb (out(), 2), (float) right (p));

    int leftWrites = 0, rightWrites = 0;
    for (const auto& a : sim::accessLog())
    {
        if (a.write && a.object == out() && a.address.mSelector == kAudioDevicePropertyVolumeDecibels
            && a.address.mScope == kAudioDevicePropertyScopeOutput)
        {
            leftWrites += a.address.mElement == 1 ? 1 : 0;
            rightWrites += a.address.mElement == 2 ? 1 : 0;
        }
    }
    EXPECT_GE (leftWrites, 1);
    EXPECT_GE (rightWrites, 1);

    // The interface reports the change; the refresh after the guard shows it.
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return p.leftLevelLabel->getText() == "-10 dB"; }));
    ASSERT_TRUE (testsupport::pumpUntil ([&] {
        return ! p.changeGuard && ! p.isTimerRunning (MainComponent::timerRefreshFromDevice);
    }));

    // A user change in progress (the guard held, as while the user keeps
    // moving) while another program changes volume, mute and rate: the
    // refresh ticks the new rate but leaves faders, mute and labels alone.
    p.changeGuard = true;
    fromOtherThread ([] {
        sim::setVolumeDb (out(), 1, -50.0f);
        sim::setMute (out(), true);
        sim::setNominalSampleRate (in(), 96000.0);
        sim::setNominalSampleRate (out(), 96000.0);
    });
    ASSERT_TRUE (testsupport::pumpUntil ([&] {
        return tickedRate (p) == 96000 && ! p.isTimerRunning (MainComponent::timerRefreshFromDevice);
    }));
    EXPECT_FALSE (p.muteButton->getToggleState());
    EXPECT_EQ (left (p), -10.0);
    EXPECT_EQ (p.leftLevelLabel->getText(), "-10 dB");

    // Without the guard the next refresh takes everything over.
    p.changeGuard = false;
    fromOtherThread ([] { sim::setVolumeDb (out(), 2, -44.0f); });
    EXPECT_TRUE (testsupport::pumpUntil ([&] {
        return left (p) == -50.0 && right (p) == -44.0 && p.muteButton->getToggleState()
            && p.leftLevelLabel->getText() == "-50 dB";
    }));
}

TEST_F (PanelDevice, LinkStripMovesTheInterfaceAndTheLabelsWithTheFaders)
{
    sim::setVolumeDb (out(), 1, -20.0f);
    sim::setVolumeDb (out(), 2, -30.0f);
    auto& p = openPanel();
    ASSERT_TRUE (arrive (p));
    auto& g = *p.sliderGroup;

    // Faders, labels and the interface all tell the same volumes.
    const auto agree = [&] {
        return sim::volumeDb (out(), 1) == (float) left (p) && sim::volumeDb (out(), 2) == (float) right (p)
            && p.leftLevelLabel->getText() == MainComponent::levelText (left (p))
            && p.rightLevelLabel->getText() == MainComponent::levelText (right (p));
    };

    // The pointer rests in the strip between the faders: a wheel notch up.
    const auto strip = g.localPointToGlobal (g.linkArea.getCentre());
    ASSERT_TRUE (controlstest::movePointerTo (strip));
    ASSERT_TRUE (testsupport::pumpUntil ([&] { return g.wasLinked; }, 3000));
    ASSERT_TRUE (controlstest::xdo ("click 4"));
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return left (p) == -19.0 && right (p) == -29.0 && agree(); }))
        << sim::volumeDb (out(), 1) << " dB, label " << p.leftLevelLabel->getText();

    // A drag down over the strip lowers both; back up, it raises them again.
    ASSERT_TRUE (controlstest::xdo ("mousedown 1"));
    for (int step : { 1, 2, 3, 4 })
        controlstest::movePointerTo (strip + juce::Point<int> (0, 6 * step));
    ASSERT_TRUE (testsupport::pumpUntil ([&] { return left (p) < -19.0; }, 3000));
    testsupport::pumpFor (200);
    const auto lowest = left (p);
    for (int step : { 3, 2 })
        controlstest::movePointerTo (strip + juce::Point<int> (0, 6 * step));
    ASSERT_TRUE (controlstest::xdo ("mouseup 1"));
    ASSERT_TRUE (controlstest::waitForButtonsUp());
    EXPECT_GT (left (p), lowest);
    EXPECT_EQ (right (p), left (p) - 10.0);
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return ! p.changeGuard && agree(); }))
        << sim::volumeDb (out(), 1) << " dB, label " << p.leftLevelLabel->getText() << ", fader " << left (p);
    controlstest::movePointerTo ({ 1, 1 });
}

TEST_F (PanelDevice, RefreshSkippedUnderTheGuardIsMadeUpWhenItEnds)
{
    auto& p = openPanel();
    ASSERT_TRUE (arrive (p));
    ASSERT_EQ (p.rightLevelLabel->getText(), "0 dB");

    // The user moves the right fader and keeps at it for a while; meanwhile
    // another program mutes the output, and its refresh comes under the guard.
    p.sliderGroup->mouseInLinkArea = false;
    p.sliderGroup->rightSlider.setValue (-6.0, juce::sendNotificationSync);
    ASSERT_TRUE (paneltest::probeAfterPostedMessages ([&] { return p.changeGuard; }));
    fromOtherThread ([] { sim::setMute (out(), true); });

    const auto end = juce::Time::getMillisecondCounter() + 300;
    while (juce::Time::getMillisecondCounter() < end)
    {
        p.sliderGroup->sendActionMessage ("volume_update");
        testsupport::pumpFor (10);
    }

    // When the guard ends, the controls show the interface, and the labels
    // the user's new value.
    EXPECT_TRUE (testsupport::pumpUntil ([&] {
        return ! p.changeGuard && p.muteButton->getToggleState() && right (p) == -6.0
            && p.rightLevelLabel->getText() == "-6 dB";
    }));
}

TEST_F (PanelDevice, ArrivalUnderTheGuardKeepsTheFadersButReadsMuteAndLabels)
{
    auto& p = openPanel();
    ASSERT_TRUE (arrive (p));

    // The user has the faders at -10 / -12 dB and the guard is held, while
    // the interface reports other values.
    sim::setVolumeDb (out(), 1, -30.0f);
    sim::setVolumeDb (out(), 2, -31.0f);
    sim::setMute (out(), true);
    p.sliderGroup->leftSlider.setValue (-10.0, juce::dontSendNotification);
    p.sliderGroup->rightSlider.setValue (-12.0, juce::dontSendNotification);
    p.changeGuard = true;

    MainComponent::OnApiCallback (&p, nullptr, eventDeviceArrived);
    EXPECT_EQ (left (p), -10.0);
    EXPECT_EQ (right (p), -12.0);
    EXPECT_TRUE (p.muteButton->getToggleState());
    EXPECT_EQ (p.leftLevelLabel->getText(), "-10 dB");
    EXPECT_EQ (p.rightLevelLabel->getText(), "-12 dB");
    EXPECT_TRUE (p.isTimerRunning (MainComponent::timerRefreshFromDevice));
    p.changeGuard = false;
}

TEST_F (PanelDevice, MuteClickWritesTheMute)
{
    auto& p = openPanel();
    ASSERT_TRUE (arrive (p));

    // The click sets the change guard, which holds for at least 50 ms.
    ASSERT_TRUE (testsupport::pumpUntil ([&] { return ! p.changeGuard; }));
    const auto beforeClick = juce::Time::getMillisecondCounter();
    p.muteButton->triggerClick();
    ASSERT_TRUE (paneltest::probeAfterPostedMessages ([&] { return p.changeGuard; }));
    EXPECT_TRUE (sim::isMuted (out()));
    EXPECT_TRUE (p.muteButton->getToggleState());
    ASSERT_TRUE (testsupport::pumpUntil ([&] { return ! p.changeGuard; }));
    EXPECT_GE (juce::Time::getMillisecondCounter() - beforeClick, 50u);
    EXPECT_FALSE (p.isTimerRunning (MainComponent::timerChangeGuard));

    p.muteButton->triggerClick();
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return ! sim::isMuted (out()); }));
    EXPECT_FALSE (p.muteButton->getToggleState());
}

TEST_F (PanelDevice, FactoryDefaults)
{
    sim::setNominalSampleRate (in(), 96000.0);
    sim::setNominalSampleRate (out(), 96000.0);
    sim::setVolumeDb (out(), 1, -20.0f);
    sim::setVolumeDb (out(), 2, -30.0f);
    sim::setMute (out(), true);

    auto& p = openPanel();
    ASSERT_TRUE (arrive (p));
    ASSERT_EQ (tickedRate (p), 96000);

    p.setFactoryDefaults();
    EXPECT_FALSE (sim::isMuted (out()));
    EXPECT_EQ (sim::nominalSampleRate (in()), 48000.0);
    EXPECT_EQ (sim::nominalSampleRate (out()), 48000.0);
    EXPECT_EQ (sim::volumeDb (out(), 1), 0.0f);
    EXPECT_EQ (sim::volumeDb (out(), 2), 0.0f);

    // Read back at once; the rate tick follows the interface's notification.
    EXPECT_EQ (left (p), 0.0);
    EXPECT_EQ (right (p), 0.0);
    EXPECT_FALSE (p.muteButton->getToggleState());
    EXPECT_EQ (p.leftLevelLabel->getText(), "0 dB");
    EXPECT_EQ (p.rightLevelLabel->getText(), "0 dB");
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return tickedRate (p) == 48000; }));
}

TEST_F (PanelDevice, PowerEventsAndNullOwnerChangeNothing)
{
    auto& p = openPanel();
    ASSERT_TRUE (arrive (p));
    const auto rate = tickedRate (p);

    for (auto event : { eventSystemWillSleep, eventSystemWillPowerOn, eventSystemHasPoweredOn })
        MainComponent::OnApiCallback (&p, nullptr, event);
    MainComponent::OnApiCallback (nullptr, nullptr, eventDeviceRemoved);

    EXPECT_TRUE (p.sliderGroup->isVisible());
    EXPECT_EQ (tickedRate (p), rate);
    EXPECT_FALSE (p.isTimerRunning (MainComponent::timerRefreshFromDevice));

    // An owner that is not the registered panel is not used either.
    int notAPanel = 0;
    MainComponent::OnApiCallback (&notAPanel, nullptr, eventDeviceRemoved);
    EXPECT_TRUE (p.sliderGroup->isVisible());
}

// Several notification threads report at once, as fast as they can, while
// panels come and go: each report takes the message-thread lock in turn, and
// nothing hangs. (In numbers: the teardown storm of tests/stress.)
TEST_F (PanelDevice, EventsFromSeveralThreadsWhilePanelsComeAndGo)
{
    std::atomic<bool> stop { false };
    std::atomic<int> reports { 0 };
    std::vector<std::thread> notifiers;
    for (int t = 0; t < 4; ++t)
        notifiers.emplace_back ([&] {
            while (! stop)
                if (auto* owner = currentOwner (mydeviceStruct))
                    MainComponent::OnApiCallback (owner, nullptr, eventPropertyChanged), ++reports;
                else
                    std::this_thread::yield();
        });

    for (int round = 0; round < 6; ++round)
    {
        auto& p = openPanel();
        EXPECT_TRUE (testsupport::pumpUntil ([&] { return p.sliderGroup->isVisible(); }, 20000)) << "round " << round;
        testsupport::pumpFor (150);
        window = nullptr;
        testsupport::pumpFor (20);
        sim::reset();
    }
    stop = true;
    for (auto& t : notifiers)
        t.join();
    EXPECT_GT (reports.load(), 100);
}

TEST_F (PanelDevice, EventWaitingForTheLockWhenThePanelGoes)
{
    for (int round = 0; round < 3; ++round)
    {
        auto& p = openPanel();
        ASSERT_TRUE (arrive (p)) << "round " << round;

        // A change on another thread; its event then waits for the message
        // thread, which is busy here (no loop runs) ...
        fromOtherThread ([round] { sim::setVolumeDb (sim::interfaceOutputDevice(), 2, -3.0f - (float) round); });
        juce::Thread::sleep (150);

        // ... while the panel goes. When the loop runs again, the event must
        // find no panel.
        window = nullptr;
        testsupport::pumpFor (100);
        ASSERT_TRUE (sim::waitForNotifications());
        sim::reset();
    }
}
