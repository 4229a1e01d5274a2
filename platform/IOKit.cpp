// IOKit stand-in: the HID manager over the simulated HID devices, and system
// power registration. Callbacks run on the main run loop (the message thread).
#include "platform/PlatformInternal.h"

using namespace platform;

struct __IOHIDManager : __CFObject
{
    __IOHIDManager() : __CFObject (kTypeHIDManager) {}
    ~__IOHIDManager() override { CFRelease (matching); }

    // All guarded by the stand-in's mutex.
    CFArrayRef matching = nullptr;   // retained; nullptr: match every device
    IOHIDDeviceCallback matchingCallback = nullptr;
    void* matchingContext = nullptr;
    IOHIDDeviceCallback removalCallback = nullptr;
    void* removalContext = nullptr;
    bool onMainLoop = false;
    bool opened = false;
    bool reportedPresent = false;
    bool enumerationPending = false;   // the present devices are yet to be reported
    UInt64 generation = 0;
};

struct __IOHIDDevice : __CFObject
{
    __IOHIDDevice() : __CFObject (kTypeHIDDevice) {}
    ~__IOHIDDevice() override { CFRelease (properties); }
    CFMutableDictionaryRef properties = nullptr;   // never changed after creation
};

struct IONotificationPort : __CFObject
{
    IONotificationPort() : __CFObject (kTypeNotificationPort) {}
    ~IONotificationPort() override { CFRelease (source); }
    CFRunLoopSourceRef source = new __CFRunLoopSource();
};

namespace
{
bool deviceMatches (CFArrayRef matching, IOHIDDeviceRef device)
{
    if (matching == nullptr)
        return true;
    for (auto item : matching->items)
    {
        auto* dict = static_cast<CFDictionaryRef> (item);
        if (CFGetTypeID (dict) != kTypeDictionary)
            continue;
        bool all = true;
        for (auto& [key, value] : dict->items)
            if (! CFEqual (CFDictionaryGetValue (device->properties, key), value))
                all = false;
        if (all)
            return true;
    }
    return false;
}

bool isActive (const State& s, const __IOHIDManager* m)
{
    return m->opened && m->onMainLoop && m->generation == s.generation;
}

// Posts one callback call to the main loop; it is dropped if the stand-in is
// reset before it runs.
void postHidCall (State& s, IOHIDManagerRef manager, IOHIDDeviceCallback cb, void* context, IOHIDDeviceRef device)
{
    if (cb == nullptr)
        return;
    CFRetain (manager);
    CFRetain (device);
    const auto generation = s.generation;
    postToMainLoop ([=]
    {
        bool current;
        {
            Lock lock (state().mutex);
            current = state().generation == generation;
        }
        if (current)
            cb (context, kIOReturnSuccess, manager, device);
        CFRelease (device);
        CFRelease (manager);
    });
}

// When a manager becomes opened and scheduled on the main loop: report the
// devices present at the time the loop gets to it.
void reportPresentLater (State& s, IOHIDManagerRef manager)
{
    if (! isActive (s, manager) || manager->reportedPresent)
        return;
    manager->reportedPresent = true;
    manager->enumerationPending = true;
    CFRetain (manager);
    postToMainLoop ([manager]
    {
        std::vector<IOHIDDeviceRef> found;
        IOHIDDeviceCallback cb = nullptr;
        void* context = nullptr;
        {
            auto& st = state();
            Lock lock (st.mutex);
            manager->enumerationPending = false;
            if (isActive (st, manager))
            {
                cb = manager->matchingCallback;
                context = manager->matchingContext;
                for (auto& e : st.hidDevices)
                    if (deviceMatches (manager->matching, e.device))
                        found.push_back ((IOHIDDeviceRef) CFRetain (e.device));
            }
        }
        for (auto* device : found)
        {
            if (cb != nullptr)
                cb (context, kIOReturnSuccess, manager, device);
            CFRelease (device);
        }
        CFRelease (manager);
    });
}
} // namespace

// ---------------------------------------------------------------------------
IOHIDDeviceRef platform::makeHidDevice (const sim::HidDeviceSpec& spec)
{
    auto* device = new __IOHIDDevice();
    device->properties = CFDictionaryCreateMutable (kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                                    &kCFTypeDictionaryValueCallBacks);
    auto put = [&] (const char* key, CFTypeRef value)
    {
        CFDictionarySetValue (device->properties, __CFStringMakeConstantString (key), value);
        CFRelease (value);
    };
    if (spec.vendorId)
        put (kIOHIDVendorIDKey, makeNumber (*spec.vendorId));
    if (spec.productId)
        put (kIOHIDProductIDKey, makeNumber (*spec.productId));
    if (spec.product)
        put (kIOHIDProductKey, makeString (juce::String::fromUTF8 (spec.product->c_str())));
    return device;
}

// A manager whose first report is still to come hears of changes through it.
void platform::hidDeviceAdded (State& s, IOHIDDeviceRef device)
{
    for (auto* m : s.managers)
        if (isActive (s, m) && ! m->enumerationPending && deviceMatches (m->matching, device))
            postHidCall (s, m, m->matchingCallback, m->matchingContext, device);
}

