// Device link: registration, hot-plug and discovery, property watch, power
// messages and the sample-rate operation.
#include "device/RegisterDeviceCallBacksMac.h"
#include "device/AudioObjectProperty.h"

#include <juce_events/juce_events.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

DeviceDescriptor mydeviceStruct {};
std::atomic<AudioObjectID> gInAudioObjectID { 0 };
std::atomic<AudioObjectID> gOutAudioObjectID { 0 };
io_connect_t root_port = 0;

namespace
{
const char* const kProductAndDeviceName = "Quibra";
const char* const kManufacturerName = "Velkwerk GmbH";

constexpr int maxDiscoveryRuns = 5;

// Bumped by a removal of the interface and by a new registration: discovery
// runs scheduled before then are dropped.
std::atomic<unsigned> discoveryGeneration { 0 };

// The rates the interface can have, in the order they are compared.
constexpr Float64 acceptedRates[] = { 192000.0, 176400.0, 96000.0, 88200.0, 48000.0, 32000.0, 44100.0 };

const AudioObjectPropertyAddress nominalRateAddress { kAudioDevicePropertyNominalSampleRate, kAudioObjectPropertyScopeWildcard, 0 };

AudioObjectID loadId (const std::atomic<AudioObjectID>& id) { return id.load (std::memory_order_relaxed); }
void storeId (std::atomic<AudioObjectID>& id, AudioObjectID value) { id.store (value, std::memory_order_relaxed); }

void raise (const DeviceDescriptor* device, Velk_CallbackEvent event)
{
    if (device->eventCallback != nullptr)
        device->eventCallback (currentOwner (*device), nullptr, event);
}

CFStringRef makeASCIIString (const char* text)
{
    return CFStringCreateWithCString (kCFAllocatorDefault, text, kCFStringEncodingASCII);
}

// Reads a number property of a HID device as a signed 32-bit value; false when
// the device lacks it.
bool readHidNumber (IOHIDDeviceRef device, const char* key, SInt32& value)
{
    value = 0;
    auto ref = IOHIDDeviceGetProperty (device, __CFStringMakeConstantString (key));
    if (ref == nullptr)
        return false;
    if (CFGetTypeID (ref) == CFNumberGetTypeID())
        CFNumberGetValue (static_cast<CFNumberRef> (ref), kCFNumberSInt32Type, &value);
    return true;
}

// The three HID properties both callbacks need; false when one is missing.
bool readHidIdentity (IOHIDDeviceRef device, SInt32& vendorId, SInt32& productId, CFStringRef& product)
{
    if (device == nullptr)
        return false;
    if (! readHidNumber (device, kIOHIDVendorIDKey, vendorId) || ! readHidNumber (device, kIOHIDProductIDKey, productId))
        return false;
    auto ref = IOHIDDeviceGetProperty (device, CFSTR (kIOHIDProductKey));
    if (ref == nullptr)
        return false;
    product = static_cast<CFStringRef> (ref);
    return true;
}

juce::String toJuceString (CFStringRef s)
{
    if (s == nullptr)
        return {};
    const auto size = CFStringGetMaximumSizeForEncoding (CFStringGetLength (s), kCFStringEncodingUTF8) + 1;
    std::vector<char> buffer ((size_t) size, 0);
    if (! CFStringGetCString (s, buffer.data(), size, kCFStringEncodingUTF8))
        return {};
    return juce::String::fromUTF8 (buffer.data());
}

// Reads a CFString property (the caller releases it); nullptr when it fails.
CFStringRef readStringProperty (AudioObjectID device, AudioObjectPropertySelector selector, AudioObjectPropertyScope scope)
{
    OSStatus status = noErr;
    const auto value = readProperty<CFStringRef> (device, { selector, scope, 0 }, &status);
    return status == noErr ? value : nullptr;
}

struct ReleaseStrings
{
    std::vector<CFStringRef> strings;
    ~ReleaseStrings()
    {
        for (auto s : strings)
            if (s != nullptr)
                CFRelease (s);
    }
};

// Whether the device has streams in the scope. Returns -1 when the buffer for
// the layout cannot be had (the pass ends), 0 for no, 1 for yes.
int hasStreams (AudioObjectID device, AudioObjectPropertyScope scope)
{
    const AudioObjectPropertyAddress address { kAudioDevicePropertyStreamConfiguration, scope, 0 };
    UInt32 size = 0;
    if (AudioObjectGetPropertyDataSize (device, &address, 0, nullptr, &size) != noErr)
        return 0;
    auto* buffer = static_cast<AudioBufferList*> (std::malloc (size));
    if (buffer == nullptr)
        return -1;
    UInt32 ioSize = size;
    const bool ok = AudioObjectGetPropertyData (device, &address, 0, nullptr, &ioSize, buffer) == noErr
                 && ioSize >= sizeof (UInt32) && size >= sizeof (UInt32)
                 && buffer->mNumberBuffers != 0;
    std::free (buffer);
    return ok ? 1 : 0;
}
} // namespace

