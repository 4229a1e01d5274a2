// CoreAudio stand-in: the audio-object property interface with the platform's
// names and calling shapes, written for this build. The objects behind it are
// the simulated devices of platform/SimulatedInterface.h.
//
// Threads: every call may be made from any thread. Property listeners are called
// on the stand-in's notification thread, after the change that caused them and
// never inside the AudioObjectSetPropertyData call that caused it. A listener
// installed with wildcards (selector, scope or element) receives the addresses
// that actually changed. Installing the same listener (object, address, proc,
// client data) twice keeps one installation and reports success.
//
// Notifications are sent when a value changes (a write of the value a property
// already holds sends nothing):
//   'nsrt'  -> { 'nsrt', 'glob', 0 }
//   'pft '  -> one call carrying { 'pft ', 'glob', 0 } and { 'nsrt', 'glob', 0 }
//   'vold'/'volm' element e of scope s -> one call carrying { 'vold', s, e } and { 'volm', s, e }
//   'mute' of scope s -> { 'mute', s, 0 }
//   the device list -> { 'dev#', 'glob', 0 } on the system object
#pragma once

#include "platform/CoreFoundation.h"

typedef UInt32 AudioObjectID;
typedef UInt32 AudioDeviceID;
typedef UInt32 AudioObjectPropertySelector;
typedef UInt32 AudioObjectPropertyScope;
typedef UInt32 AudioObjectPropertyElement;
typedef UInt32 AudioFormatID;
typedef UInt32 AudioFormatFlags;

struct AudioObjectPropertyAddress
{
    AudioObjectPropertySelector mSelector;
    AudioObjectPropertyScope mScope;
    AudioObjectPropertyElement mElement;
};

typedef OSStatus (*AudioObjectPropertyListenerProc) (AudioObjectID inObjectID,
                                                      UInt32 inNumberAddresses,
                                                      const AudioObjectPropertyAddress* inAddresses,
                                                      void* inClientData);

struct AudioBuffer
{
    UInt32 mNumberChannels;
    UInt32 mDataByteSize;
    void* mData;
};

// A variable-length record: mNumberBuffers entries follow.
struct AudioBufferList
{
    UInt32 mNumberBuffers;
    AudioBuffer mBuffers[1];
};

struct AudioStreamBasicDescription
{
    Float64 mSampleRate;
    AudioFormatID mFormatID;
    AudioFormatFlags mFormatFlags;
    UInt32 mBytesPerPacket;
    UInt32 mFramesPerPacket;
    UInt32 mBytesPerFrame;
    UInt32 mChannelsPerFrame;
    UInt32 mBitsPerChannel;
    UInt32 mReserved;
};
static_assert (sizeof (AudioStreamBasicDescription) == 40, "the physical format record is 40 bytes");

// A four-character code as a 32-bit value, first character most significant.
constexpr UInt32 audioFourCC (const char (&code)[5])
{
    return ((UInt32) (unsigned char) code[0] << 24) | ((UInt32) (unsigned char) code[1] << 16)
         | ((UInt32) (unsigned char) code[2] << 8) | (UInt32) (unsigned char) code[3];
}

// Objects
enum : AudioObjectID
{
    kAudioObjectUnknown = 0,
    kAudioObjectSystemObject = 1
};

// Scopes and elements
enum : UInt32
{
    kAudioObjectPropertyScopeGlobal = audioFourCC ("glob"),
    kAudioObjectPropertyScopeInput = audioFourCC ("inpt"),
    kAudioObjectPropertyScopeOutput = audioFourCC ("outp"),
    kAudioObjectPropertyScopeWildcard = audioFourCC ("****"),
    kAudioDevicePropertyScopeInput = kAudioObjectPropertyScopeInput,
    kAudioDevicePropertyScopeOutput = kAudioObjectPropertyScopeOutput,
    kAudioObjectPropertyElementMain = 0,
    kAudioObjectPropertyElementMaster = 0,
    kAudioObjectPropertyElementWildcard = 0xFFFFFFFFu,
    kAudioObjectPropertySelectorWildcard = audioFourCC ("****")
};

