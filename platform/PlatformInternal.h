// Inner parts of the platform stand-in, shared by its .cpp files only.
#pragma once

#include "platform/SimulatedInterface.h"

#include <juce_core/juce_core.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>

// ---------------------------------------------------------------------------
// Object kinds
enum : CFTypeID
{
    kTypeString = 7,
    kTypeNumber,
    kTypeArray,
    kTypeDictionary,
    kTypeRunLoop,
    kTypeRunLoopSource,
    kTypeHIDManager,
    kTypeHIDDevice,
    kTypeNotificationPort
};

struct __CFObject
{
    explicit __CFObject (CFTypeID t) : typeId (t) {}
    virtual ~__CFObject() = default;
    std::atomic<long> refs { 1 };
    const CFTypeID typeId;
    bool immortal = false;
};

struct __CFString : __CFObject
{
    explicit __CFString (juce::String t) : __CFObject (kTypeString), text (std::move (t)) {}
    juce::String text;
};

struct __CFNumber : __CFObject
{
    __CFNumber() : __CFObject (kTypeNumber) {}
    bool isFloat = false;
    SInt64 i = 0;
    double d = 0.0;
};

struct __CFArray : __CFObject
{
    __CFArray() : __CFObject (kTypeArray) {}
    ~__CFArray() override;
    std::vector<CFTypeRef> items;
};

struct __CFDictionary : __CFObject
{
    __CFDictionary() : __CFObject (kTypeDictionary) {}
    ~__CFDictionary() override;
    std::vector<std::pair<CFTypeRef, CFTypeRef>> items;
};

struct __CFRunLoop : __CFObject
{
    explicit __CFRunLoop (bool m) : __CFObject (kTypeRunLoop), isMain (m) { immortal = true; }
    const bool isMain;
};

struct __CFRunLoopSource : __CFObject
{
    __CFRunLoopSource() : __CFObject (kTypeRunLoopSource) {}
    std::atomic<bool> onMainLoop { false };
};

namespace platform
{
inline const __CFObject* object (CFTypeRef ref) { return static_cast<const __CFObject*> (ref); }
inline const __CFString* string (CFTypeRef ref)
{
    auto* o = object (ref);
    return o != nullptr && o->typeId == kTypeString ? static_cast<const __CFString*> (o) : nullptr;
}
inline CFStringRef makeString (const juce::String& text) { return new __CFString (text); }
CFNumberRef makeNumber (SInt64 value);

// Runs fn on the main run loop (the JUCE message thread), later.
void postToMainLoop (std::function<void()> fn);
bool isMessageThread();

// ---------------------------------------------------------------------------
// The simulated world, guarded by the one mutex of the stand-in. No callback of
// the program is ever called while it is held.
struct Listener
{
    AudioObjectPropertyAddress address;
    AudioObjectPropertyListenerProc proc;
    void* clientData;
};

struct Device
{
    AudioObjectID id = 0;
    sim::AudioDeviceSpec spec;
    Float64 rate = 48000.0;
    std::map<std::pair<UInt32, UInt32>, Float32> volumeDb;   // (scope, element)
    std::map<UInt32, UInt32> mute;                           // scope
    UInt32 playThru = 0;
    std::map<UInt32, UInt32> dataSource;                     // scope
    std::set<AudioObjectPropertySelector> failingReads, failingWrites;
    std::set<Float64> refusedRates;
    bool failListenerInstall = false;
    std::vector<Listener> listeners;
};

struct Task
{
    std::chrono::steady_clock::time_point due;
    UInt64 seq;
    bool isNotification;
    std::function<void()> fn;
};

struct HidDeviceEntry
{
    int handle;
    IOHIDDeviceRef device;   // retained
};

struct PowerRegistration
{
    io_connect_t port;
    void* refcon;
    IOServiceInterestCallback callback;
    IONotificationPortRef notificationPort;
};

struct State
{
    std::mutex mutex;
    std::condition_variable changed;

    UInt64 generation = 1;

    // audio
    std::vector<Device> devices;
    std::vector<Listener> systemListeners;
    AudioObjectID nextId = 40;
    AudioObjectID interfaceIn = 0, interfaceOut = 0;
    bool interfacePlugged = false;
    int interfaceHidHandle = 0;
    int audioDelayMs = 0;
    std::deque<sim::Access> log;

    // notification thread
    std::vector<Task> tasks;
    UInt64 nextSeq = 0;
    int pendingNotifications = 0;   // queued or being delivered
    bool delivering = false;
    bool stopping = false;                  // set at process exit
    bool notificationThreadDone = false;    // its loop has ended (at exit)

    // HID
    std::vector<HidDeviceEntry> hidDevices;
    int nextHidHandle = 1;
    std::vector<IOHIDManagerRef> managers;   // retained
    // Objects a program keeps for its whole life (HID managers, power ports),
    // kept here after a reset has forgotten them.
    std::vector<CFTypeRef> retired;

    std::vector<sim::RunLoopSchedule> hidSchedules, sourceSchedules;

    // power
    std::vector<PowerRegistration> powerRegistrations;
    std::vector<sim::PowerAnswer> powerAnswers;
    bool failPowerRegistration = false;
    io_connect_t nextPowerPort = 0x2a03;
};

// The one state, made on first use in its default form (populateDefaults).
State& state();
void populateDefaults (State&);
using Lock = std::unique_lock<std::mutex>;

Device* findDevice (State&, AudioObjectID id);

// A run-loop mode's name, for the record of schedules.
std::string modeName (CFStringRef mode);

// Queues a notification of these addresses on the object (mutex held).
void queueNotification (State&, AudioObjectID object, std::vector<AudioObjectPropertyAddress> addresses);
// Queues fn to run on the notification thread at the given time (mutex held).
void queueTimed (State&, std::chrono::steady_clock::time_point due, std::function<void()> fn);
// Starts the notification thread if needed.
void ensureNotificationThread();

// HID side, mutex held: a device appeared or went away.
void hidDeviceAdded (State&, IOHIDDeviceRef device);
void hidDeviceRemoved (State&, IOHIDDeviceRef device);
IOHIDDeviceRef makeHidDevice (const sim::HidDeviceSpec& spec);
void releaseHidManagers (State&);   // mutex held; releases nothing the caller still owns
} // namespace platform
