// The device link, driven through the simulated interface with the message loop running.
#include <gtest/gtest.h>
#include "TestSupport.h"

#include "device/RegisterDeviceCallBacksMac.h"
#include "platform/SimulatedInterface.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <thread>

namespace
{
struct EventLog
{
    struct Entry
    {
        Velk_CallbackEvent event;
        void* owner;
        void* reserved;
        AudioObjectID in, out;
        bool onMessageThread;
        size_t powerAnswers;
    };

    static void callback (void* owner, void* reserved, Velk_CallbackEvent event)
    {
        auto* log = static_cast<EventLog*> (owner);
        Entry e { event, owner, reserved, gInAudioObjectID, gOutAudioObjectID,
                  juce::MessageManager::getInstance()->isThisTheMessageThread(), sim::powerAnswers().size() };
        std::lock_guard<std::mutex> lock (log->mutex);
        log->entries.push_back (e);
    }

    std::vector<Entry> snapshot()
    {
        std::lock_guard<std::mutex> lock (mutex);
        return entries;
    }

    int count (Velk_CallbackEvent event)
    {
        auto all = snapshot();
        return (int) std::count_if (all.begin(), all.end(), [event] (const Entry& e) { return e.event == event; });
    }

    std::mutex mutex;
    std::vector<Entry> entries;
};


// Each test starts with the default interface and nothing found (TestMain).
class DeviceLink : public ::testing::Test
{
protected:
    void TearDown() override
    {
        sim::reset();   // no event may reach the log after it has gone
        testsupport::pumpFor (10);
    }

    void registerLink() { RegisterDeviceCallBacks (&log, &EventLog::callback); }

    bool waitForArrivals (int n, int timeoutMs = 15000)
    {
        return testsupport::pumpUntil ([&] { return log.count (eventDeviceArrived) >= n; }, timeoutMs);
    }

    // The interface's audio devices without its HID device.
    void audioDevicesWithoutHid()
    {
        sim::unplugInterface();
        in = sim::addAudioDevice (sim::interfaceInputSpec());
        out = sim::addAudioDevice (sim::interfaceOutputSpec());
    }

    void arrive()
    {
        registerLink();
        ASSERT_TRUE (waitForArrivals (1));
        in = sim::interfaceInputDevice();
        out = sim::interfaceOutputDevice();
        sim::clearAccessLog();
    }

    // Accesses this thread made, of one selector.
    static std::vector<sim::Access> myAccesses (AudioObjectPropertySelector selector, bool writes)
    {
        std::vector<sim::Access> result;
        for (auto& a : sim::accessLog())
            if (a.thread == std::this_thread::get_id() && a.address.mSelector == selector && a.write == writes)
                result.push_back (a);
        return result;
    }

    // Discovery runs so far on a device that passes the name and maker tests
    // (two 'uid ' reads each, one per pass).
    int runs()
    {
        int uidReads = 0;
        for (auto& a : sim::accessLog())
            if (a.object == inputOnly && a.address.mSelector == kAudioDevicePropertyDeviceUID)
                ++uidReads;
        return uidReads / 2;
    }

    // pumpUntil, keeping the longest time the message loop was held up.
    bool pumpWatchingTheLoop (const std::function<bool()>& pred, int timeoutMs = 5000)
    {
        auto last = juce::Time::getMillisecondCounterHiRes();
        return testsupport::pumpUntil ([&]
        {
            const auto now = juce::Time::getMillisecondCounterHiRes();
            longestStall = std::max (longestStall, now - last);
            last = now;
            return pred();
        }, timeoutMs);
    }

