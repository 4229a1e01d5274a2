// The simulated interface: the default device set, plug and unplug, faults,
// power messages, and the waiting helpers for tests.
#include "platform/PlatformInternal.h"

#include <juce_events/juce_events.h>

#include <algorithm>

using namespace platform;

namespace
{
sim::AudioDeviceSpec onboardSpec()
{
    sim::AudioDeviceSpec spec;
    spec.uid = "onboard";
    spec.name = "Onboard Audio";
    spec.maker = "Generic Audio Inc.";
    spec.inputStreams = 2;
    spec.outputStreams = 2;
    return spec;
}

// Adds a device to the end of the list (mutex held).
AudioObjectID addDeviceLocked (State& s, const sim::AudioDeviceSpec& spec, bool notifyList = true)
{
    Device d;
    d.id = s.nextId++;
    d.spec = spec;
    d.rate = spec.sampleRate;
    for (auto scope : { kAudioObjectPropertyScopeInput, kAudioObjectPropertyScopeOutput })
    {
        for (UInt32 element = 1; element <= 2; ++element)
            d.volumeDb[{ scope, element }] = juce::jlimit (spec.minVolumeDb, spec.maxVolumeDb, 0.0f);
        d.mute[scope] = 0;
        d.dataSource[scope] = 0;
    }
    s.devices.push_back (std::move (d));
    if (notifyList)
        queueNotification (s, kAudioObjectSystemObject, { { kAudioHardwarePropertyDevices, kAudioObjectPropertyScopeGlobal, 0 } });
    return s.devices.back().id;
}

void removeDeviceLocked (State& s, AudioObjectID id)
{
    const auto before = s.devices.size();
    s.devices.erase (std::remove_if (s.devices.begin(), s.devices.end(), [id] (const Device& d) { return d.id == id; }),
                     s.devices.end());
    if (s.interfaceIn == id) s.interfaceIn = 0;
    if (s.interfaceOut == id) s.interfaceOut = 0;
    if (s.devices.size() != before)
        queueNotification (s, kAudioObjectSystemObject, { { kAudioHardwarePropertyDevices, kAudioObjectPropertyScopeGlobal, 0 } });
}

void addInterfaceAudioDevicesLocked (State& s, bool notifyList = true)
{
    s.interfaceIn = addDeviceLocked (s, sim::interfaceInputSpec(), notifyList);
    s.interfaceOut = addDeviceLocked (s, sim::interfaceOutputSpec(), notifyList);
}

int addHidLocked (State& s, const sim::HidDeviceSpec& spec)
{
    auto* device = makeHidDevice (spec);
    const int handle = s.nextHidHandle++;
    s.hidDevices.push_back ({ handle, device });
    hidDeviceAdded (s, device);
    return handle;
}

void removeHidLocked (State& s, int handle)
{
    for (auto it = s.hidDevices.begin(); it != s.hidDevices.end(); ++it)
        if (it->handle == handle)
        {
            auto* device = it->device;
            s.hidDevices.erase (it);
            hidDeviceRemoved (s, device);
            CFRelease (device);
            return;
        }
}

void plugLocked (State& s, bool notifyList = true)
{
    if (s.interfacePlugged)
        return;
    s.interfacePlugged = true;
    if (s.audioDelayMs <= 0)
        addInterfaceAudioDevicesLocked (s, notifyList);
    else
    {
        const auto generation = s.generation;
        queueTimed (s, std::chrono::steady_clock::now() + std::chrono::milliseconds (s.audioDelayMs), [generation]
        {
            auto& st = state();
            Lock lock (st.mutex);
            if (st.generation == generation && st.interfacePlugged && st.interfaceIn == 0 && st.interfaceOut == 0)
                addInterfaceAudioDevicesLocked (st);
        });
    }
    s.interfaceHidHandle = addHidLocked (s, sim::HidDeviceSpec {});
}

// Waits (mutex held through lock) until pred holds, running the message loop
// meanwhile when on the message thread, so that a listener waiting for the
// message-thread lock can finish.
template <typename Pred>
bool waitLocked (Lock& lock, Pred pred, int timeoutMs)
{
    auto& s = state();
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds (timeoutMs);
    const bool pump = isMessageThread();
    while (! pred())
    {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        if (pump)
        {
            lock.unlock();
            juce::MessageManager::getInstance()->runDispatchLoopUntil (1);
            lock.lock();
        }
        else
        {
            s.changed.wait_for (lock, std::chrono::milliseconds (5));
        }
    }
    return true;
}
} // namespace

// The default state (mutex held, or while the state is being made): no
// notification is sent for it.
void platform::populateDefaults (State& s)
{
    s.devices.clear();
    s.systemListeners.clear();
    s.interfaceIn = s.interfaceOut = 0;
    s.interfacePlugged = false;
    s.interfaceHidHandle = 0;
    s.audioDelayMs = 0;
    for (auto& e : s.hidDevices)
        CFRelease (e.device);
    s.hidDevices.clear();
    s.nextHidHandle = 1;
    releaseHidManagers (s);
    for (auto& r : s.powerRegistrations)
        s.retired.push_back (r.notificationPort);
    s.powerRegistrations.clear();
    s.powerAnswers.clear();
    s.failPowerRegistration = false;
    s.hidSchedules.clear();
    s.sourceSchedules.clear();

    addDeviceLocked (s, onboardSpec(), false);
    plugLocked (s, false);
    s.log.clear();
}

