// CoreAudio stand-in: property reads and writes on the simulated devices, and the
// notification thread that calls the property listeners.
#include "platform/PlatformInternal.h"

#include <juce_events/juce_events.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

using namespace platform;

namespace
{
constexpr size_t maxLogEntries = 20000;

// ---------------------------------------------------------------------------
// The notification thread: runs queued tasks in order of due time, without the
// mutex held while a task runs.
class NotificationThread
{
public:
    NotificationThread() : thread ([this] { run(); }) {}

    // At process exit: queued notifications are dropped. A listener call still
    // running (one waiting for a message loop that has gone, say) is given a
    // moment and then left to the end of the process rather than waited for.
    ~NotificationThread()
    {
        auto& s = state();
        Lock lock (s.mutex);
        s.stopping = true;
        s.changed.notify_all();
        const bool done = s.changed.wait_for (lock, std::chrono::seconds (1), [&] { return s.notificationThreadDone; });
        lock.unlock();
        if (done)
            thread.join();
        else
            thread.detach();
    }

private:
    void run()
    {
        auto& s = state();
        Lock lock (s.mutex);
        while (! s.stopping)
        {
            if (s.tasks.empty())
            {
                s.changed.wait (lock);
                continue;
            }
            auto next = std::min_element (s.tasks.begin(), s.tasks.end(), [] (const Task& a, const Task& b)
                                          { return a.due != b.due ? a.due < b.due : a.seq < b.seq; });
            if (next->due > std::chrono::steady_clock::now())
            {
                s.changed.wait_until (lock, next->due);
                continue;
            }
            Task task = std::move (*next);
            s.tasks.erase (next);
            s.delivering = true;
            lock.unlock();

            task.fn();

            lock.lock();
            s.delivering = false;
            if (task.isNotification)
                --s.pendingNotifications;
            s.changed.notify_all();
        }
        // Only the (never destroyed) state is touched from here on: after a
        // detach at exit this object is gone.
        s.notificationThreadDone = true;
        s.changed.notify_all();
    }

