// The simulated interface behind the platform stand-in, and the control API that
// tests use to drive it.
//
// Default state (at start and after sim::reset()):
//   audio devices, in list order:
//     "Onboard Audio" by "Generic Audio Inc." (uid "onboard"), 2 input and 2 output streams
//     "Quibra" by "Velkwerk GmbH" (uid "quibra-in"), 1 input stream   <- the interface's input side
//     "Quibra" by "Velkwerk GmbH" (uid "quibra-out"), 1 output stream <- the interface's output side
//   every device at 48000 Hz, volumes 0 dB, unmuted, accepting the rates
//   44100, 48000, 88200, 96000, 176400, 192000 through 'nsrt' and these plus 32000
//   through 'pft ' (the physical format); volumes ('vold', elements 1 and 2 of each
//   scope the device has streams in) range from -64 dB to 0 dB and are clamped to it;
//   the interface's HID device present (kVendorId, kProductId, "Product" "Quibra");
//   no HID manager, power registration, run-loop schedule or listener; no
//   fault; delay 0.
// Device ids are never handed out twice in a process, a reset included, so an
// id kept from before a reset names no device.
//
// USB ids: vendor 0xFFF7 and product 0x0B0A. The vendor id lies at the top of the
// 16-bit range, which the USB-IF has not handed to any company (0xFFFF itself is
// the reserved "no id" value); the pair is a stand-in for the real interface's.
//
// Threads: every function may be called from any thread, unless noted.
#pragma once

#include "platform/CoreAudio.h"
#include "platform/IOKit.h"