    EventLog log;
    AudioObjectID in = 0, out = 0, inputOnly = 0;
    double longestStall = 0.0;
    DeviceDescriptor record {};   // a record of the test's own, for callbacks called directly
};

// ---------------------------------------------------------------------------
// Registration and hot-plug

TEST_F (DeviceLink, InterfacePresentAtStartArrivesThroughTheHidPathOnceTheLoopRuns)
{
    registerLink();
    EXPECT_EQ (mydeviceStruct.vendorId, (UInt32) sim::kVendorId);
    EXPECT_EQ (mydeviceStruct.productId, (UInt32) sim::kProductId);
    EXPECT_EQ (sim::hidManagerCount(), 1);
    EXPECT_TRUE (log.snapshot().empty()) << "nothing may be reported from inside the registration";
    // Hot-plug on the main loop in its default mode; power messages there in all common modes.
    const auto hid = sim::hidManagerSchedules(), power = sim::runLoopSourceSchedules();
    ASSERT_EQ (hid.size(), 1u);
    EXPECT_TRUE (hid[0].mainLoop);
    EXPECT_EQ (hid[0].mode, "kCFRunLoopDefaultMode");
    ASSERT_EQ (power.size(), 1u);
    EXPECT_TRUE (power[0].mainLoop);
    EXPECT_EQ (power[0].mode, "kCFRunLoopCommonModes");
    EXPECT_EQ (gInAudioObjectID, 0u);

    ASSERT_TRUE (waitForArrivals (1));
    testsupport::pumpFor (100);
    auto events = log.snapshot();
    ASSERT_EQ (events.size(), 1u);
    EXPECT_EQ (events[0].owner, &log);
    EXPECT_EQ (events[0].reserved, nullptr);
    EXPECT_TRUE (events[0].onMessageThread);
    EXPECT_EQ (gInAudioObjectID, sim::interfaceInputDevice());
    EXPECT_EQ (gOutAudioObjectID, sim::interfaceOutputDevice());
    EXPECT_NE (sim::interfaceInputDevice(), 0u);
}

TEST_F (DeviceLink, PluggingInLaterArrivesAndUnpluggingRaisesRemovalWhileTheIdsAreStillSet)
{
    sim::unplugInterface();
    registerLink();
    testsupport::pumpFor (300);
    EXPECT_TRUE (log.snapshot().empty());
    EXPECT_EQ (gInAudioObjectID, 0u);

    sim::plugInterface();
    ASSERT_TRUE (waitForArrivals (1));
    const auto oldIn = gInAudioObjectID.load(), oldOut = gOutAudioObjectID.load();
    ASSERT_NE (oldIn, 0u);

    sim::unplugInterface();
    ASSERT_TRUE (testsupport::pumpUntil ([&] { return log.count (eventDeviceRemoved) == 1; }));
    auto removal = log.snapshot().back();
    EXPECT_EQ (removal.event, eventDeviceRemoved);
    EXPECT_EQ (removal.in, oldIn) << "the handler must still see the old ids";
    EXPECT_EQ (removal.out, oldOut);
    EXPECT_TRUE (removal.onMessageThread);
    EXPECT_EQ (gInAudioObjectID, 0u);
    EXPECT_EQ (gOutAudioObjectID, 0u);
}

TEST_F (DeviceLink, AudioDevicesAppearingAfterTheHidDeviceAreFoundByALaterRun)
{
    sim::unplugInterface();
    sim::setAudioDeviceDelay (1500);
    registerLink();
    testsupport::pumpFor (50);

    const auto start = juce::Time::getMillisecondCounterHiRes();
    sim::plugInterface();
    ASSERT_TRUE (waitForArrivals (1));
    EXPECT_GE (juce::Time::getMillisecondCounterHiRes() - start, 1000.0) << "found only after a 1 s pause";
    EXPECT_EQ (gOutAudioObjectID, sim::interfaceOutputDevice());
}

// Only the input side ever shows up: five runs a second apart, with the
// message loop going on between them, and no arrival.
TEST_F (DeviceLink, NoArrivalWhenTheOutputSideNeverAppears)
{
    sim::unplugInterface();
    sim::removeAllAudioDevices();
    inputOnly = sim::addAudioDevice (sim::interfaceInputSpec());
    registerLink();

    const auto start = juce::Time::getMillisecondCounterHiRes();
    sim::addHidDevice ({});
    ASSERT_TRUE (pumpWatchingTheLoop ([&] { return runs() == 5; }, 20000));
    EXPECT_GE (juce::Time::getMillisecondCounterHiRes() - start, 3900.0) << "a second between runs";
    pumpWatchingTheLoop ([] { return false; }, 1500);
    EXPECT_EQ (runs(), 5) << "five runs in all";
    EXPECT_LT (longestStall, 900.0) << "the runs must not hold up the message loop";
    std::vector<AudioObjectPropertyScope> uidReads, fiveRuns;
    for (auto& a : sim::accessLog())
        if (a.object == inputOnly && a.address.mSelector == kAudioDevicePropertyDeviceUID)
            uidReads.push_back (a.address.mScope);
    for (int run = 0; run < 5; ++run)
        fiveRuns.insert (fiveRuns.end(), { kAudioObjectPropertyScopeInput, kAudioObjectPropertyScopeOutput });
    EXPECT_EQ (uidReads, fiveRuns) << "five runs of two passes each, the input pass first";
    EXPECT_EQ (log.count (eventDeviceArrived), 0);
    EXPECT_EQ (gInAudioObjectID, inputOnly) << "the input side alone is kept";
    EXPECT_EQ (gOutAudioObjectID, 0u);
}

// A bouncing cable: every removal drops the runs its arrival still had to make.
TEST_F (DeviceLink, RemovalDropsTheDiscoveryRunsStillPending)
{
    sim::unplugInterface();
    sim::removeAllAudioDevices();
    inputOnly = sim::addAudioDevice (sim::interfaceInputSpec());
    registerLink();

    for (int bounce = 1; bounce <= 3; ++bounce)
    {
        const int hid = sim::addHidDevice ({});
        ASSERT_TRUE (pumpWatchingTheLoop ([&] { return runs() >= bounce; }));
        sim::removeHidDevice (hid);
        ASSERT_TRUE (pumpWatchingTheLoop ([&] { return log.count (eventDeviceRemoved) == bounce; }));
    }
    pumpWatchingTheLoop ([] { return false; }, 2500);
    EXPECT_EQ (runs(), 3) << "one run per bounce";
    EXPECT_LT (longestStall, 900.0);
    EXPECT_EQ (gInAudioObjectID, 0u);
}

TEST_F (DeviceLink, HidDeviceWithoutProductRaisesNeitherArrivalNorRemoval)
{
    audioDevicesWithoutHid();
    registerLink();
    sim::HidDeviceSpec spec;
    spec.product.reset();
    const int hid = sim::addHidDevice (spec);
    testsupport::pumpFor (1000);
    EXPECT_EQ (log.count (eventDeviceArrived), 0);
    EXPECT_EQ (gInAudioObjectID, 0u);

    sim::removeHidDevice (hid);
    testsupport::pumpFor (300);
    EXPECT_TRUE (log.snapshot().empty());
}

TEST_F (DeviceLink, ProductNameDecidesRemovalButNotArrival)
{
    audioDevicesWithoutHid();
    registerLink();

    sim::HidDeviceSpec other;
    other.product = "Other";
    const int hid = sim::addHidDevice (other);
    ASSERT_TRUE (waitForArrivals (1));
    sim::removeHidDevice (hid);
    testsupport::pumpFor (500);
    EXPECT_EQ (log.count (eventDeviceRemoved), 0);
    EXPECT_EQ (gInAudioObjectID, in) << "ids stay set";

    // The ids kept count as found: the next arrival reports at once, although
    // discovery finds nothing now.
    sim::removeAllAudioDevices();
    sim::HidDeviceSpec capitals;
    capitals.product = "QUIBRA";
    const int hid2 = sim::addHidDevice (capitals);
    ASSERT_TRUE (waitForArrivals (2, 3000));
    EXPECT_EQ (gInAudioObjectID, in);
    EXPECT_EQ (gOutAudioObjectID, out);
    sim::removeHidDevice (hid2);
    ASSERT_TRUE (testsupport::pumpUntil ([&] { return log.count (eventDeviceRemoved) == 1; }));
    EXPECT_EQ (gInAudioObjectID, 0u);
}

TEST_F (DeviceLink, TwoMatchingHidDevicesArriveTwiceAndOthersNotAtAll)
{
    audioDevicesWithoutHid();
    registerLink();
    sim::HidDeviceSpec foreign;
    foreign.vendorId = 0x1234;
    sim::addHidDevice (foreign);
    sim::HidDeviceSpec otherProduct;
    otherProduct.productId = sim::kProductId + 1;
    sim::addHidDevice (otherProduct);
    sim::addHidDevice ({});
    sim::addHidDevice ({});
    ASSERT_TRUE (waitForArrivals (2));
    testsupport::pumpFor (500);
    EXPECT_EQ (log.count (eventDeviceArrived), 2);
}

// The HID callbacks check the ids themselves, beside the manager's matching set:
// they are handed devices here by a manager of the test's own that matches all.
TEST_F (DeviceLink, HidCallbacksTakeOnlyTheInterfacesVendorAndProductIds)
{
    audioDevicesWithoutHid();
    struct Devices
    {
        static void add (void* context, IOReturn, void*, IOHIDDeviceRef device)
        {
            static_cast<Devices*> (context)->all.push_back ((IOHIDDeviceRef) CFRetain (device));
        }
        std::vector<IOHIDDeviceRef> all;
    } devices;
    auto manager = IOHIDManagerCreate (kCFAllocatorDefault, kIOHIDOptionsTypeNone);
    IOHIDManagerRegisterDeviceMatchingCallback (manager, Devices::add, &devices);
    IOHIDManagerScheduleWithRunLoop (manager, CFRunLoopGetMain(), kCFRunLoopDefaultMode);
    IOHIDManagerOpen (manager, kIOHIDOptionsTypeNone);
    sim::HidDeviceSpec otherVendor, otherProduct;
    otherVendor.vendorId = 0x1234;
    otherProduct.productId = sim::kProductId + 1;
    sim::addHidDevice (otherVendor);
    sim::addHidDevice (otherProduct);
    sim::addHidDevice ({});
    ASSERT_TRUE (testsupport::pumpUntil ([&] { return devices.all.size() == 3; }));

    record = { &log, kQuibraVendorId, kQuibraProductId, "Quibra", "Quibra", "Velkwerk GmbH", &EventLog::callback };
    for (int i : { 0, 1 })
    {
        Handle_DeviceMatchingCallback (&record, kIOReturnSuccess, manager, devices.all[(size_t) i]);
        Handle_DeviceRemovalCallback (&record, kIOReturnSuccess, manager, devices.all[(size_t) i]);
    }
    EXPECT_TRUE (log.snapshot().empty());
    EXPECT_EQ (gInAudioObjectID, 0u) << "no discovery for another device";

    Handle_DeviceMatchingCallback (&record, kIOReturnSuccess, manager, devices.all[2]);
    EXPECT_EQ (log.count (eventDeviceArrived), 1);
    EXPECT_EQ (gInAudioObjectID, in);
    Handle_DeviceRemovalCallback (&record, kIOReturnSuccess, manager, devices.all[2]);
    EXPECT_EQ (log.count (eventDeviceRemoved), 1);
    EXPECT_EQ (gInAudioObjectID, 0u);

    for (auto* device : devices.all)
        CFRelease (device);
    CFRelease (manager);
}

// Callbacks reached with a record that was never filled (no event callback) or
// without a device raise nothing and do not crash.
TEST_F (DeviceLink, CallbacksWithAnEmptyRecordOrNoDeviceDoNothing)
{
    const AudioObjectPropertyAddress changes[] { { kAudioDevicePropertyMute, kAudioObjectPropertyScopeOutput, 0 },
                                                 { kAudioDevicePropertyNominalSampleRate, kAudioObjectPropertyScopeGlobal, 0 } };
    const auto out = sim::interfaceOutputDevice();
    EXPECT_EQ (myAudioObjectPropertyListenerProc (out, 2, changes, &record), noErr);
    EXPECT_EQ (myAudioObjectPropertyListenerProc (out, 2, changes, nullptr), noErr);
    MySleepCallBack (&record, 0, kIOMessageSystemWillSleep, nullptr);
    MySleepCallBack (nullptr, 0, kIOMessageSystemWillSleep, nullptr);
    Handle_DeviceMatchingCallback (&record, kIOReturnSuccess, nullptr, nullptr);
    Handle_DeviceRemovalCallback (&record, kIOReturnSuccess, nullptr, nullptr);
    EXPECT_EQ (gInAudioObjectID, 0u);
}

// ---------------------------------------------------------------------------
// Discovery: name, maker, streams and listener rules, one run at a time

class Discovery : public DeviceLink
{
protected:
    // Runs discovery over a list holding only this device; returns whether it
    // was taken as the input side.
    bool takenAsInput (sim::AudioDeviceSpec spec)
    {
        sim::removeAllAudioDevices();
        if (spec.inputStreams == 0 && spec.outputStreams == 0)
            spec.inputStreams = 1;
        const auto id = sim::addAudioDevice (spec);
        gInAudioObjectID = 0;
        gOutAudioObjectID = 0;
        CreateInputDeviceArray (CFSTR ("Quibra"), CFSTR ("Velkwerk GmbH"), &record);
        return gInAudioObjectID == id;
    }