// ---------------------------------------------------------------------------
void* currentOwner (const DeviceDescriptor& record)
{
    return __atomic_load_n (&record.owner, __ATOMIC_SEQ_CST);
}

void releaseOwner (DeviceDescriptor& record, void* owner)
{
    void* expected = owner;
    __atomic_compare_exchange_n (&record.owner, &expected, static_cast<void*> (nullptr), false,
                                 __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
}

void RegisterDeviceCallBacks (void* owner, DeviceEventCallback callback)
{
    ++discoveryGeneration;   // no run of an earlier registration reports to this one
    __atomic_store_n (&mydeviceStruct.owner, owner, __ATOMIC_SEQ_CST);
    mydeviceStruct.vendorId = kQuibraVendorId;
    mydeviceStruct.productId = kQuibraProductId;
    mydeviceStruct.productName = kProductAndDeviceName;
    mydeviceStruct.deviceName = kProductAndDeviceName;
    mydeviceStruct.manufacturerName = kManufacturerName;
    mydeviceStruct.eventCallback = callback;

    IONotificationPortRef notifyPort = nullptr;
    io_object_t notifier = 0;
    root_port = IORegisterForSystemPower (&mydeviceStruct, &notifyPort, MySleepCallBack, &notifier);
    if (root_port != 0)
        CFRunLoopAddSource (CFRunLoopGetCurrent(), IONotificationPortGetRunLoopSource (notifyPort), kCFRunLoopCommonModes);

    IOHIDManagerRef manager = IOHIDManagerCreate (kCFAllocatorDefault, kIOHIDOptionsTypeNone);

    if (CFMutableArrayRef matching = CFArrayCreateMutable (kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks))
    {
        if (CFMutableDictionaryRef dict = CFDictionaryCreateMutable (kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                                                     &kCFTypeDictionaryValueCallBacks))
        {
            const int vendorId = (int) mydeviceStruct.vendorId;
            const int productId = (int) mydeviceStruct.productId;
            CFNumberRef vendor = CFNumberCreate (kCFAllocatorDefault, kCFNumberIntType, &vendorId);
            CFNumberRef product = CFNumberCreate (kCFAllocatorDefault, kCFNumberIntType, &productId);
            CFDictionarySetValue (dict, CFSTR (kIOHIDVendorIDKey), vendor);
            CFDictionarySetValue (dict, CFSTR (kIOHIDProductIDKey), product);
            CFRelease (vendor);
            CFRelease (product);
            CFArrayAppendValue (matching, dict);
            CFRelease (dict);
        }
        IOHIDManagerSetDeviceMatchingMultiple (manager, matching);
        CFRelease (matching);
    }

    IOHIDManagerRegisterDeviceMatchingCallback (manager, Handle_DeviceMatchingCallback, &mydeviceStruct);
    IOHIDManagerRegisterDeviceRemovalCallback (manager, Handle_DeviceRemovalCallback, &mydeviceStruct);
    IOHIDManagerScheduleWithRunLoop (manager, CFRunLoopGetMain(), kCFRunLoopDefaultMode);
    IOHIDManagerOpen (manager, kIOHIDOptionsTypeNone);
    // The manager stays in place for the life of the process.
}

// ---------------------------------------------------------------------------
void Handle_DeviceMatchingCallback (void* context, IOReturn, void*, IOHIDDeviceRef device)
{
    auto* record = static_cast<DeviceDescriptor*> (context);
    SInt32 vendorId = 0, productId = 0;
    CFStringRef product = nullptr;
    if (record == nullptr || ! readHidIdentity (device, vendorId, productId, product))
        return;

    if ((UInt32) productId != record->productId || (UInt32) vendorId != record->vendorId)
        return;

    plugCallback (context, 0);
}

void Handle_DeviceRemovalCallback (void* context, IOReturn, void*, IOHIDDeviceRef device)
{
    auto* record = static_cast<DeviceDescriptor*> (context);
    SInt32 vendorId = 0, productId = 0;
    CFStringRef product = nullptr;
    if (record == nullptr || ! readHidIdentity (device, vendorId, productId, product))
        return;

    CFStringRef wanted = makeASCIIString (record->productName);
    const bool accepted = (UInt32) productId == record->productId && (UInt32) vendorId == record->vendorId
                       && wanted != nullptr && CFGetTypeID (product) == CFStringGetTypeID()
                       && CFStringCompare (product, wanted, kCFCompareCaseInsensitive) == kCFCompareEqualTo;
    if (wanted != nullptr)
        CFRelease (wanted);
    if (! accepted)
        return;

    ++discoveryGeneration;   // runs still pending for an earlier arrival are off
    raise (record, eventDeviceRemoved);
    storeId (gInAudioObjectID, 0);
    storeId (gOutAudioObjectID, 0);
}

namespace
{
void discover (void* context, int run, unsigned generation);

// The discovery runs still to come, each due a second after the run before
// it; a timer on the message thread makes them when they are due, so that the
// program goes on meanwhile. Message thread only. Never destroyed: a run may
// be pending when the program ends.
class PendingRuns : private juce::Timer
{
public:
    static PendingRuns& get()
    {
        static auto& runs = *new PendingRuns();
        return runs;
    }

    void add (void* context, int run, unsigned generation)
    {
        pending.push_back ({ context, run, generation, juce::Time::getMillisecondCounterHiRes() + 1000.0 });
        restart();
    }

private:
    struct Run
    {
        void* context;
        int run;
        unsigned generation;
        double due;
    };

    void timerCallback() override
    {
        stopTimer();
        const auto now = juce::Time::getMillisecondCounterHiRes();
        std::vector<Run> due;
        for (auto it = pending.begin(); it != pending.end();)
        {
            if (it->due <= now || it->generation != discoveryGeneration.load())
            {
                due.push_back (*it);
                it = pending.erase (it);
            }
            else
            {
                ++it;
            }
        }
        for (const auto& r : due)
            discover (r.context, r.run, r.generation);   // may add the next run
        restart();
    }

    void restart()
    {
        if (pending.empty())
            return stopTimer();
        double first = pending.front().due;
        for (const auto& r : pending)
            first = std::min (first, r.due);
        startTimer (juce::jmax (1, (int) std::ceil (first - juce::Time::getMillisecondCounterHiRes())));
    }

    std::vector<Run> pending;
};

// One discovery run of an arrival; while the interface is not complete yet,
// the next run follows a second later. Five runs at most; nothing waits after
// the last one. A run of an earlier generation is dropped.
void discover (void* context, int run, unsigned generation)
{
    if (generation != discoveryGeneration.load())
        return;

    auto* record = static_cast<DeviceDescriptor*> (context);
    CFStringRef deviceName = makeASCIIString (record->deviceName);
    CFStringRef makerName = makeASCIIString (record->manufacturerName);

    CreateInputDeviceArray (deviceName, makerName, context);

    if (deviceName != nullptr)
        CFRelease (deviceName);
    if (makerName != nullptr)
        CFRelease (makerName);

    if (loadId (gInAudioObjectID) != 0 && loadId (gOutAudioObjectID) != 0)
        raise (record, eventDeviceArrived);
    else if (run + 1 < maxDiscoveryRuns)   // the devices may show up a little after the HID device
        PendingRuns::get().add (context, run + 1, generation);
}
} // namespace

void plugCallback (void* context, io_iterator_t)
{
    if (context != nullptr)
        discover (context, 0, discoveryGeneration.load());
}

void CreateInputDeviceArray (CFStringRef deviceName, CFStringRef manufacturerName, void* context)
{
    const AudioObjectPropertyAddress devicesAddress { kAudioHardwarePropertyDevices, kAudioObjectPropertyScopeGlobal, 0 };
    UInt32 size = 0;
    if (AudioObjectGetPropertyDataSize (kAudioObjectSystemObject, &devicesAddress, 0, nullptr, &size) != noErr)
        return;
    auto* devices = static_cast<AudioObjectID*> (std::malloc (size));
    if (devices == nullptr)
        return;
    if (AudioObjectGetPropertyData (kAudioObjectSystemObject, &devicesAddress, 0, nullptr, &size, devices) != noErr)
    {
        std::free (devices);
        return;
    }
    const UInt32 count = size / (UInt32) sizeof (AudioObjectID);

    const juce::String wantedName = toJuceString (deviceName);
    const AudioObjectPropertyAddress listenAddress { kAudioObjectPropertySelectorWildcard,
                                                     kAudioObjectPropertyScopeWildcard,
                                                     kAudioObjectPropertyElementWildcard };

    for (const auto scope : { kAudioObjectPropertyScopeInput, kAudioObjectPropertyScopeOutput })
    {
        const bool inputPass = scope == kAudioObjectPropertyScopeInput;

        for (UInt32 i = 0; i < count; ++i)
        {
            const AudioObjectID device = devices[i];
            ReleaseStrings strings;
            CFStringRef uid = readStringProperty (device, kAudioDevicePropertyDeviceUID, scope);
            strings.strings.push_back (uid);
            if (uid == nullptr)
                continue;
            CFStringRef name = readStringProperty (device, kAudioObjectPropertyName, scope);
            strings.strings.push_back (name);
            if (name == nullptr)
                continue;
            CFStringRef maker = readStringProperty (device, kAudioObjectPropertyManufacturer, scope);
            strings.strings.push_back (maker);
            if (maker == nullptr)
                continue;

            const int streams = hasStreams (device, scope);
            if (streams < 0)
                break;   // no buffer for the layout: this pass ends
            if (streams == 0)
                continue;

            // The device's name is a leading part of the wanted name, or equals it ignoring case.
            const juce::String deviceNameText = toJuceString (name);
            const bool leadingPart = juce::CharacterFunctions::compareUpTo (wantedName.getCharPointer(),
                                                                            deviceNameText.getCharPointer(),
                                                                            deviceNameText.length()) == 0;
            const bool sameIgnoringCase = CFStringCompare (deviceName, name, kCFCompareCaseInsensitive) == kCFCompareEqualTo;
            if (! (leadingPart || sameIgnoringCase))
                continue;
            if (CFStringCompare (manufacturerName, maker, kCFCompareCaseInsensitive) != kCFCompareEqualTo)
                continue;

            if (AudioObjectAddPropertyListener (device, &listenAddress, myAudioObjectPropertyListenerProc, context) == noErr)
            {
                storeId (inputPass ? gInAudioObjectID : gOutAudioObjectID, device);
            }
            else if (inputPass)
            {
                if (loadId (gOutAudioObjectID) == device)
                    storeId (gInAudioObjectID, device);
            }
            else if (loadId (gInAudioObjectID) == device)
            {
                storeId (gOutAudioObjectID, device);
            }
            // The scan goes on: the last match in the list wins.
        }
    }

    std::free (devices);
}

// ---------------------------------------------------------------------------
OSStatus myAudioObjectPropertyListenerProc (AudioObjectID objectID, UInt32 numberAddresses,
                                            const AudioObjectPropertyAddress* addresses, void* clientData)
{
    auto* record = static_cast<DeviceDescriptor*> (clientData);
    if (record == nullptr || addresses == nullptr)
        return noErr;

    for (UInt32 i = 0; i < numberAddresses; ++i)
    {
        const AudioObjectPropertyAddress& address = addresses[i];
        switch (address.mSelector)
        {
            case kAudioDevicePropertyMute:
            case kAudioDevicePropertyPlayThru:
                readProperty<UInt32> (objectID, address);
                raise (record, eventPropertyChanged);
                break;
            case kAudioDevicePropertyVolumeScalar:
            {
                OSStatus status = noErr;
                readProperty<Float32> (objectID, address, &status);
                if (status == noErr)
                    raise (record, eventPropertyChanged);
                break;
            }
            case kAudioDevicePropertyDataSource:
                readProperty<UInt32> (objectID, { kAudioDevicePropertyDataSource, kAudioObjectPropertyScopeInput, 0 });
                raise (record, eventPropertyChanged);
                break;
            case kAudioDevicePropertyNominalSampleRate:
            {
                OSStatus status = noErr;
                const auto newRate = readProperty<Float64> (objectID, address, &status);

                // Only a rate the interface can have is passed on: another
                // program (or a confused driver) may report NaN, 0 or anything
                // else, which must not be written to the other side.
                if (status != noErr || ! isInterfaceSampleRate (newRate))
                    break;

                // Keep both sides at the same rate: write it where it still differs.
                for (const AudioObjectID side : { loadId (gInAudioObjectID), loadId (gOutAudioObjectID) })
                    if (readProperty<Float64> (side, nominalRateAddress) != newRate)
                        writeProperty (side, nominalRateAddress, newRate);

                raise (record, eventPropertyChanged);
                break;
            }
            default:
                break;
        }
    }
    return noErr;
}

void MySleepCallBack (void* refcon, io_service_t, natural_t messageType, void* messageArgument)
{
    auto* record = static_cast<DeviceDescriptor*> (refcon);
    if (record == nullptr)
        return;

    switch (messageType)
    {
        case kIOMessageCanSystemSleep:
            IOAllowPowerChange (root_port, (long) messageArgument);   // sleep is never refused
            break;
        case kIOMessageSystemWillSleep:
            raise (record, eventSystemWillSleep);
            IOAllowPowerChange (root_port, (long) messageArgument);
            break;
        case kIOMessageSystemWillPowerOn:
            raise (record, eventSystemWillPowerOn);
            break;
        case kIOMessageSystemHasPoweredOn:
            raise (record, eventSystemHasPoweredOn);
            break;
        default:
            break;
    }
}

// ---------------------------------------------------------------------------
bool isInterfaceSampleRate (double rate)
{
    for (const Float64 accepted : acceptedRates)
        if (rate == accepted)
            return true;
    return false;
}

bool hw_setSampleRate (double rate)
{
    // Nothing is written for a rate the interface cannot have (NaN, 0, an
    // unlisted rate): it would only be refused, after blocking the caller.
    if (! isInterfaceSampleRate (rate))
        return false;

    const AudioObjectID input = loadId (gInAudioObjectID);
    const AudioObjectID output = loadId (gOutAudioObjectID);

    if (rate == 32000.0)
    {
        // 32 kHz is reached through the physical format.
        const AudioObjectPropertyAddress address { kAudioStreamPropertyPhysicalFormat, kAudioObjectPropertyScopeWildcard, 0 };
        AudioStreamBasicDescription format {};
        format.mSampleRate = 32000.0;
        format.mFormatID = kAudioFormatLinearPCM;
        format.mFormatFlags = kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked;
        format.mBytesPerPacket = 4;
        format.mFramesPerPacket = 1;
        format.mBytesPerFrame = 4;
        format.mChannelsPerFrame = 2;
        format.mBitsPerChannel = 16;
        format.mReserved = 0;
        writeProperty (input, address, format);
        writeProperty (output, address, format);
    }
    else
    {
        writeProperty (input, nominalRateAddress, (Float64) rate);
        writeProperty (output, nominalRateAddress, (Float64) rate);
    }

    OSStatus inputStatus = noErr, outputStatus = noErr;
    auto inputRate = readProperty<Float64> (input, nominalRateAddress, &inputStatus);
    auto outputRate = readProperty<Float64> (output, nominalRateAddress, &outputStatus);

    if (inputStatus == outputStatus && inputRate == outputRate)
        return inputStatus == noErr;

    // Give the devices a moment to follow each other.
    juce::Time::waitForMillisecondCounter (juce::Time::getMillisecondCounter() + 300);

    inputRate = readProperty<Float64> (input, nominalRateAddress, &inputStatus);
    outputRate = readProperty<Float64> (output, nominalRateAddress, &outputStatus);
    return inputStatus == noErr && outputStatus == noErr && inputRate == outputRate;
}