// Selectors
enum : AudioObjectPropertySelector
{
    kAudioHardwarePropertyDevices = audioFourCC ("dev#"),
    kAudioDevicePropertyDeviceUID = audioFourCC ("uid "),
    kAudioObjectPropertyName = audioFourCC ("lnam"),
    kAudioObjectPropertyManufacturer = audioFourCC ("lmak"),
    kAudioDevicePropertyStreamConfiguration = audioFourCC ("slay"),
    kAudioDevicePropertyNominalSampleRate = audioFourCC ("nsrt"),
    kAudioStreamPropertyPhysicalFormat = audioFourCC ("pft "),
    kAudioDevicePropertyMute = audioFourCC ("mute"),
    kAudioDevicePropertyPlayThru = audioFourCC ("thru"),
    kAudioDevicePropertyVolumeScalar = audioFourCC ("volm"),
    kAudioDevicePropertyVolumeDecibels = audioFourCC ("vold"),
    kAudioDevicePropertyDataSource = audioFourCC ("ssrc")
};

// Formats
enum : UInt32
{
    kAudioFormatLinearPCM = audioFourCC ("lpcm"),
    kAudioFormatFlagIsFloat = 1u << 0,
    kAudioFormatFlagIsBigEndian = 1u << 1,
    kAudioFormatFlagIsSignedInteger = 1u << 2,
    kAudioFormatFlagIsPacked = 1u << 3
};

// Results
enum : OSStatus
{
    kAudioHardwareNoError = 0,
    kAudioHardwareUnspecifiedError = (OSStatus) audioFourCC ("what"),
    kAudioHardwareUnknownPropertyError = (OSStatus) audioFourCC ("who?"),
    kAudioHardwareBadPropertySizeError = (OSStatus) audioFourCC ("!siz"),
    kAudioHardwareIllegalOperationError = (OSStatus) audioFourCC ("nope"),
    kAudioHardwareBadObjectError = (OSStatus) audioFourCC ("!obj"),
    kAudioHardwareUnsupportedOperationError = (OSStatus) audioFourCC ("unop"),
    kAudioDeviceUnsupportedFormatError = (OSStatus) audioFourCC ("!dat")
};

// The qualifier is accepted and ignored by every call of this stand-in.
OSStatus AudioObjectGetPropertyDataSize (AudioObjectID inObjectID, const AudioObjectPropertyAddress* inAddress,
                                         UInt32 inQualifierDataSize, const void* inQualifierData,
                                         UInt32* outDataSize);

// *ioDataSize gives the room in outData and comes back as the size written. A
// CFStringRef read ('uid ', 'lnam', 'lmak') hands out a string the caller releases.
OSStatus AudioObjectGetPropertyData (AudioObjectID inObjectID, const AudioObjectPropertyAddress* inAddress,
                                     UInt32 inQualifierDataSize, const void* inQualifierData,
                                     UInt32* ioDataSize, void* outData);

OSStatus AudioObjectSetPropertyData (AudioObjectID inObjectID, const AudioObjectPropertyAddress* inAddress,
                                     UInt32 inQualifierDataSize, const void* inQualifierData,
                                     UInt32 inDataSize, const void* inData);

Boolean AudioObjectHasProperty (AudioObjectID inObjectID, const AudioObjectPropertyAddress* inAddress);

OSStatus AudioObjectAddPropertyListener (AudioObjectID inObjectID, const AudioObjectPropertyAddress* inAddress,
                                         AudioObjectPropertyListenerProc inListener, void* inClientData);

OSStatus AudioObjectRemovePropertyListener (AudioObjectID inObjectID, const AudioObjectPropertyAddress* inAddress,
                                            AudioObjectPropertyListenerProc inListener, void* inClientData);