    std::thread thread;
};

// The listeners of an object; nullptr for an unknown object (mutex held).
std::vector<Listener>* listenersOf (State& s, AudioObjectID object)
{
    if (object == kAudioObjectSystemObject)
        return &s.systemListeners;
    if (auto* d = findDevice (s, object))
        return &d->listeners;
    return nullptr;
}

bool isInstallation (const Listener& l, const AudioObjectPropertyAddress& a, AudioObjectPropertyListenerProc proc, void* clientData)
{
    return l.proc == proc && l.clientData == clientData && l.address.mSelector == a.mSelector
        && l.address.mScope == a.mScope && l.address.mElement == a.mElement;
}

bool matches (const AudioObjectPropertyAddress& listened, const AudioObjectPropertyAddress& changed)
{
    return (listened.mSelector == kAudioObjectPropertySelectorWildcard || listened.mSelector == changed.mSelector)
        && (listened.mScope == kAudioObjectPropertyScopeWildcard || listened.mScope == changed.mScope)
        && (listened.mElement == kAudioObjectPropertyElementWildcard || listened.mElement == changed.mElement);
}

void deliver (AudioObjectID object, const std::vector<AudioObjectPropertyAddress>& addresses)
{
    struct Call
    {
        Listener listener;
        std::vector<AudioObjectPropertyAddress> addresses;
    };
    std::vector<Call> calls;
    {
        auto& s = state();
        Lock lock (s.mutex);
        const auto* listeners = listenersOf (s, object);
        if (listeners == nullptr)
            return;
        for (auto& l : *listeners)
        {
            Call c { l, {} };
            for (auto& a : addresses)
                if (matches (l.address, a))
                    c.addresses.push_back (a);
            if (! c.addresses.empty())
                calls.push_back (std::move (c));
        }
    }
    for (auto& c : calls)
        c.listener.proc (object, (UInt32) c.addresses.size(), c.addresses.data(), c.listener.clientData);
}

bool hasScope (const Device& d, UInt32 scope)
{
    return (scope == kAudioObjectPropertyScopeInput && d.spec.inputStreams > 0)
        || (scope == kAudioObjectPropertyScopeOutput && d.spec.outputStreams > 0);
}

bool isVolumeElement (UInt32 element) { return element == 1 || element == 2; }

bool acceptsRate (const Device& d, Float64 rate, bool physicalFormat)
{
    if (d.refusedRates.count (rate) != 0)
        return false;
    if (physicalFormat && rate == 32000.0)
        return true;
    return std::find (d.spec.nominalRates.begin(), d.spec.nominalRates.end(), rate) != d.spec.nominalRates.end();
}

void logAccess (State& s, AudioObjectID object, const AudioObjectPropertyAddress& a, bool write, OSStatus status, Float64 value,
                const AudioStreamBasicDescription& format = {})
{
    s.log.push_back ({ std::this_thread::get_id(), object, a, write, status, value, format });
    while (s.log.size() > maxLogEntries)
        s.log.pop_front();
}

// The size of a property's value, or an error. Read faults count for reads and
// size queries only, never for writes.
OSStatus propertySize (State& s, AudioObjectID object, const AudioObjectPropertyAddress& a, UInt32& size,
                       bool forRead = true)
{
    if (object == kAudioObjectSystemObject)
    {
        if (a.mSelector != kAudioHardwarePropertyDevices)
            return kAudioHardwareUnknownPropertyError;
        size = (UInt32) (s.devices.size() * sizeof (AudioObjectID));
        return noErr;
    }

    auto* d = findDevice (s, object);
    if (d == nullptr)
        return kAudioHardwareBadObjectError;
    if (forRead && d->failingReads.count (a.mSelector) != 0)
        return kAudioHardwareUnspecifiedError;

    switch (a.mSelector)
    {
        case kAudioDevicePropertyDeviceUID:
            if (! d->spec.hasUid) return kAudioHardwareUnknownPropertyError;
            size = sizeof (CFStringRef);
            return noErr;
        case kAudioObjectPropertyName:
            if (! d->spec.hasName) return kAudioHardwareUnknownPropertyError;
            size = sizeof (CFStringRef);
            return noErr;
        case kAudioObjectPropertyManufacturer:
            if (! d->spec.hasMaker) return kAudioHardwareUnknownPropertyError;
            size = sizeof (CFStringRef);
            return noErr;
        case kAudioDevicePropertyStreamConfiguration:
        {
            if (! d->spec.hasStreamLayout)
                return kAudioHardwareUnknownPropertyError;
            if (a.mScope != kAudioObjectPropertyScopeInput && a.mScope != kAudioObjectPropertyScopeOutput)
                return kAudioHardwareUnknownPropertyError;
            const auto n = a.mScope == kAudioObjectPropertyScopeInput ? d->spec.inputStreams : d->spec.outputStreams;
            size = (UInt32) (offsetof (AudioBufferList, mBuffers) + n * sizeof (AudioBuffer));
            return noErr;
        }
        case kAudioDevicePropertyNominalSampleRate:
            size = sizeof (Float64);
            return noErr;
        case kAudioStreamPropertyPhysicalFormat:
            size = sizeof (AudioStreamBasicDescription);
            return noErr;
        case kAudioDevicePropertyVolumeDecibels:
        case kAudioDevicePropertyVolumeScalar:
            if (! hasScope (*d, a.mScope) || ! isVolumeElement (a.mElement))
                return kAudioHardwareUnknownPropertyError;
            size = sizeof (Float32);
            return noErr;
        case kAudioDevicePropertyMute:
        case kAudioDevicePropertyDataSource:
            if (! hasScope (*d, a.mScope) || a.mElement != 0)
                return kAudioHardwareUnknownPropertyError;
            size = sizeof (UInt32);
            return noErr;
        case kAudioDevicePropertyPlayThru:
            if (a.mElement != 0)
                return kAudioHardwareUnknownPropertyError;
            size = sizeof (UInt32);
            return noErr;
        default:
            return kAudioHardwareUnknownPropertyError;
    }
}

Float32 toScalar (const Device& d, Float32 dB)
{
    const auto range = d.spec.maxVolumeDb - d.spec.minVolumeDb;
    return range > 0 ? (dB - d.spec.minVolumeDb) / range : 1.0f;
}

OSStatus readValue (State& s, AudioObjectID object, const AudioObjectPropertyAddress& a, UInt32& ioSize, void* out, Float64& logged)
{
    UInt32 size = 0;
    if (auto err = propertySize (s, object, a, size))
        return err;
    if (out == nullptr || ioSize < size)
        return kAudioHardwareBadPropertySizeError;

    if (object == kAudioObjectSystemObject)
    {
        for (size_t i = 0; i < s.devices.size(); ++i)
            std::memcpy (static_cast<char*> (out) + i * sizeof (AudioObjectID), &s.devices[i].id, sizeof (AudioObjectID));
        ioSize = size;
        return noErr;
    }

    auto& d = *findDevice (s, object);
    auto putString = [&] (const std::string& text)
    {
        CFStringRef str = makeString (juce::String::fromUTF8 (text.c_str()));
        std::memcpy (out, &str, sizeof (str));
    };
    auto put32 = [&] (auto v) { std::memcpy (out, &v, 4); logged = (Float64) v; };

    switch (a.mSelector)
    {
        case kAudioDevicePropertyDeviceUID: putString (d.spec.uid); break;
        case kAudioObjectPropertyName: putString (d.spec.name); break;
        case kAudioObjectPropertyManufacturer: putString (d.spec.maker); break;
        case kAudioDevicePropertyStreamConfiguration:
        {
            std::memset (out, 0, size);
            const auto n = a.mScope == kAudioObjectPropertyScopeInput ? d.spec.inputStreams : d.spec.outputStreams;
            auto* list = static_cast<AudioBufferList*> (out);
            list->mNumberBuffers = n;
            for (UInt32 i = 0; i < n; ++i)
                list->mBuffers[i].mNumberChannels = 2;
            break;
        }
        case kAudioDevicePropertyNominalSampleRate:
            std::memcpy (out, &d.rate, sizeof (Float64));
            logged = d.rate;
            break;
        case kAudioStreamPropertyPhysicalFormat:
        {
            AudioStreamBasicDescription f {};
            f.mSampleRate = d.rate;
            f.mFormatID = kAudioFormatLinearPCM;
            f.mFormatFlags = kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked;
            f.mBytesPerPacket = 4; f.mFramesPerPacket = 1; f.mBytesPerFrame = 4;
            f.mChannelsPerFrame = 2; f.mBitsPerChannel = 16;
            std::memcpy (out, &f, sizeof (f));
            logged = d.rate;
            break;
        }
        case kAudioDevicePropertyVolumeDecibels: put32 (d.volumeDb[{ a.mScope, a.mElement }]); break;
        case kAudioDevicePropertyVolumeScalar: put32 (toScalar (d, d.volumeDb[{ a.mScope, a.mElement }])); break;
        case kAudioDevicePropertyMute: put32 (d.mute[a.mScope]); break;
        case kAudioDevicePropertyDataSource: put32 (d.dataSource[a.mScope]); break;
        case kAudioDevicePropertyPlayThru: put32 (d.playThru); break;
        default: break;
    }
    ioSize = size;
    return noErr;
}

OSStatus writeValue (State& s, AudioObjectID object, const AudioObjectPropertyAddress& a, UInt32 dataSize, const void* data, Float64& logged)
{
    if (object == kAudioObjectSystemObject)
        return kAudioHardwareIllegalOperationError;
    auto* d = findDevice (s, object);
    if (d == nullptr)
        return kAudioHardwareBadObjectError;
    if (d->failingWrites.count (a.mSelector) != 0)
        return kAudioHardwareUnspecifiedError;

    UInt32 size = 0;
    if (auto err = propertySize (s, object, a, size, false))
        return err;
    if (data == nullptr || dataSize != size)
        return kAudioHardwareBadPropertySizeError;

    const AudioObjectPropertyAddress rateChanged { kAudioDevicePropertyNominalSampleRate, kAudioObjectPropertyScopeGlobal, 0 };

    switch (a.mSelector)
    {
        case kAudioDevicePropertyNominalSampleRate:
        {
            Float64 rate;
            std::memcpy (&rate, data, sizeof (rate));
            logged = rate;
            if (! acceptsRate (*d, rate, false))
                return kAudioDeviceUnsupportedFormatError;
            if (d->rate != rate)
            {
                d->rate = rate;
                queueNotification (s, object, { rateChanged });
            }
            return noErr;
        }
        case kAudioStreamPropertyPhysicalFormat:
        {
            AudioStreamBasicDescription f;
            std::memcpy (&f, data, sizeof (f));
            logged = f.mSampleRate;
            if (f.mFormatID != kAudioFormatLinearPCM || ! acceptsRate (*d, f.mSampleRate, true))
                return kAudioDeviceUnsupportedFormatError;
            if (d->rate != f.mSampleRate)
            {
                d->rate = f.mSampleRate;
                queueNotification (s, object, { { kAudioStreamPropertyPhysicalFormat, kAudioObjectPropertyScopeGlobal, 0 }, rateChanged });
            }
            return noErr;
        }
        case kAudioDevicePropertyVolumeDecibels:
        case kAudioDevicePropertyVolumeScalar:
        {
            Float32 v;
            std::memcpy (&v, data, sizeof (v));
            logged = v;
            if (std::isnan (v))
                return kAudioHardwareIllegalOperationError;
            Float32 dB = v;
            if (a.mSelector == kAudioDevicePropertyVolumeScalar)
                dB = d->spec.minVolumeDb + juce::jlimit (0.0f, 1.0f, v) * (d->spec.maxVolumeDb - d->spec.minVolumeDb);
            dB = juce::jlimit (d->spec.minVolumeDb, d->spec.maxVolumeDb, dB);
            auto& stored = d->volumeDb[{ a.mScope, a.mElement }];
            if (stored != dB)
            {
                stored = dB;
                queueNotification (s, object, { { kAudioDevicePropertyVolumeDecibels, a.mScope, a.mElement },
                                                { kAudioDevicePropertyVolumeScalar, a.mScope, a.mElement } });
            }
            return noErr;
        }
        case kAudioDevicePropertyMute:
        case kAudioDevicePropertyDataSource:
        case kAudioDevicePropertyPlayThru:
        {
            UInt32 v;
            std::memcpy (&v, data, sizeof (v));
            logged = v;
            UInt32* stored = a.mSelector == kAudioDevicePropertyMute ? &d->mute[a.mScope]
                           : a.mSelector == kAudioDevicePropertyDataSource ? &d->dataSource[a.mScope]
                                                                          : &d->playThru;
            if (a.mSelector == kAudioDevicePropertyMute)
                v = v != 0 ? 1 : 0;
            if (*stored != v)
            {
                *stored = v;
                queueNotification (s, object, { { a.mSelector, a.mScope, a.mElement } });
            }
            return noErr;
        }
        default:
            return kAudioHardwareIllegalOperationError;
    }
}
} // namespace

