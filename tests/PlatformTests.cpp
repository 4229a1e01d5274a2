// The platform stand-in and its simulated interface.
#include <gtest/gtest.h>
#include "TestSupport.h"

#include "platform/SimulatedInterface.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace
{
// Each test starts with the default interface (TestMain).
class Platform : public ::testing::Test
{
protected:
    void TearDown() override
    {
        sim::reset();
        testsupport::pumpFor (10);
    }
};

// ---------------------------------------------------------------------------
// CoreFoundation

TEST_F (Platform, StringsNumbersAndContainers)
{
    CFStringRef a = CFStringCreateWithCString (kCFAllocatorDefault, "Velkwerk GmbH", kCFStringEncodingASCII);
    CFStringRef b = CFStringCreateWithCString (kCFAllocatorDefault, "VELKWERK gmbh", kCFStringEncodingASCII);
    EXPECT_EQ (CFStringCompare (a, b, kCFCompareCaseInsensitive), kCFCompareEqualTo);
    EXPECT_NE (CFStringCompare (a, b, 0), kCFCompareEqualTo);
    EXPECT_EQ (CFStringGetLength (a), 13);
    EXPECT_EQ (CFStringCreateWithCString (kCFAllocatorDefault, "Gr\xc3\xbc\xc3\x9f", kCFStringEncodingASCII), nullptr);
    char small[4];
    EXPECT_FALSE (CFStringGetCString (a, small, sizeof (small), kCFStringEncodingUTF8));

    const int vendor = sim::kVendorId;
    CFNumberRef n = CFNumberCreate (kCFAllocatorDefault, kCFNumberIntType, &vendor);
    SInt32 back = 0;
    EXPECT_TRUE (CFNumberGetValue (n, kCFNumberSInt32Type, &back));
    EXPECT_EQ (back, sim::kVendorId);

    CFMutableDictionaryRef dict = CFDictionaryCreateMutable (kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                                             &kCFTypeDictionaryValueCallBacks);
    CFDictionarySetValue (dict, CFSTR ("VendorID"), n);
    CFRelease (n);   // the dictionary keeps it
    CFStringRef key = CFStringCreateWithCString (kCFAllocatorDefault, "VendorID", kCFStringEncodingUTF8);
    auto stored = static_cast<CFNumberRef> (CFDictionaryGetValue (dict, key));
    ASSERT_NE (stored, nullptr);
    EXPECT_TRUE (CFNumberGetValue (stored, kCFNumberSInt32Type, &back));

    CFMutableArrayRef array = CFArrayCreateMutable (kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    CFArrayAppendValue (array, dict);
    EXPECT_EQ (CFGetRetainCount (dict), 2);
    CFRelease (array);
    EXPECT_EQ (CFGetRetainCount (dict), 1);
    for (auto ref : { (CFTypeRef) a, (CFTypeRef) b, (CFTypeRef) key, (CFTypeRef) dict })
        CFRelease (ref);
}

// ---------------------------------------------------------------------------
// CoreAudio properties

TEST_F (Platform, DefaultDeviceListHasTheInterfaceAndAnotherDevice)
{
    const AudioObjectPropertyAddress devices { kAudioHardwarePropertyDevices, kAudioObjectPropertyScopeGlobal, 0 };
    UInt32 size = 0;
    ASSERT_EQ (AudioObjectGetPropertyDataSize (kAudioObjectSystemObject, &devices, 0, nullptr, &size), noErr);
    ASSERT_EQ (size, 3 * sizeof (AudioObjectID));
    AudioObjectID ids[3] {};
    ASSERT_EQ (AudioObjectGetPropertyData (kAudioObjectSystemObject, &devices, 0, nullptr, &size, ids), noErr);
    EXPECT_EQ (ids[1], sim::interfaceInputDevice());
    EXPECT_EQ (ids[2], sim::interfaceOutputDevice());

    const AudioObjectPropertyAddress maker { kAudioObjectPropertyManufacturer, kAudioObjectPropertyScopeOutput, 0 };
    CFStringRef text = nullptr;
    size = sizeof (text);
    ASSERT_EQ (AudioObjectGetPropertyData (ids[2], &maker, 0, nullptr, &size, &text), noErr);
    EXPECT_EQ (CFStringCompare (text, CFSTR ("Velkwerk GmbH"), 0), kCFCompareEqualTo);
    CFRelease (text);

    const AudioObjectPropertyAddress layout { kAudioDevicePropertyStreamConfiguration, kAudioObjectPropertyScopeOutput, 0 };
    for (auto [id, buffers] : { std::pair<AudioObjectID, UInt32> { ids[1], 0 }, { ids[2], 1 } })
    {
        ASSERT_EQ (AudioObjectGetPropertyDataSize (id, &layout, 0, nullptr, &size), noErr);
        std::vector<char> buffer (size);
        ASSERT_EQ (AudioObjectGetPropertyData (id, &layout, 0, nullptr, &size, buffer.data()), noErr);
        EXPECT_EQ (reinterpret_cast<AudioBufferList*> (buffer.data())->mNumberBuffers, buffers);
    }
}

TEST_F (Platform, RatesVolumesAndMute)
{
    const auto out = sim::interfaceOutputDevice();
    const AudioObjectPropertyAddress rate { kAudioDevicePropertyNominalSampleRate, kAudioObjectPropertyScopeWildcard, 0 };
    Float64 r = 32000.0;
    EXPECT_NE (AudioObjectSetPropertyData (out, &rate, 0, nullptr, sizeof (r), &r), noErr) << "32000 only through 'pft '";
    r = 22050.0;
    EXPECT_NE (AudioObjectSetPropertyData (out, &rate, 0, nullptr, sizeof (r), &r), noErr);
    r = 176400.0;
    EXPECT_EQ (AudioObjectSetPropertyData (out, &rate, 0, nullptr, sizeof (r), &r), noErr);
    EXPECT_EQ (AudioObjectSetPropertyData (out, &rate, 0, nullptr, 4, &r), kAudioHardwareBadPropertySizeError);

    const AudioObjectPropertyAddress format { kAudioStreamPropertyPhysicalFormat, kAudioObjectPropertyScopeWildcard, 0 };
    AudioStreamBasicDescription f {};
    f.mSampleRate = 32000.0;
    f.mFormatID = kAudioFormatLinearPCM;
    EXPECT_EQ (AudioObjectSetPropertyData (out, &format, 0, nullptr, sizeof (f), &f), noErr);
    UInt32 size = sizeof (r);
    r = 0;
    EXPECT_EQ (AudioObjectGetPropertyData (out, &rate, 0, nullptr, &size, &r), noErr);
    EXPECT_EQ (r, 32000.0);

    // Volumes clamp to the faders' range; the scalar follows.
    EXPECT_EQ (sim::setVolumeDb (out, 1, -80.0f), noErr);
    EXPECT_EQ (sim::volumeDb (out, 1), sim::kMinVolumeDb);
    EXPECT_EQ (sim::setVolumeDb (out, 2, 6.0f), noErr);
    EXPECT_EQ (sim::volumeDb (out, 2), sim::kMaxVolumeDb);
    EXPECT_EQ (sim::setVolumeDb (out, 1, -32.0f), noErr);
    const AudioObjectPropertyAddress scalar { kAudioDevicePropertyVolumeScalar, kAudioObjectPropertyScopeOutput, 1 };
    Float32 v = 0;
    size = sizeof (v);
    EXPECT_EQ (AudioObjectGetPropertyData (out, &scalar, 0, nullptr, &size, &v), noErr);
    EXPECT_FLOAT_EQ (v, 0.5f);
    EXPECT_NE (sim::setVolumeDb (out, 3, -1.0f), noErr) << "elements 1 and 2 only";
    EXPECT_NE (sim::setVolumeDb (sim::interfaceInputDevice(), 1, -1.0f), noErr) << "no output scope on the input side";

    EXPECT_EQ (sim::setMute (out, true), noErr);
    EXPECT_TRUE (sim::isMuted (out));

    sim::failReads (out, kAudioDevicePropertyVolumeDecibels);
    const AudioObjectPropertyAddress dB { kAudioDevicePropertyVolumeDecibels, kAudioObjectPropertyScopeOutput, 2 };
    size = sizeof (v);
    EXPECT_NE (AudioObjectGetPropertyData (out, &dB, 0, nullptr, &size, &v), noErr);
    EXPECT_EQ (sim::setVolumeDb (out, 2, -3.0f), noErr) << "a read fault leaves writes alone";
    EXPECT_EQ (sim::volumeDb (out, 2), -3.0f);
    sim::failWrites (out, kAudioDevicePropertyMute);
    EXPECT_NE (sim::setMute (out, false), noErr);
    EXPECT_TRUE (sim::isMuted (out));
    EXPECT_NE (AudioObjectGetPropertyData (0, &dB, 0, nullptr, &size, &v), noErr);
}

// The listener runs on the notification thread after the write returned; a
// write that would wait for its listeners would leave the listener waiting in vain.
TEST_F (Platform, ListenersRunOnTheNotificationThreadAfterTheWrite)
{
    struct Seen
    {
        std::atomic<bool> writeReturned { false };
        std::mutex mutex;
        std::vector<std::vector<AudioObjectPropertyAddress>> calls;
        std::thread::id thread;
        bool gotGate = false;
    } seen;

    auto listener = [] (AudioObjectID, UInt32 n, const AudioObjectPropertyAddress* a, void* data) -> OSStatus
    {
        auto* s = static_cast<Seen*> (data);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds (10);
        while (! s->writeReturned && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for (std::chrono::milliseconds (1));
        const bool got = s->writeReturned;
        std::lock_guard<std::mutex> lock (s->mutex);
        s->calls.emplace_back (a, a + n);
        s->thread = std::this_thread::get_id();
        s->gotGate = got;
        return noErr;
    };

    const auto out = sim::interfaceOutputDevice();
    const AudioObjectPropertyAddress all { kAudioObjectPropertySelectorWildcard, kAudioObjectPropertyScopeWildcard,
                                           kAudioObjectPropertyElementWildcard };
    ASSERT_EQ (AudioObjectAddPropertyListener (out, &all, listener, &seen), noErr);
    ASSERT_EQ (AudioObjectAddPropertyListener (out, &all, listener, &seen), noErr);   // kept once

    EXPECT_EQ (sim::setVolumeDb (out, 2, -6.0f), noErr);
    seen.writeReturned = true;
    ASSERT_TRUE (sim::waitForNotifications());

    std::lock_guard<std::mutex> lock (seen.mutex);
    ASSERT_EQ (seen.calls.size(), 1u);
    EXPECT_TRUE (seen.gotGate);
    EXPECT_NE (seen.thread, std::this_thread::get_id());
    ASSERT_EQ (seen.calls[0].size(), 2u);
    EXPECT_EQ (seen.calls[0][0].mSelector, kAudioDevicePropertyVolumeDecibels);
    EXPECT_EQ (seen.calls[0][1].mSelector, kAudioDevicePropertyVolumeScalar);
    EXPECT_EQ (seen.calls[0][1].mElement, 2u);
}

// A listener that needs the message thread (as the panel's does, through the
// message-thread lock) while the message thread calls into the stand-in: the
// calls return without it, and the waiting helpers run the loop so it can end.
TEST_F (Platform, MessageThreadNeverBlocksOnAListenerWaitingForIt)
{
    struct Seen
    {
        std::atomic<int> entered { 0 }, done { 0 };
    } seen;

    auto listener = [] (AudioObjectID, UInt32, const AudioObjectPropertyAddress*, void* data) -> OSStatus
    {
        auto* s = static_cast<Seen*> (data);
        ++s->entered;
        const juce::MessageManagerLock lock;
        ++s->done;
        return noErr;
    };
    // Waits without running the message loop.
    auto waitEntered = [&] (int n)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds (10);
        while (seen.entered < n && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for (std::chrono::milliseconds (1));
        return seen.entered >= n;
    };

    const auto out = sim::interfaceOutputDevice();
    const AudioObjectPropertyAddress all { kAudioObjectPropertySelectorWildcard, kAudioObjectPropertyScopeWildcard,
                                           kAudioObjectPropertyElementWildcard };
    ASSERT_EQ (AudioObjectAddPropertyListener (out, &all, listener, &seen), noErr);

    ASSERT_EQ (sim::setMute (out, true), noErr);
    ASSERT_TRUE (waitEntered (1));
    EXPECT_EQ (sim::setVolumeDb (out, 1, -3.0f), noErr);
    const AudioObjectPropertyAddress rate { kAudioDevicePropertyNominalSampleRate, kAudioObjectPropertyScopeWildcard, 0 };
    Float64 r = 0;
    UInt32 size = sizeof (r);
    EXPECT_EQ (AudioObjectGetPropertyData (out, &rate, 0, nullptr, &size, &r), noErr);
    EXPECT_EQ (seen.done, 0) << "the listener is still waiting for the message thread";

    EXPECT_TRUE (sim::waitForNotifications());
    EXPECT_EQ (seen.done, 2);

    ASSERT_EQ (sim::setMute (out, false), noErr);
    ASSERT_TRUE (waitEntered (3));
    const auto start = juce::Time::getMillisecondCounterHiRes();
    sim::reset();
    EXPECT_EQ (seen.done, 3) << "reset lets the call in progress end";
    EXPECT_LT (juce::Time::getMillisecondCounterHiRes() - start, 5000.0) << "and does not sit out its time limit";
}

// The process ends even while a listener call never returns (one waiting for a
// message loop that has gone, say).
[[noreturn]] void exitWhileAListenerIsStuck()
{
    ::alarm (30);   // a hang ends the process with a signal
    static std::atomic<bool> entered { false };
    auto stuck = [] (AudioObjectID, UInt32, const AudioObjectPropertyAddress*, void*) -> OSStatus
    {
        entered = true;
        for (;;)
            std::this_thread::sleep_for (std::chrono::milliseconds (10));
    };
    const auto out = sim::interfaceOutputDevice();
    const AudioObjectPropertyAddress mute { kAudioDevicePropertyMute, kAudioObjectPropertyScopeOutput, 0 };
    AudioObjectAddPropertyListener (out, &mute, stuck, nullptr);
    sim::setMute (out, true);
    while (! entered)
        std::this_thread::sleep_for (std::chrono::milliseconds (1));
    std::exit (3);
}

TEST (PlatformExit, ExitDoesNotWaitForAStuckListener)
{
    GTEST_FLAG_SET (death_test_style, "threadsafe");   // a child process of its own, started afresh
    EXPECT_EXIT (exitWhileAListenerIsStuck(), ::testing::ExitedWithCode (3), "");
}

// ---------------------------------------------------------------------------
// HID manager, power, plug timing, reset

struct HidSeen
{
    static void arrived (void* context, IOReturn, void*, IOHIDDeviceRef device)
    {
        auto* s = static_cast<HidSeen*> (context);
        ++s->arrivals;
        auto product = IOHIDDeviceGetProperty (device, CFSTR (kIOHIDProductKey));
        s->lastProduct = product != nullptr && CFStringCompare (static_cast<CFStringRef> (product), CFSTR ("Quibra"), 0) == 0;
    }
    static void removed (void* context, IOReturn, void*, IOHIDDeviceRef) { ++static_cast<HidSeen*> (context)->removals; }
    int arrivals = 0, removals = 0;
    bool lastProduct = false;
};

IOHIDManagerRef makeManager (HidSeen& seen, CFRunLoopRef loop)
{
    auto manager = IOHIDManagerCreate (kCFAllocatorDefault, kIOHIDOptionsTypeNone);
    IOHIDManagerRegisterDeviceMatchingCallback (manager, HidSeen::arrived, &seen);
    IOHIDManagerRegisterDeviceRemovalCallback (manager, HidSeen::removed, &seen);
    IOHIDManagerScheduleWithRunLoop (manager, loop, kCFRunLoopDefaultMode);
    return manager;
}

TEST_F (Platform, HidManagerReportsPresentDevicesOnlyOnceTheLoopRuns)
{
    HidSeen seen;
    auto manager = makeManager (seen, CFRunLoopGetMain());
    IOHIDManagerOpen (manager, kIOHIDOptionsTypeNone);
    EXPECT_EQ (seen.arrivals, 0);
    ASSERT_TRUE (testsupport::pumpUntil ([&] { return seen.arrivals == 1; }));
    EXPECT_TRUE (seen.lastProduct);

    sim::unplugInterface();
    ASSERT_TRUE (testsupport::pumpUntil ([&] { return seen.removals == 1; }));
    CFRelease (manager);

    // A manager scheduled on a thread's own loop never hears anything.
    HidSeen elsewhere;
    std::thread t ([&]
    {
        auto m = makeManager (elsewhere, CFRunLoopGetCurrent());
        IOHIDManagerOpen (m, kIOHIDOptionsTypeNone);
        CFRelease (m);
    });
    t.join();
    sim::plugInterface();
    testsupport::pumpFor (200);
    EXPECT_EQ (elsewhere.arrivals, 0);
}

TEST_F (Platform, ResetDropsPendingCallbacksAndRestoresDefaults)
{
    HidSeen seen;
    auto manager = makeManager (seen, CFRunLoopGetMain());
    IOHIDManagerOpen (manager, kIOHIDOptionsTypeNone);
    sim::setMute (sim::interfaceOutputDevice(), true);
    sim::setNominalSampleRate (sim::interfaceInputDevice(), 96000.0);
    const auto oldIn = sim::interfaceInputDevice(), oldOut = sim::interfaceOutputDevice();
    sim::reset();
    testsupport::pumpFor (200);
    EXPECT_EQ (seen.arrivals, 0) << "the arrival posted before the reset is dropped";
    EXPECT_EQ (sim::hidManagerCount(), 0);
    EXPECT_TRUE (sim::hidManagerSchedules().empty());
    for (auto id : sim::audioDevices())
        EXPECT_TRUE (id != oldIn && id != oldOut) << "an id kept from before the reset names no device";
    EXPECT_FALSE (sim::isMuted (sim::interfaceOutputDevice()));
    EXPECT_EQ (sim::nominalSampleRate (sim::interfaceInputDevice()), 48000.0);
    CFRelease (manager);
}

TEST_F (Platform, InterfaceAudioDevicesCanAppearAfterTheHidDevice)
{
    sim::unplugInterface();
    sim::setAudioDeviceDelay (300);
    const auto start = juce::Time::getMillisecondCounterHiRes();
    sim::plugInterface();
    EXPECT_EQ (sim::interfaceInputDevice(), 0u);
    ASSERT_TRUE (testsupport::pumpUntil ([] { return sim::interfaceOutputDevice() != 0; }));
    EXPECT_GE (juce::Time::getMillisecondCounterHiRes() - start, 290.0);
    EXPECT_EQ (sim::audioDevices().size(), 3u);
}

TEST_F (Platform, PowerMessagesNeedTheSourceOnTheMainLoop)
{
    struct Seen
    {
        static void callback (void* refcon, io_service_t, natural_t type, void* arg)
        {
            auto* s = static_cast<Seen*> (refcon);
            s->types.push_back (type);
            s->args.push_back ((long) arg);
            s->onMessageThread = juce::MessageManager::getInstance()->isThisTheMessageThread();
        }
        std::vector<natural_t> types;
        std::vector<long> args;
        bool onMessageThread = false;
    } seen;

    IONotificationPortRef port = nullptr;
    io_object_t notifier = 0;
    const auto connection = IORegisterForSystemPower (&seen, &port, Seen::callback, &notifier);
    ASSERT_NE (connection, 0u);
    sim::sendPowerMessage (kIOMessageSystemWillSleep, 7);
    testsupport::pumpFor (100);
    EXPECT_TRUE (seen.types.empty());

    CFRunLoopAddSource (CFRunLoopGetMain(), IONotificationPortGetRunLoopSource (port), kCFRunLoopCommonModes);
    sim::sendPowerMessage (kIOMessageSystemWillSleep, 8);
    ASSERT_TRUE (testsupport::pumpUntil ([&] { return ! seen.types.empty(); }));
    EXPECT_EQ (seen.types[0], kIOMessageSystemWillSleep);
    EXPECT_EQ (seen.args[0], 8);
    EXPECT_TRUE (seen.onMessageThread);
    EXPECT_EQ (IOAllowPowerChange (connection, 8), kIOReturnSuccess);
    ASSERT_EQ (sim::powerAnswers().size(), 1u);
    EXPECT_EQ (sim::powerAnswers()[0].notificationID, 8);
}
} // namespace
