// CoreFoundation stand-in: the part of the C interface that this program uses,
// with the platform's names and calling shapes, written for this build.
//
// Objects are reference counted: every ...Create... call and every value that a
// CoreAudio property read hands out belongs to the caller, who gives it back with
// CFRelease. Values returned by ...Get... calls are borrowed.
//
// Run loops: the main run loop is the JUCE message thread's loop. Sources and
// callbacks scheduled on it (CFRunLoopGetMain, or CFRunLoopGetCurrent called on
// the message thread) run there, posted through juce::MessageManager::callAsync,
// in the default and the common modes alike. A run loop of any other thread is
// never run by this stand-in: what is scheduled on it never fires.
#pragma once

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------------------
// Basic types
typedef unsigned char Boolean;
typedef std::uint8_t UInt8;
typedef std::int8_t SInt8;
typedef std::uint16_t UInt16;
typedef std::int16_t SInt16;
typedef std::uint32_t UInt32;
typedef std::int32_t SInt32;
typedef std::uint64_t UInt64;
typedef std::int64_t SInt64;
typedef float Float32;
typedef double Float64;
typedef SInt32 OSStatus;
typedef long CFIndex;
typedef unsigned long CFOptionFlags;
typedef UInt32 CFStringEncoding;
typedef unsigned long CFTypeID;

enum : OSStatus { noErr = 0 };

// Opaque object handles. Every object kind shares one base; the handles are
// distinct pointer types as on the platform.
struct __CFObject;
typedef const void* CFTypeRef;
typedef const struct __CFAllocator* CFAllocatorRef;
typedef const struct __CFString* CFStringRef;
typedef struct __CFString* CFMutableStringRef;
typedef const struct __CFNumber* CFNumberRef;
typedef const struct __CFArray* CFArrayRef;
typedef struct __CFArray* CFMutableArrayRef;
typedef const struct __CFDictionary* CFDictionaryRef;
typedef struct __CFDictionary* CFMutableDictionaryRef;
typedef struct __CFRunLoop* CFRunLoopRef;
typedef struct __CFRunLoopSource* CFRunLoopSourceRef;
typedef CFStringRef CFRunLoopMode;

// ---------------------------------------------------------------------------
// Allocators (only the default one exists; the argument is accepted and ignored)
extern const CFAllocatorRef kCFAllocatorDefault;

// Retain / release of any object made by this stand-in (CFRelease(nullptr) is a
// no-op here; the platform would crash).
CFTypeRef CFRetain (CFTypeRef object);
void CFRelease (CFTypeRef object);
CFIndex CFGetRetainCount (CFTypeRef object);
CFTypeID CFGetTypeID (CFTypeRef object);
CFTypeID CFStringGetTypeID();
CFTypeID CFNumberGetTypeID();
CFTypeID CFArrayGetTypeID();
CFTypeID CFDictionaryGetTypeID();
// Two objects are equal when they are of one kind and hold the same value
// (strings: same characters; numbers: same value).
Boolean CFEqual (CFTypeRef a, CFTypeRef b);

// ---------------------------------------------------------------------------
// Strings
enum : CFStringEncoding
{
    kCFStringEncodingMacRoman = 0,
    kCFStringEncodingASCII = 0x0600,
    kCFStringEncodingUTF8 = 0x08000100
};

typedef CFIndex CFComparisonResult;
enum : CFComparisonResult
{
    kCFCompareLessThan = -1,
    kCFCompareEqualTo = 0,
    kCFCompareGreaterThan = 1
};

typedef CFOptionFlags CFStringCompareFlags;
enum : CFStringCompareFlags
{
    kCFCompareCaseInsensitive = 1
};