// ---------------------------------------------------------------------------
State& platform::state()
{
    // Never destroyed: the notification thread may still use it at exit.
    static State* s = []
    {
        auto* st = new State();
        populateDefaults (*st);
        return st;
    }();
    return *s;
}

Device* platform::findDevice (State& s, AudioObjectID id)
{
    for (auto& d : s.devices)
        if (d.id == id)
            return &d;
    return nullptr;
}

void platform::ensureNotificationThread()
{
    // Made after state() (which it uses), so destroyed before it at exit.
    state();
    static NotificationThread thread;
}

void platform::queueNotification (State& s, AudioObjectID object, std::vector<AudioObjectPropertyAddress> addresses)
{
    ensureNotificationThread();
    ++s.pendingNotifications;
    s.tasks.push_back ({ std::chrono::steady_clock::now(), s.nextSeq++, true,
                         [object, a = std::move (addresses)] { deliver (object, a); } });
    s.changed.notify_all();
}

void platform::queueTimed (State& s, std::chrono::steady_clock::time_point due, std::function<void()> fn)
{
    ensureNotificationThread();
    s.tasks.push_back ({ due, s.nextSeq++, false, std::move (fn) });
    s.changed.notify_all();
}

// ---------------------------------------------------------------------------
OSStatus AudioObjectGetPropertyDataSize (AudioObjectID object, const AudioObjectPropertyAddress* address,
                                         UInt32, const void*, UInt32* outDataSize)
{
    if (address == nullptr || outDataSize == nullptr)
        return kAudioHardwareIllegalOperationError;
    auto& s = state();
    Lock lock (s.mutex);
    UInt32 size = 0;
    const auto err = propertySize (s, object, *address, size);
    if (err == noErr)
        *outDataSize = size;
    return err;
}