#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace sim
{
constexpr SInt32 kVendorId = 0xFFF7;
constexpr SInt32 kProductId = 0x0B0A;
constexpr float kMinVolumeDb = -64.0f;
constexpr float kMaxVolumeDb = 0.0f;

// ---------------------------------------------------------------------------
// State as a whole

// Back to the default state. Drops queued notifications, waits for a listener
// call in progress to end (running the message loop meanwhile when called on the
// message thread), forgets HID managers and power registrations (callbacks
// already posted to the message loop are dropped), and clears all listeners.
// Afterwards the device link may be registered again (tests that build
// something which registers it should reset first, so that only one HID
// manager reports the interface).
void reset();
// A function that every reset calls at its end, on the caller's thread: the
// test program puts the state of its own that rides on the interface (the
// device link's found ids, say) back to program start there. Null for none.
void setResetHook (void (*hook)());

// Waits until every notification queued so far (and those their listeners
// cause) has been delivered; runs the message loop meanwhile when called on the
// message thread. Timed device arrivals (setAudioDeviceDelay) are not waited for.
// Returns false on timeout.
bool waitForNotifications (int timeoutMs = 5000);

// ---------------------------------------------------------------------------
// The interface

// Plugs the interface in: its HID device appears at once (reported to opened
// HID managers on the message loop); its two audio devices join the end of the
// device list, with new ids, after the configured delay (at once for 0). No-op
// when plugged.
void plugInterface();
// Unplugs it: its audio devices leave the list at once, then its HID device
// goes (the removal is reported on the message loop). No-op when not plugged.
void unplugInterface();
bool isInterfacePlugged();
// Delay between the HID arrival and the audio devices appearing, in ms.
void setAudioDeviceDelay (int milliseconds);
// The interface's input-side and output-side audio devices; 0 when absent.
AudioObjectID interfaceInputDevice();
AudioObjectID interfaceOutputDevice();

// ---------------------------------------------------------------------------
// Audio devices

struct AudioDeviceSpec
{
    std::string uid, name, maker;
    bool hasUid = true, hasName = true, hasMaker = true;
    bool hasStreamLayout = true;   // 'slay' readable
    UInt32 inputStreams = 0, outputStreams = 0;
    Float64 sampleRate = 48000.0;
    std::vector<Float64> nominalRates { 44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0 };
    Float32 minVolumeDb = kMinVolumeDb, maxVolumeDb = kMaxVolumeDb;
};

AudioDeviceSpec interfaceInputSpec();
AudioDeviceSpec interfaceOutputSpec();

// Appends a device to the end of the list (and notifies 'dev#'); returns its id.
AudioObjectID addAudioDevice (const AudioDeviceSpec& spec);
void removeAudioDevice (AudioObjectID device);
// Empties the device list (the interface's HID device is left alone).
void removeAllAudioDevices();
std::vector<AudioObjectID> audioDevices();

// ---------------------------------------------------------------------------
// Values, changed as another program would (any thread; listeners notified as
// for any write). They go through AudioObjectSetPropertyData and return its result.
OSStatus setNominalSampleRate (AudioObjectID device, Float64 rate);
OSStatus setVolumeDb (AudioObjectID device, UInt32 element, Float32 dB);   // output scope
OSStatus setMute (AudioObjectID device, bool muted);                     // output scope

// A faulty driver: stores the value as it comes, unchecked (NaN, infinities,
// rates the device does not list), and notifies as a write would.
void forceNominalSampleRate (AudioObjectID device, Float64 rate);
void forceVolumeDb (AudioObjectID device, UInt32 element, Float32 dB);   // output scope

// Direct looks at the values, bypassing faults and the access log.
Float64 nominalSampleRate (AudioObjectID device);
Float32 volumeDb (AudioObjectID device, UInt32 element);   // output scope
bool isMuted (AudioObjectID device);                       // output scope

// Sends one notification call with these addresses to the object's listeners,
// without changing any value (as a device does when it reports a change).
void notify (AudioObjectID object, const std::vector<AudioObjectPropertyAddress>& addresses);

// ---------------------------------------------------------------------------
// Faults (cleared by reset)
void failReads (AudioObjectID device, AudioObjectPropertySelector selector, bool fail = true);    // size queries too, not writes
void failWrites (AudioObjectID device, AudioObjectPropertySelector selector, bool fail = true);
void refuseRate (AudioObjectID device, Float64 rate, bool refuse = true);   // through 'nsrt' and 'pft '
void failListenerInstall (AudioObjectID device, bool fail = true);

// ---------------------------------------------------------------------------
// Access log: every AudioObjectGetPropertyData and AudioObjectSetPropertyData
// call on a device (size queries are not logged), oldest first, with the thread
// that made it. Keeps the latest 20000 entries.
struct Access
{
    std::thread::id thread;
    AudioObjectID object;
    AudioObjectPropertyAddress address;
    bool write;
    OSStatus status;
    Float64 value;   // rate, volume, scalar or mute value read or written; 0 otherwise
    AudioStreamBasicDescription format;   // the record given to a 'pft ' write; zero otherwise
};
std::vector<Access> accessLog();
void clearAccessLog();

// ---------------------------------------------------------------------------
// HID devices
struct HidDeviceSpec
{
    std::optional<SInt32> vendorId = kVendorId;
    std::optional<SInt32> productId = kProductId;
    std::optional<std::string> product = std::string ("Quibra");
};

// Adds a HID device (reported to matching opened HID managers on the message
// loop); returns a handle for removeHidDevice.
int addHidDevice (const HidDeviceSpec& spec);
void removeHidDevice (int handle);
// Number of HID managers created since the last reset.
int hidManagerCount();

// ---------------------------------------------------------------------------
// Run loops: where the program asked for its callbacks to run, one entry per
// IOHIDManagerScheduleWithRunLoop call and per CFRunLoopAddSource call (power
// notification sources) since the last reset, oldest first.
struct RunLoopSchedule
{
    bool mainLoop;      // the main thread's run loop (the message loop)
    std::string mode;   // the mode's name, e.g. "kCFRunLoopDefaultMode"
};
std::vector<RunLoopSchedule> hidManagerSchedules();
std::vector<RunLoopSchedule> runLoopSourceSchedules();

// ---------------------------------------------------------------------------
// Power messages, delivered on the message loop to every power registration
// whose run-loop source was added to the main run loop.
void sendPowerMessage (natural_t messageType, long argument);
struct PowerAnswer
{
    io_connect_t port;
    long notificationID;
    bool allowed;   // IOAllowPowerChange (true) or IOCancelPowerChange (false)
};
std::vector<PowerAnswer> powerAnswers();
// When set, IORegisterForSystemPower fails (returns 0).
void failPowerRegistration (bool fail = true);
} // namespace sim