    static sim::AudioDeviceSpec named (const char* name, const char* maker = "Velkwerk GmbH")
    {
        auto spec = sim::interfaceInputSpec();
        spec.name = name;
        spec.maker = maker;
        return spec;
    }

};

TEST_F (Discovery, NameIsALeadingPartOrEqualIgnoringCaseAndMakerEqualIgnoringCase)
{
    EXPECT_TRUE (takenAsInput (named ("Quibra")));
    EXPECT_TRUE (takenAsInput (named ("QUIBRA", "VELKWERK GMBH")));
    EXPECT_TRUE (takenAsInput (named ("quibra", "velkwerk gmbh")));
    EXPECT_TRUE (takenAsInput (named ("Quib")));
    EXPECT_TRUE (takenAsInput (named ("")));

    EXPECT_FALSE (takenAsInput (named ("quib"))) << "a leading part must match exactly";
    EXPECT_FALSE (takenAsInput (named ("Quibra 2")));
    EXPECT_FALSE (takenAsInput (named ("Quibrax")));
    EXPECT_FALSE (takenAsInput (named ("Quibra", "Velkwerk")));
    EXPECT_FALSE (takenAsInput (named ("Quibra", "Other GmbH")));
    EXPECT_FALSE (takenAsInput (named ("Onboard Audio", "Generic Audio Inc.")));
}

TEST_F (Discovery, DevicesWithUnreadablePropertiesOrNoStreamsAreSkipped)
{
    auto spec = named ("Quibra");
    spec.hasUid = false;
    EXPECT_FALSE (takenAsInput (spec));
    spec = named ("Quibra");
    spec.hasName = false;
    EXPECT_FALSE (takenAsInput (spec));
    spec = named ("Quibra");
    spec.hasMaker = false;
    EXPECT_FALSE (takenAsInput (spec));
    spec = named ("Quibra");
    spec.hasStreamLayout = false;
    EXPECT_FALSE (takenAsInput (spec));
    spec = named ("Quibra");
    spec.inputStreams = 0;
    spec.outputStreams = 1;
    EXPECT_FALSE (takenAsInput (spec)) << "an output-only device is no input side";
    EXPECT_NE (gOutAudioObjectID, 0u);
}

TEST_F (Discovery, LastMatchWinsAndADeviceWithBothDirectionsServesBothSides)
{
    sim::removeAllAudioDevices();
    auto out1 = sim::addAudioDevice (sim::interfaceOutputSpec());
    auto out2 = sim::addAudioDevice (sim::interfaceOutputSpec());
    auto spec = sim::interfaceOutputSpec();
    spec.name = "Quibra 2";
    sim::addAudioDevice (spec);
    auto both = sim::interfaceInputSpec();
    both.outputStreams = 0;
    auto in1 = sim::addAudioDevice (both);
    CreateInputDeviceArray (CFSTR ("Quibra"), CFSTR ("Velkwerk GmbH"), &record);
    EXPECT_NE (out1, out2);
    EXPECT_EQ (gOutAudioObjectID, out2);
    EXPECT_EQ (gInAudioObjectID, in1);

    sim::removeAllAudioDevices();
    both.outputStreams = 1;
    auto duplex = sim::addAudioDevice (both);
    CreateInputDeviceArray (CFSTR ("Quibra"), CFSTR ("Velkwerk GmbH"), &record);
    EXPECT_EQ (gInAudioObjectID, duplex);
    EXPECT_EQ (gOutAudioObjectID, duplex);
}

TEST_F (Discovery, AFailedListenerInstallKeepsADeviceOnlyWhenTheOtherSideIsIt)
{
    sim::removeAllAudioDevices();
    auto spec = sim::interfaceInputSpec();
    spec.outputStreams = 1;
    const auto duplex = sim::addAudioDevice (spec);
    sim::failListenerInstall (duplex);

    gInAudioObjectID = 0;
    gOutAudioObjectID = 0;
    CreateInputDeviceArray (CFSTR ("Quibra"), CFSTR ("Velkwerk GmbH"), &record);
    EXPECT_EQ (gInAudioObjectID, 0u);
    EXPECT_EQ (gOutAudioObjectID, 0u);

    gOutAudioObjectID = duplex;
    CreateInputDeviceArray (CFSTR ("Quibra"), CFSTR ("Velkwerk GmbH"), &record);
    EXPECT_EQ (gInAudioObjectID, duplex);
    EXPECT_EQ (gOutAudioObjectID, duplex);

    gOutAudioObjectID = 0;
    CreateInputDeviceArray (CFSTR ("Quibra"), CFSTR ("Velkwerk GmbH"), &record);
    EXPECT_EQ (gOutAudioObjectID, duplex) << "the output pass takes a device that is the input side";

    gInAudioObjectID = 0;
    gOutAudioObjectID = duplex + 1;
    CreateInputDeviceArray (CFSTR ("Quibra"), CFSTR ("Velkwerk GmbH"), &record);
    EXPECT_EQ (gInAudioObjectID, 0u);
    EXPECT_EQ (gOutAudioObjectID, duplex + 1);
}

// ---------------------------------------------------------------------------
// Property watch

TEST_F (DeviceLink, OneEventPerWatchedAddressOnTheNotificationThread)
{
    arrive();
    sim::notify (out, { { kAudioDevicePropertyMute, kAudioObjectPropertyScopeOutput, 0 },
                        { kAudioDevicePropertyVolumeScalar, kAudioObjectPropertyScopeOutput, 1 },
                        { kAudioDevicePropertyVolumeDecibels, kAudioObjectPropertyScopeOutput, 1 },
                        { audioFourCC ("abcd"), kAudioObjectPropertyScopeGlobal, 0 } });
    ASSERT_TRUE (sim::waitForNotifications());
    EXPECT_EQ (log.count (eventPropertyChanged), 2);
    for (auto& e : log.snapshot())
        if (e.event == eventPropertyChanged)
        {
            EXPECT_FALSE (e.onMessageThread);
            EXPECT_EQ (e.owner, &log);
            EXPECT_EQ (e.reserved, nullptr);
        }

    sim::notify (in, { { kAudioDevicePropertyPlayThru, kAudioObjectPropertyScopeGlobal, 0 },
                       { kAudioDevicePropertyDataSource, kAudioObjectPropertyScopeInput, 0 } });
    ASSERT_TRUE (sim::waitForNotifications());
    EXPECT_EQ (log.count (eventPropertyChanged), 4);

    // A 'volm' that cannot be read raises nothing; 'mute' raises regardless.
    sim::failReads (out, kAudioDevicePropertyVolumeScalar);
    sim::failReads (out, kAudioDevicePropertyMute);
    sim::notify (out, { { kAudioDevicePropertyVolumeScalar, kAudioObjectPropertyScopeOutput, 2 },
                        { kAudioDevicePropertyMute, kAudioObjectPropertyScopeOutput, 0 } });
    ASSERT_TRUE (sim::waitForNotifications());
    EXPECT_EQ (log.count (eventPropertyChanged), 5);
}

TEST_F (DeviceLink, VolumeInDecibelsAloneRaisesNothingButAVolumeWriteIsReported)
{
    arrive();
    sim::notify (out, { { kAudioDevicePropertyVolumeDecibels, kAudioObjectPropertyScopeOutput, 1 } });
    ASSERT_TRUE (sim::waitForNotifications());
    EXPECT_EQ (log.count (eventPropertyChanged), 0);

    EXPECT_EQ (sim::setVolumeDb (out, 1, -10.0f), noErr);   // reported as 'vold' and 'volm'
    ASSERT_TRUE (sim::waitForNotifications());
    EXPECT_EQ (log.count (eventPropertyChanged), 1);

    EXPECT_EQ (sim::setMute (out, true), noErr);
    ASSERT_TRUE (sim::waitForNotifications());
    EXPECT_EQ (log.count (eventPropertyChanged), 2);
}

TEST_F (DeviceLink, RateChangeOnOneSideIsCopiedToTheOtherAndReported)
{
    arrive();
    std::thread other ([&] { EXPECT_EQ (sim::setNominalSampleRate (in, 96000.0), noErr); });
    other.join();
    ASSERT_TRUE (sim::waitForNotifications());
    EXPECT_EQ (sim::nominalSampleRate (out), 96000.0);
    EXPECT_EQ (sim::nominalSampleRate (in), 96000.0);
    // One report for the input's change and one for the output's that followed.
    EXPECT_EQ (log.count (eventPropertyChanged), 2);

    int inputWrites = 0;
    for (auto& a : sim::accessLog())
        if (a.write && a.object == in && a.address.mSelector == kAudioDevicePropertyNominalSampleRate)
            ++inputWrites;
    EXPECT_EQ (inputWrites, 1) << "the side that already has the rate is not written";
}

TEST_F (DeviceLink, OnlyRatesTheInterfaceCanHaveAreCopiedReportedOrSet)
{
    sim::unplugInterface();
    auto inSpec = sim::interfaceInputSpec(), outSpec = sim::interfaceOutputSpec();
    for (auto* spec : { &inSpec, &outSpec })
        spec->nominalRates = { 22050.0, 32000.0, 44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0, 384000.0 };
    in = sim::addAudioDevice (inSpec);
    out = sim::addAudioDevice (outSpec);
    registerLink();
    sim::addHidDevice ({});
    ASSERT_TRUE (waitForArrivals (1));

    // One report for the input's change and one for the output's that followed.
    for (Float64 rate : { 192000.0, 176400.0, 96000.0, 88200.0, 32000.0, 44100.0, 48000.0 })
    {
        const int before = log.count (eventPropertyChanged);
        EXPECT_EQ (sim::setNominalSampleRate (in, rate), noErr);
        EXPECT_TRUE (sim::waitForNotifications());
        EXPECT_EQ (sim::nominalSampleRate (out), rate);
        EXPECT_EQ (log.count (eventPropertyChanged) - before, 2) << rate;
    }

    // Rates the interface cannot have, set by another program or reported by
    // a faulty driver: neither copied nor reported.
    const int before = log.count (eventPropertyChanged);
    sim::clearAccessLog();
    for (Float64 rate : { 22050.0, 384000.0 })
        EXPECT_EQ (sim::setNominalSampleRate (in, rate), noErr);
    for (Float64 rate : { std::nan (""), HUGE_VAL, 0.0, -48000.0 })
        sim::forceNominalSampleRate (in, rate);
    ASSERT_TRUE (sim::waitForNotifications());
    EXPECT_EQ (log.count (eventPropertyChanged), before);
    EXPECT_EQ (sim::nominalSampleRate (out), 48000.0);
    for (auto& a : sim::accessLog())
        EXPECT_FALSE (a.write && a.object == out) << a.value;

    // Nor are they set: false at once, nothing written.
    sim::clearAccessLog();
    for (Float64 rate : { std::nan (""), 22050.0, 0.0, -44100.0 })
        EXPECT_FALSE (hw_setSampleRate (rate)) << rate;
    for (auto& a : sim::accessLog())
        EXPECT_FALSE (a.write) << a.value;
}

TEST_F (DeviceLink, RateThatCannotBeReadIsNeitherCopiedNorReported)
{
    arrive();
    sim::failReads (in, kAudioDevicePropertyNominalSampleRate);
    sim::notify (in, { { kAudioDevicePropertyNominalSampleRate, kAudioObjectPropertyScopeGlobal, 0 } });
    ASSERT_TRUE (sim::waitForNotifications());
    EXPECT_EQ (log.count (eventPropertyChanged), 0);
    for (auto& a : sim::accessLog())
        EXPECT_FALSE (a.write) << "nothing is written";
}

// ---------------------------------------------------------------------------
// Power messages

TEST_F (DeviceLink, SleepMessagesAreReportedOnTheMessageThreadAndSleepIsAllowedAfterTheEvent)
{
    registerLink();
    ASSERT_NE (root_port, 0u);
    ASSERT_TRUE (waitForArrivals (1));

    sim::sendPowerMessage (kIOMessageCanSystemSleep, 41);
    sim::sendPowerMessage (kIOMessageSystemWillSleep, 42);
    sim::sendPowerMessage (kIOMessageSystemWillNotSleep, 43);
    sim::sendPowerMessage (kIOMessageSystemWillPowerOn, 44);
    sim::sendPowerMessage (kIOMessageSystemHasPoweredOn, 45);
    ASSERT_TRUE (testsupport::pumpUntil ([&] { return log.count (eventSystemHasPoweredOn) == 1; }));
    testsupport::pumpFor (100);

    auto events = log.snapshot();
    ASSERT_EQ (events.size(), 4u);
    EXPECT_EQ (events[1].event, eventSystemWillSleep);
    EXPECT_EQ (events[1].powerAnswers, 1u) << "only the can-sleep answer precedes the will-sleep event";
    EXPECT_TRUE (events[1].onMessageThread);
    EXPECT_EQ (events[2].event, eventSystemWillPowerOn);
    EXPECT_EQ (events[3].event, eventSystemHasPoweredOn);

    auto answers = sim::powerAnswers();
    ASSERT_EQ (answers.size(), 2u) << "will-not-sleep is not answered";
    EXPECT_EQ (answers[0].notificationID, 41);
    EXPECT_EQ (answers[1].notificationID, 42);
    EXPECT_EQ (answers[1].port, root_port);
    EXPECT_TRUE (answers[1].allowed);
}

TEST_F (DeviceLink, FailedPowerRegistrationMeansNoPowerMessages)
{
    sim::failPowerRegistration();
    registerLink();
    EXPECT_EQ (root_port, 0u);
    sim::sendPowerMessage (kIOMessageSystemWillSleep, 1);
    ASSERT_TRUE (waitForArrivals (1)) << "hot-plug still works";
    testsupport::pumpFor (200);
    EXPECT_EQ (log.count (eventSystemWillSleep), 0);
    EXPECT_TRUE (sim::powerAnswers().empty());
}

// ---------------------------------------------------------------------------
// Sample rate

TEST_F (DeviceLink, SampleRate32000GoesThroughThePhysicalFormat)
{
    arrive();
    EXPECT_TRUE (hw_setSampleRate (32000.0));
    auto writes = myAccesses (kAudioStreamPropertyPhysicalFormat, true);
    ASSERT_EQ (writes.size(), 2u);
    EXPECT_EQ (writes[0].object, in);
    EXPECT_EQ (writes[1].object, out);
    for (auto& w : writes)
    {
        const auto& f = w.format;
        EXPECT_EQ (f.mSampleRate, 32000.0);
        EXPECT_EQ (f.mFormatID, kAudioFormatLinearPCM);
        EXPECT_EQ (f.mFormatFlags, 0x0Cu) << "signed integer, packed";
        EXPECT_EQ (f.mBytesPerPacket, 4u);
        EXPECT_EQ (f.mFramesPerPacket, 1u);
        EXPECT_EQ (f.mBytesPerFrame, 4u);
        EXPECT_EQ (f.mChannelsPerFrame, 2u);
        EXPECT_EQ (f.mBitsPerChannel, 16u);
        EXPECT_EQ (f.mReserved, 0u);
    }
    EXPECT_TRUE (myAccesses (kAudioDevicePropertyNominalSampleRate, true).empty());
    EXPECT_EQ (sim::nominalSampleRate (in), 32000.0);
    EXPECT_EQ (sim::nominalSampleRate (out), 32000.0);
    sim::waitForNotifications();
}

TEST_F (DeviceLink, SampleRateReturnsAtOnceWhenTheSidesAgree)
{
    arrive();
    EXPECT_TRUE (hw_setSampleRate (48000.0));
    EXPECT_EQ (myAccesses (kAudioDevicePropertyNominalSampleRate, false).size(), 2u) << "no second look";

    sim::clearAccessLog();
    EXPECT_TRUE (hw_setSampleRate (96000.0));
    EXPECT_EQ (myAccesses (kAudioDevicePropertyNominalSampleRate, false).size(), 2u);
    EXPECT_EQ (sim::nominalSampleRate (out), 96000.0);
    ASSERT_TRUE (sim::waitForNotifications());

    // Both refuse alike: they still agree, on a rate other than the one asked for.
    sim::refuseRate (in, 88200.0);
    sim::refuseRate (out, 88200.0);
    sim::clearAccessLog();
    EXPECT_TRUE (hw_setSampleRate (88200.0));
    EXPECT_EQ (myAccesses (kAudioDevicePropertyNominalSampleRate, false).size(), 2u);
    EXPECT_EQ (sim::nominalSampleRate (in), 96000.0);
}

TEST_F (DeviceLink, SampleRateWaitsOnceWhenTheSidesDisagree)
{
    arrive();
    sim::refuseRate (out, 176400.0);
    auto start = juce::Time::getMillisecondCounterHiRes();
    EXPECT_FALSE (hw_setSampleRate (176400.0));
    EXPECT_GE (juce::Time::getMillisecondCounterHiRes() - start, 299.0);
    EXPECT_EQ (myAccesses (kAudioDevicePropertyNominalSampleRate, false).size(), 4u);
    ASSERT_TRUE (sim::waitForNotifications());

    sim::refuseRate (out, 176400.0, false);
    sim::failReads (out, kAudioDevicePropertyNominalSampleRate);
    start = juce::Time::getMillisecondCounterHiRes();
    EXPECT_FALSE (hw_setSampleRate (44100.0)) << "an unreadable output never agrees";
    EXPECT_GE (juce::Time::getMillisecondCounterHiRes() - start, 299.0);
}

// The output refuses the operation's own write, and the listener copies the
// input's new rate to it during the wait: the second look finds them together.
TEST_F (DeviceLink, SampleRateAgreesAfterTheWaitWhenTheListenerCopiedTheRate)
{
    arrive();
    // A listener of the test's own holds the notification thread until the
    // operation has read the output's rate once, then lets writes to it through.
    struct Gate
    {
        static OSStatus listener (AudioObjectID, UInt32, const AudioObjectPropertyAddress*, void* data)
        {
            auto* gate = static_cast<Gate*> (data);
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds (10);
            while (! gate->outputRead() && std::chrono::steady_clock::now() < end)
                std::this_thread::sleep_for (std::chrono::milliseconds (1));
            sim::failWrites (gate->out, kAudioDevicePropertyNominalSampleRate, false);
            return noErr;
        }
        bool outputRead() const
        {
            for (auto& a : sim::accessLog())
                if (a.thread == caller && a.object == out && ! a.write && a.address.mSelector == kAudioDevicePropertyNominalSampleRate)
                    return true;
            return false;
        }
        std::thread::id caller;
        AudioObjectID out;
    } gate { std::this_thread::get_id(), out };

    const auto onboard = sim::audioDevices().front();
    const AudioObjectPropertyAddress mute { kAudioDevicePropertyMute, kAudioObjectPropertyScopeOutput, 0 };
    ASSERT_EQ (AudioObjectAddPropertyListener (onboard, &mute, &Gate::listener, &gate), noErr);
    sim::failWrites (out, kAudioDevicePropertyNominalSampleRate);
    sim::notify (onboard, { mute });

    EXPECT_TRUE (hw_setSampleRate (96000.0));
    EXPECT_EQ (myAccesses (kAudioDevicePropertyNominalSampleRate, false).size(), 4u) << "a second look after the wait";
    EXPECT_EQ (sim::nominalSampleRate (out), 96000.0);
    ASSERT_TRUE (sim::waitForNotifications());
}

TEST_F (DeviceLink, SampleRateWithoutTheInterfaceFailsAtOnce)
{
    sim::clearAccessLog();
    EXPECT_FALSE (hw_setSampleRate (48000.0));
    EXPECT_EQ (myAccesses (kAudioDevicePropertyNominalSampleRate, false).size(), 2u);
}
} // namespace