OSStatus AudioObjectGetPropertyData (AudioObjectID object, const AudioObjectPropertyAddress* address,
                                     UInt32, const void*, UInt32* ioDataSize, void* outData)
{
    if (address == nullptr || ioDataSize == nullptr)
        return kAudioHardwareIllegalOperationError;
    auto& s = state();
    Lock lock (s.mutex);
    Float64 logged = 0.0;
    const auto err = readValue (s, object, *address, *ioDataSize, outData, logged);
    if (object != kAudioObjectSystemObject)
        logAccess (s, object, *address, false, err, logged);
    return err;
}

OSStatus AudioObjectSetPropertyData (AudioObjectID object, const AudioObjectPropertyAddress* address,
                                     UInt32, const void*, UInt32 dataSize, const void* data)
{
    if (address == nullptr)
        return kAudioHardwareIllegalOperationError;
    ensureNotificationThread();
    auto& s = state();
    Lock lock (s.mutex);
    Float64 logged = 0.0;
    const auto err = writeValue (s, object, *address, dataSize, data, logged);
    AudioStreamBasicDescription format {};
    if (address->mSelector == kAudioStreamPropertyPhysicalFormat && data != nullptr && dataSize == sizeof (format))
        std::memcpy (&format, data, sizeof (format));
    logAccess (s, object, *address, true, err, logged, format);
    return err;
}