// Returns nullptr for a null text, or for a text that is not valid in the
// encoding (ASCII: bytes above 127).
CFStringRef CFStringCreateWithCString (CFAllocatorRef alloc, const char* cStr, CFStringEncoding encoding);
// The length in characters (Unicode code points in this stand-in).
CFIndex CFStringGetLength (CFStringRef s);
CFIndex CFStringGetMaximumSizeForEncoding (CFIndex length, CFStringEncoding encoding);
// Copies the text with a closing zero byte; false when it does not fit or
// cannot be written in the encoding.
Boolean CFStringGetCString (CFStringRef s, char* buffer, CFIndex bufferSize, CFStringEncoding encoding);
// Case-insensitive comparison folds letters of any script.
CFComparisonResult CFStringCompare (CFStringRef a, CFStringRef b, CFStringCompareFlags options);

// A constant string: made once per distinct text, never freed (CFRelease on it
// does nothing harmful).
CFStringRef __CFStringMakeConstantString (const char* cStr);
#define CFSTR(cStr) __CFStringMakeConstantString ("" cStr "")

// ---------------------------------------------------------------------------
// Numbers
typedef CFIndex CFNumberType;
enum : CFNumberType
{
    kCFNumberSInt8Type = 1,
    kCFNumberSInt16Type = 2,
    kCFNumberSInt32Type = 3,
    kCFNumberSInt64Type = 4,
    kCFNumberFloat32Type = 5,
    kCFNumberFloat64Type = 6,
    kCFNumberCharType = 7,
    kCFNumberShortType = 8,
    kCFNumberIntType = 9,
    kCFNumberLongType = 10,
    kCFNumberLongLongType = 11,
    kCFNumberFloatType = 12,
    kCFNumberDoubleType = 13,
    kCFNumberCFIndexType = 14
};

CFNumberRef CFNumberCreate (CFAllocatorRef alloc, CFNumberType type, const void* valuePtr);
// Converts to the asked type; false when the value does not fit exactly (the
// converted value is still written).
Boolean CFNumberGetValue (CFNumberRef number, CFNumberType type, void* valuePtr);

// ---------------------------------------------------------------------------
// Arrays and dictionaries (they retain what they hold when made with the
// kCFType... call-backs, the only ones this stand-in knows)
struct CFArrayCallBacks { CFIndex version; };
struct CFDictionaryKeyCallBacks { CFIndex version; };
struct CFDictionaryValueCallBacks { CFIndex version; };
extern const CFArrayCallBacks kCFTypeArrayCallBacks;
extern const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks;
extern const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks;

CFMutableArrayRef CFArrayCreateMutable (CFAllocatorRef alloc, CFIndex capacity, const CFArrayCallBacks* callBacks);
void CFArrayAppendValue (CFMutableArrayRef array, const void* value);
CFIndex CFArrayGetCount (CFArrayRef array);
const void* CFArrayGetValueAtIndex (CFArrayRef array, CFIndex index);

CFMutableDictionaryRef CFDictionaryCreateMutable (CFAllocatorRef alloc, CFIndex capacity,
                                                  const CFDictionaryKeyCallBacks* keyCallBacks,
                                                  const CFDictionaryValueCallBacks* valueCallBacks);
void CFDictionarySetValue (CFMutableDictionaryRef dict, const void* key, const void* value);
// Keys are compared with CFEqual.
const void* CFDictionaryGetValue (CFDictionaryRef dict, const void* key);
CFIndex CFDictionaryGetCount (CFDictionaryRef dict);

// ---------------------------------------------------------------------------
// Run loops
extern const CFRunLoopMode kCFRunLoopDefaultMode;
extern const CFRunLoopMode kCFRunLoopCommonModes;

CFRunLoopRef CFRunLoopGetMain();
CFRunLoopRef CFRunLoopGetCurrent();
void CFRunLoopAddSource (CFRunLoopRef runLoop, CFRunLoopSourceRef source, CFRunLoopMode mode);
void CFRunLoopRemoveSource (CFRunLoopRef runLoop, CFRunLoopSourceRef source, CFRunLoopMode mode);
Boolean CFRunLoopContainsSource (CFRunLoopRef runLoop, CFRunLoopSourceRef source, CFRunLoopMode mode);