void platform::hidDeviceRemoved (State& s, IOHIDDeviceRef device)
{
    for (auto* m : s.managers)
        if (isActive (s, m) && ! m->enumerationPending && deviceMatches (m->matching, device))
            postHidCall (s, m, m->removalCallback, m->removalContext, device);
}

void platform::releaseHidManagers (State& s)
{
    // The program may still hold its reference (and never give it back, as the
    // platform allows): keep ours with the retired objects instead of releasing it.
    for (auto* m : s.managers)
        s.retired.push_back (m);
    s.managers.clear();
}

// ---------------------------------------------------------------------------
IOHIDManagerRef IOHIDManagerCreate (CFAllocatorRef, IOOptionBits)
{
    auto* manager = new __IOHIDManager();
    auto& s = state();
    Lock lock (s.mutex);
    manager->generation = s.generation;
    s.managers.push_back ((IOHIDManagerRef) CFRetain (manager));
    return manager;
}

void IOHIDManagerSetDeviceMatchingMultiple (IOHIDManagerRef manager, CFArrayRef multiple)
{
    if (manager == nullptr)
        return;
    Lock lock (state().mutex);
    CFRetain (multiple);
    CFRelease (manager->matching);
    manager->matching = multiple;
}

void IOHIDManagerRegisterDeviceMatchingCallback (IOHIDManagerRef manager, IOHIDDeviceCallback callback, void* context)
{
    if (manager == nullptr)
        return;
    Lock lock (state().mutex);
    manager->matchingCallback = callback;
    manager->matchingContext = context;
}

void IOHIDManagerRegisterDeviceRemovalCallback (IOHIDManagerRef manager, IOHIDDeviceCallback callback, void* context)
{
    if (manager == nullptr)
        return;
    Lock lock (state().mutex);
    manager->removalCallback = callback;
    manager->removalContext = context;
}

void IOHIDManagerScheduleWithRunLoop (IOHIDManagerRef manager, CFRunLoopRef runLoop, CFStringRef mode)
{
    if (manager == nullptr || runLoop == nullptr || mode == nullptr)
        return;
    auto& s = state();
    Lock lock (s.mutex);
    s.hidSchedules.push_back ({ runLoop->isMain, modeName (mode) });
    if (runLoop->isMain)
        manager->onMainLoop = true;
    reportPresentLater (s, manager);
}

IOReturn IOHIDManagerOpen (IOHIDManagerRef manager, IOOptionBits)
{
    if (manager == nullptr)
        return kIOReturnBadArgument;
    auto& s = state();
    Lock lock (s.mutex);
    manager->opened = true;
    reportPresentLater (s, manager);
    return kIOReturnSuccess;
}

IOReturn IOHIDManagerClose (IOHIDManagerRef manager, IOOptionBits)
{
    if (manager == nullptr)
        return kIOReturnBadArgument;
    Lock lock (state().mutex);
    if (! manager->opened)
        return kIOReturnNotOpen;
    manager->opened = false;
    manager->reportedPresent = false;
    return kIOReturnSuccess;
}

CFTypeRef IOHIDDeviceGetProperty (IOHIDDeviceRef device, CFStringRef key)
{
    if (device == nullptr || key == nullptr)
        return nullptr;
    return CFDictionaryGetValue (device->properties, key);
}

// ---------------------------------------------------------------------------
io_connect_t IORegisterForSystemPower (void* refcon, IONotificationPortRef* thePortRef,
                                       IOServiceInterestCallback callback, io_object_t* notifier)
{
    auto& s = state();
    Lock lock (s.mutex);
    if (s.failPowerRegistration || thePortRef == nullptr || callback == nullptr)
        return 0;
    auto* port = new IONotificationPort();   // kept for the process's life, as the platform's
    const io_connect_t connection = s.nextPowerPort++;
    s.powerRegistrations.push_back ({ connection, refcon, callback, port });
    *thePortRef = port;
    if (notifier != nullptr)
        *notifier = connection + 0x1000;
    return connection;
}

CFRunLoopSourceRef IONotificationPortGetRunLoopSource (IONotificationPortRef notify)
{
    return notify == nullptr ? nullptr : notify->source;
}

namespace
{
IOReturn answerPower (io_connect_t kernelPort, long notificationID, bool allowed)
{
    auto& s = state();
    Lock lock (s.mutex);
    for (auto& r : s.powerRegistrations)
        if (r.port == kernelPort)
        {
            s.powerAnswers.push_back ({ kernelPort, notificationID, allowed });
            return kIOReturnSuccess;
        }
    return kIOReturnBadArgument;
}
} // namespace

IOReturn IOAllowPowerChange (io_connect_t kernelPort, long notificationID) { return answerPower (kernelPort, notificationID, true); }
IOReturn IOCancelPowerChange (io_connect_t kernelPort, long notificationID) { return answerPower (kernelPort, notificationID, false); }