Boolean AudioObjectHasProperty (AudioObjectID object, const AudioObjectPropertyAddress* address)
{
    if (address == nullptr)
        return false;
    auto& s = state();
    Lock lock (s.mutex);
    UInt32 size = 0;
    return propertySize (s, object, *address, size) == noErr;
}

OSStatus AudioObjectAddPropertyListener (AudioObjectID object, const AudioObjectPropertyAddress* address,
                                         AudioObjectPropertyListenerProc listener, void* clientData)
{
    if (address == nullptr || listener == nullptr)
        return kAudioHardwareIllegalOperationError;
    ensureNotificationThread();
    auto& s = state();
    Lock lock (s.mutex);
    auto* listeners = listenersOf (s, object);
    if (listeners == nullptr)
        return kAudioHardwareBadObjectError;
    if (auto* d = findDevice (s, object); d != nullptr && d->failListenerInstall)
        return kAudioHardwareUnspecifiedError;

    for (auto& l : *listeners)
        if (isInstallation (l, *address, listener, clientData))
            return noErr;
    listeners->push_back ({ *address, listener, clientData });
    return noErr;
}

OSStatus AudioObjectRemovePropertyListener (AudioObjectID object, const AudioObjectPropertyAddress* address,
                                            AudioObjectPropertyListenerProc listener, void* clientData)
{
    if (address == nullptr)
        return kAudioHardwareIllegalOperationError;
    auto& s = state();
    Lock lock (s.mutex);
    auto* listeners = listenersOf (s, object);
    if (listeners == nullptr)
        return kAudioHardwareBadObjectError;

    const auto before = listeners->size();
    listeners->erase (std::remove_if (listeners->begin(), listeners->end(), [&] (const Listener& l)
                                      { return isInstallation (l, *address, listener, clientData); }),
                      listeners->end());
    return listeners->size() == before ? (OSStatus) kAudioHardwareUnknownPropertyError : (OSStatus) noErr;
}