namespace sim
{
AudioDeviceSpec interfaceInputSpec()
{
    AudioDeviceSpec spec;
    spec.uid = "quibra-in";
    spec.name = "Quibra";
    spec.maker = "Velkwerk GmbH";
    spec.inputStreams = 1;
    return spec;
}

AudioDeviceSpec interfaceOutputSpec()
{
    AudioDeviceSpec spec;
    spec.uid = "quibra-out";
    spec.name = "Quibra";
    spec.maker = "Velkwerk GmbH";
    spec.outputStreams = 1;
    return spec;
}

namespace
{
std::atomic<void (*)()> resetHook { nullptr };
} // namespace

void setResetHook (void (*hook)()) { resetHook = hook; }

void reset()
{
    ensureNotificationThread();
    {
        auto& s = state();
        Lock lock (s.mutex);
        ++s.generation;

        // Drop whatever is queued, then let a call in progress end (and drop
        // what it queued meanwhile).
        s.tasks.clear();
        waitLocked (lock, [&] { return ! s.delivering; }, 10000);
        s.tasks.clear();
        s.pendingNotifications = 0;

        populateDefaults (s);
    }
    if (auto hook = resetHook.load())
        hook();
}

bool waitForNotifications (int timeoutMs)
{
    auto& s = state();
    Lock lock (s.mutex);
    return waitLocked (lock, [&] { return s.pendingNotifications == 0; }, timeoutMs);
}

// ---------------------------------------------------------------------------
void plugInterface()
{
    ensureNotificationThread();
    Lock lock (state().mutex);
    plugLocked (state());
}

void unplugInterface()
{
    auto& s = state();
    Lock lock (s.mutex);
    if (! s.interfacePlugged)
        return;
    s.interfacePlugged = false;
    if (s.interfaceIn != 0) removeDeviceLocked (s, s.interfaceIn);
    if (s.interfaceOut != 0) removeDeviceLocked (s, s.interfaceOut);
    removeHidLocked (s, s.interfaceHidHandle);
    s.interfaceHidHandle = 0;
}

bool isInterfacePlugged()
{
    Lock lock (state().mutex);
    return state().interfacePlugged;
}

void setAudioDeviceDelay (int milliseconds)
{
    Lock lock (state().mutex);
    state().audioDelayMs = std::max (0, milliseconds);
}

AudioObjectID interfaceInputDevice()
{
    Lock lock (state().mutex);
    return state().interfaceIn;
}

AudioObjectID interfaceOutputDevice()
{
    Lock lock (state().mutex);
    return state().interfaceOut;
}

// ---------------------------------------------------------------------------
AudioObjectID addAudioDevice (const AudioDeviceSpec& spec)
{
    ensureNotificationThread();
    Lock lock (state().mutex);
    return addDeviceLocked (state(), spec);
}

void removeAudioDevice (AudioObjectID device)
{
    Lock lock (state().mutex);
    removeDeviceLocked (state(), device);
}

void removeAllAudioDevices()
{
    auto& s = state();
    Lock lock (s.mutex);
    while (! s.devices.empty())
        removeDeviceLocked (s, s.devices.front().id);
}

std::vector<AudioObjectID> audioDevices()
{
    Lock lock (state().mutex);
    std::vector<AudioObjectID> ids;
    for (auto& d : state().devices)
        ids.push_back (d.id);
    return ids;
}

OSStatus setNominalSampleRate (AudioObjectID device, Float64 rate)
{
    const AudioObjectPropertyAddress a { kAudioDevicePropertyNominalSampleRate, kAudioObjectPropertyScopeGlobal, 0 };
    return AudioObjectSetPropertyData (device, &a, 0, nullptr, sizeof (rate), &rate);
}

OSStatus setVolumeDb (AudioObjectID device, UInt32 element, Float32 dB)
{
    const AudioObjectPropertyAddress a { kAudioDevicePropertyVolumeDecibels, kAudioObjectPropertyScopeOutput, element };
    return AudioObjectSetPropertyData (device, &a, 0, nullptr, sizeof (dB), &dB);
}

OSStatus setMute (AudioObjectID device, bool muted)
{
    const AudioObjectPropertyAddress a { kAudioDevicePropertyMute, kAudioObjectPropertyScopeOutput, 0 };
    const UInt32 v = muted ? 1 : 0;
    return AudioObjectSetPropertyData (device, &a, 0, nullptr, sizeof (v), &v);
}

void forceNominalSampleRate (AudioObjectID device, Float64 rate)
{
    ensureNotificationThread();
    Lock lock (state().mutex);
    if (auto* d = findDevice (state(), device))
    {
        d->rate = rate;
        queueNotification (state(), device, { { kAudioDevicePropertyNominalSampleRate, kAudioObjectPropertyScopeGlobal, 0 } });
    }
}

void forceVolumeDb (AudioObjectID device, UInt32 element, Float32 dB)
{
    ensureNotificationThread();
    Lock lock (state().mutex);
    if (auto* d = findDevice (state(), device))
    {
        d->volumeDb[{ kAudioObjectPropertyScopeOutput, element }] = dB;
        queueNotification (state(), device, { { kAudioDevicePropertyVolumeDecibels, kAudioObjectPropertyScopeOutput, element },
                                              { kAudioDevicePropertyVolumeScalar, kAudioObjectPropertyScopeOutput, element } });
    }
}

Float64 nominalSampleRate (AudioObjectID device)
{
    Lock lock (state().mutex);
    auto* d = findDevice (state(), device);
    return d == nullptr ? 0.0 : d->rate;
}

Float32 volumeDb (AudioObjectID device, UInt32 element)
{
    Lock lock (state().mutex);
    auto* d = findDevice (state(), device);
    if (d == nullptr)
        return 0.0f;
    auto it = d->volumeDb.find ({ kAudioObjectPropertyScopeOutput, element });
    return it == d->volumeDb.end() ? 0.0f : it->second;
}

bool isMuted (AudioObjectID device)
{
    Lock lock (state().mutex);
    auto* d = findDevice (state(), device);
    return d != nullptr && d->mute[kAudioObjectPropertyScopeOutput] != 0;
}

void notify (AudioObjectID object, const std::vector<AudioObjectPropertyAddress>& addresses)
{
    ensureNotificationThread();
    Lock lock (state().mutex);
    queueNotification (state(), object, addresses);
}

// ---------------------------------------------------------------------------
namespace
{
template <typename Fn>
void withDevice (AudioObjectID device, Fn fn)
{
    Lock lock (state().mutex);
    if (auto* d = findDevice (state(), device))
        fn (*d);
}

template <typename Set, typename Value>
void setMember (Set& set, Value v, bool on)
{
    if (on) set.insert (v);
    else set.erase (v);
}
} // namespace

void failReads (AudioObjectID device, AudioObjectPropertySelector selector, bool fail)
{
    withDevice (device, [&] (Device& d) { setMember (d.failingReads, selector, fail); });
}

void failWrites (AudioObjectID device, AudioObjectPropertySelector selector, bool fail)
{
    withDevice (device, [&] (Device& d) { setMember (d.failingWrites, selector, fail); });
}

void refuseRate (AudioObjectID device, Float64 rate, bool refuse)
{
    withDevice (device, [&] (Device& d) { setMember (d.refusedRates, rate, refuse); });
}

void failListenerInstall (AudioObjectID device, bool fail)
{
    withDevice (device, [&] (Device& d) { d.failListenerInstall = fail; });
}

std::vector<Access> accessLog()
{
    Lock lock (state().mutex);
    return { state().log.begin(), state().log.end() };
}

void clearAccessLog()
{
    Lock lock (state().mutex);
    state().log.clear();
}

// ---------------------------------------------------------------------------
int addHidDevice (const HidDeviceSpec& spec)
{
    Lock lock (state().mutex);
    return addHidLocked (state(), spec);
}

void removeHidDevice (int handle)
{
    Lock lock (state().mutex);
    removeHidLocked (state(), handle);
}

int hidManagerCount()
{
    Lock lock (state().mutex);
    return (int) state().managers.size();
}

std::vector<RunLoopSchedule> hidManagerSchedules()
{
    Lock lock (state().mutex);
    return state().hidSchedules;
}

std::vector<RunLoopSchedule> runLoopSourceSchedules()
{
    Lock lock (state().mutex);
    return state().sourceSchedules;
}

// ---------------------------------------------------------------------------
void sendPowerMessage (natural_t messageType, long argument)
{
    UInt64 generation;
    {
        Lock lock (state().mutex);
        generation = state().generation;
    }
    postToMainLoop ([=]
    {
        std::vector<PowerRegistration> targets;
        {
            auto& s = state();
            Lock lock (s.mutex);
            if (s.generation != generation)
                return;
            for (auto& r : s.powerRegistrations)
                if (CFRunLoopContainsSource (CFRunLoopGetMain(), IONotificationPortGetRunLoopSource (r.notificationPort),
                                             kCFRunLoopCommonModes))
                    targets.push_back (r);
        }
        for (auto& r : targets)
            r.callback (r.refcon, r.port, messageType, reinterpret_cast<void*> (argument));
    });
}

std::vector<PowerAnswer> powerAnswers()
{
    Lock lock (state().mutex);
    return state().powerAnswers;
}

void failPowerRegistration (bool fail)
{
    Lock lock (state().mutex);
    state().failPowerRegistration = fail;
}
} // namespace sim

