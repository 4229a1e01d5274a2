// IOKit stand-in: the HID manager (hot-plug of USB HID devices) and system power
// messages, with the platform's names and calling shapes, written for this build.
//
// Threads: HID callbacks and power callbacks run on the run loop they are
// scheduled on; only the main run loop (the JUCE message thread) is ever run.
// Devices already present are reported once the loop runs after the manager is
// both opened and scheduled, never from inside IOHIDManagerOpen or
// IOHIDManagerScheduleWithRunLoop.
#pragma once

#include "platform/CoreFoundation.h"

typedef SInt32 IOReturn;
typedef UInt32 IOOptionBits;
typedef UInt32 natural_t;
typedef UInt32 mach_port_t;
typedef mach_port_t io_object_t;
typedef io_object_t io_service_t;
typedef io_object_t io_connect_t;
typedef io_object_t io_iterator_t;

enum : IOReturn
{
    kIOReturnSuccess = 0,
    kIOReturnError = (IOReturn) 0xE00002BC,
    kIOReturnNotOpen = (IOReturn) 0xE00002CD,
    kIOReturnBadArgument = (IOReturn) 0xE00002C2
};

enum : IOOptionBits
{
    kIOHIDOptionsTypeNone = 0
};

// ---------------------------------------------------------------------------
// HID manager
typedef struct __IOHIDManager* IOHIDManagerRef;
typedef struct __IOHIDDevice* IOHIDDeviceRef;

typedef void (*IOHIDDeviceCallback) (void* context, IOReturn result, void* sender, IOHIDDeviceRef device);
typedef void (*IOServiceMatchingCallback) (void* refcon, io_iterator_t iterator);

#define kIOHIDVendorIDKey "VendorID"
#define kIOHIDProductIDKey "ProductID"
#define kIOHIDProductKey "Product"
#define kIOHIDManufacturerKey "Manufacturer"

IOHIDManagerRef IOHIDManagerCreate (CFAllocatorRef allocator, IOOptionBits options);
// An array of dictionaries; a device matches when it matches one dictionary, that
// is when each key of the dictionary names a property of the device with an equal
// value. Without a matching set every device matches; an empty array matches none.
void IOHIDManagerSetDeviceMatchingMultiple (IOHIDManagerRef manager, CFArrayRef multiple);
void IOHIDManagerRegisterDeviceMatchingCallback (IOHIDManagerRef manager, IOHIDDeviceCallback callback, void* context);
void IOHIDManagerRegisterDeviceRemovalCallback (IOHIDManagerRef manager, IOHIDDeviceCallback callback, void* context);
void IOHIDManagerScheduleWithRunLoop (IOHIDManagerRef manager, CFRunLoopRef runLoop, CFStringRef runLoopMode);
IOReturn IOHIDManagerOpen (IOHIDManagerRef manager, IOOptionBits options);
IOReturn IOHIDManagerClose (IOHIDManagerRef manager, IOOptionBits options);
// Borrowed: a number ("VendorID", "ProductID") or a string ("Product"), or
// nullptr when the device lacks the property.
CFTypeRef IOHIDDeviceGetProperty (IOHIDDeviceRef device, CFStringRef key);

// ---------------------------------------------------------------------------
// System power
typedef struct IONotificationPort* IONotificationPortRef;
typedef void (*IOServiceInterestCallback) (void* refcon, io_service_t service, natural_t messageType, void* messageArgument);

enum : natural_t
{
    kIOMessageCanSystemSleep = 0xE0000270,
    kIOMessageSystemWillSleep = 0xE0000280,
    kIOMessageSystemWillNotSleep = 0xE0000290,
    kIOMessageSystemHasPoweredOn = 0xE0000300,
    kIOMessageSystemWillRestart = 0xE0000310,
    kIOMessageSystemWillPowerOn = 0xE0000320
};

// Returns the root power domain connection (non-zero), or 0 when the
// registration fails (then the out-parameters are left unchanged).
io_connect_t IORegisterForSystemPower (void* refcon, IONotificationPortRef* thePortRef,
                                       IOServiceInterestCallback callback, io_object_t* notifier);
// The source to add to a run loop so that the port's messages are delivered there.
CFRunLoopSourceRef IONotificationPortGetRunLoopSource (IONotificationPortRef notify);
// Answers a kIOMessageCanSystemSleep or kIOMessageSystemWillSleep message; the
// notification id is the message argument, passed on as a long.
IOReturn IOAllowPowerChange (io_connect_t kernelPort, long notificationID);
IOReturn IOCancelPowerChange (io_connect_t kernelPort, long notificationID);
