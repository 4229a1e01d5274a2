// Device link: finds the Quibra's CoreAudio input-side and output-side devices,
// follows the interface being plugged in and out (HID manager), system sleep and
// wake, and property changes on the two devices, and reports all of it through
// the event callback of the device record. Also sets the sample rate on both
// devices.
//
// Threads:
//  - RegisterDeviceCallBacks, hw_setSampleRate, the HID callbacks (arrival and
//    removal) and the power callback run on the main thread (JUCE's message
//    thread). An arrival makes up to five discovery runs one second apart, the
//    later ones from a timer on that thread (which goes on meanwhile); a
//    removal of the interface drops the runs still pending.
//  - The property listener runs on the audio notification thread and calls the
//    event callback from there: a receiver that touches components must take the
//    message-thread lock first.
#pragma once

#include "platform/CoreAudio.h"
#include "platform/IOKit.h"

#include <atomic>

// Device events handed to DeviceDescriptor::eventCallback.
enum Velk_CallbackEvent
{
    eventDeviceArrived = 1,        // both object ids found after a discovery run
    eventDeviceRemoved = 2,        // the interface's HID device went away (ids still set during the call)
    eventPropertyChanged = 3,      // a watched property of a found device changed (notification thread)
    eventSystemWillSleep = 5,
    eventSystemWillPowerOn = 6,
    eventSystemHasPoweredOn = 7
};

// Called with the record's owner, a null pointer, and the event.
typedef void (*DeviceEventCallback) (void* owner, void* reserved, Velk_CallbackEvent event);

// The device record: filled once by RegisterDeviceCallBacks, read by every
// callback of the device link through its context pointer.
struct DeviceDescriptor
{
    void* owner;                        // handed back as the first argument of every event
    UInt32 vendorId;                    // USB vendor id, compared with the HID "VendorID"
    UInt32 productId;                   // USB product id, compared with the HID "ProductID"
    const char* productName;            // compared, ignoring case, with the HID "Product" on removal
    const char* deviceName;             // the CoreAudio device name wanted by discovery
    const char* manufacturerName;       // the CoreAudio maker name wanted by discovery
    DeviceEventCallback eventCallback;  // the event sink
};

// The interface's USB ids (see platform/SimulatedInterface.h for the choice).
constexpr UInt32 kQuibraVendorId = 0xFFF7;
constexpr UInt32 kQuibraProductId = 0x0B0A;

extern DeviceDescriptor mydeviceStruct;

// The record's owner, read atomically: the owner may clear it on the main
// thread while events go out on the notification thread.
void* currentOwner (const DeviceDescriptor& record);

// Clears the record's owner if it is still the given one (an owner going away
// leaves a newer owner in place).
void releaseOwner (DeviceDescriptor& record, void* owner);

// The interface's input-side and output-side CoreAudio devices; 0 = not found.
// Written on the main thread (discovery sets, removal clears), read on the main
// thread and the notification thread. Atomic so that those reads are defined;
// read them as plain values (implicit conversion), e.g.
//     AudioObjectGetPropertyData (gOutAudioObjectID, &address, 0, nullptr, &size, &value);
extern std::atomic<AudioObjectID> gInAudioObjectID;
extern std::atomic<AudioObjectID> gOutAudioObjectID;

// The root power domain connection, used to answer sleep requests; 0 when the
// power registration failed.
extern io_connect_t root_port;

// Fills mydeviceStruct and registers for power messages and for the interface's
// HID arrival and removal. Call once, on the main thread. The interface already
// connected is reported through the arrival path once the message loop runs.
void RegisterDeviceCallBacks (void* owner, DeviceEventCallback callback);

// Whether the interface can run at this rate (Hz): 32000, 44100, 48000, 88200,
// 96000, 176400 or 192000, compared exactly (so never for NaN).
bool isInterfaceSampleRate (double rate);

// Sets the sample rate (Hz) on the input and then the output device (32000 Hz
// through the physical format), and returns whether both devices then report
// the same rate (compared with each other, not with the request). Waits 300 ms
// once for the devices to agree when they don't at first. Main thread.
// A rate the interface cannot have is not written at all: false at once.
bool hw_setSampleRate (double rate);

// Platform callbacks (registered by the device link itself; public for tests).
void Handle_DeviceMatchingCallback (void* context, IOReturn result, void* sender, IOHIDDeviceRef device);
void Handle_DeviceRemovalCallback (void* context, IOReturn result, void* sender, IOHIDDeviceRef device);
void plugCallback (void* context, io_iterator_t iterator);
void CreateInputDeviceArray (CFStringRef deviceName, CFStringRef manufacturerName, void* context);
OSStatus myAudioObjectPropertyListenerProc (AudioObjectID objectID, UInt32 numberAddresses,
                                            const AudioObjectPropertyAddress* addresses, void* clientData);
void MySleepCallBack (void* refcon, io_service_t service, natural_t messageType, void* messageArgument);
