// CoreFoundation stand-in: reference-counted strings, numbers, arrays and
// dictionaries, and the main run loop mapped onto JUCE's message thread.
#include "platform/PlatformInternal.h"

#include <juce_events/juce_events.h>

#include <cmath>
#include <cstring>
#include <limits>

const CFAllocatorRef kCFAllocatorDefault = nullptr;
const CFArrayCallBacks kCFTypeArrayCallBacks { 0 };
const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks { 0 };
const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks { 0 };

namespace
{
__CFObject* mutableObject (CFTypeRef ref) { return const_cast<__CFObject*> (platform::object (ref)); }

__CFString* makeImmortalString (const char* text)
{
    auto* s = new __CFString (juce::String::fromUTF8 (text));
    s->immortal = true;
    return s;
}
} // namespace

const CFRunLoopMode kCFRunLoopDefaultMode = makeImmortalString ("kCFRunLoopDefaultMode");
const CFRunLoopMode kCFRunLoopCommonModes = makeImmortalString ("kCFRunLoopCommonModes");

__CFArray::~__CFArray()
{
    for (auto item : items)
        CFRelease (item);
}

__CFDictionary::~__CFDictionary()
{
    for (auto& [k, v] : items)
    {
        CFRelease (k);
        CFRelease (v);
    }
}

// ---------------------------------------------------------------------------
CFTypeRef CFRetain (CFTypeRef ref)
{
    if (auto* o = mutableObject (ref))
        o->refs.fetch_add (1, std::memory_order_relaxed);
    return ref;
}

void CFRelease (CFTypeRef ref)
{
    auto* o = mutableObject (ref);
    if (o == nullptr || o->immortal)
        return;
    if (o->refs.fetch_sub (1, std::memory_order_acq_rel) == 1)
        delete o;
}

CFIndex CFGetRetainCount (CFTypeRef ref)
{
    auto* o = platform::object (ref);
    return o == nullptr ? 0 : o->refs.load();
}

CFTypeID CFGetTypeID (CFTypeRef ref)
{
    auto* o = platform::object (ref);
    return o == nullptr ? 0 : o->typeId;
}

CFTypeID CFStringGetTypeID() { return kTypeString; }
CFTypeID CFNumberGetTypeID() { return kTypeNumber; }
CFTypeID CFArrayGetTypeID() { return kTypeArray; }
CFTypeID CFDictionaryGetTypeID() { return kTypeDictionary; }

Boolean CFEqual (CFTypeRef a, CFTypeRef b)
{
    if (a == b)
        return true;
    auto* x = platform::object (a);
    auto* y = platform::object (b);
    if (x == nullptr || y == nullptr || x->typeId != y->typeId)
        return false;
    if (x->typeId == kTypeString)
        return static_cast<const __CFString*> (x)->text == static_cast<const __CFString*> (y)->text;
    if (x->typeId == kTypeNumber)
    {
        auto* n = static_cast<const __CFNumber*> (x);
        auto* m = static_cast<const __CFNumber*> (y);
        if (! n->isFloat && ! m->isFloat)
            return n->i == m->i;
        const double dn = n->isFloat ? n->d : (double) n->i;
        const double dm = m->isFloat ? m->d : (double) m->i;
        return dn == dm;
    }
    return false;
}

// ---------------------------------------------------------------------------
// Strings
CFStringRef CFStringCreateWithCString (CFAllocatorRef, const char* cStr, CFStringEncoding encoding)
{
    if (cStr == nullptr)
        return nullptr;
    if (encoding == kCFStringEncodingASCII)
    {
        for (auto* p = cStr; *p != 0; ++p)
            if ((unsigned char) *p > 127)
                return nullptr;
        return platform::makeString (juce::String (juce::CharPointer_ASCII (cStr)));
    }
    if (encoding == kCFStringEncodingUTF8)
    {
        if (! juce::CharPointer_UTF8::isValidString (cStr, std::numeric_limits<int>::max()))
            return nullptr;
        return platform::makeString (juce::String::fromUTF8 (cStr));
    }
    // Mac Roman and anything else: read as Latin-1, close enough for a stand-in.
    return platform::makeString (juce::String (cStr));
}

CFIndex CFStringGetLength (CFStringRef s)
{
    auto* str = platform::string (s);
    return str == nullptr ? 0 : str->text.length();
}

CFIndex CFStringGetMaximumSizeForEncoding (CFIndex length, CFStringEncoding encoding)
{
    return encoding == kCFStringEncodingUTF8 ? length * 4 : length;
}

Boolean CFStringGetCString (CFStringRef s, char* buffer, CFIndex bufferSize, CFStringEncoding encoding)
{
    auto* str = platform::string (s);
    if (str == nullptr || buffer == nullptr || bufferSize <= 0)
        return false;

    if (encoding == kCFStringEncodingASCII)
    {
        for (auto p = str->text.getCharPointer(); ! p.isEmpty(); ++p)
            if (*p > 127)
                return false;
    }

    const auto bytes = str->text.getNumBytesAsUTF8();
    if ((CFIndex) bytes + 1 > bufferSize)
        return false;
    std::memcpy (buffer, str->text.toRawUTF8(), bytes + 1);
    return true;
}

CFComparisonResult CFStringCompare (CFStringRef a, CFStringRef b, CFStringCompareFlags options)
{
    auto* x = platform::string (a);
    auto* y = platform::string (b);
    const juce::String empty;
    const auto& s = x != nullptr ? x->text : empty;
    const auto& t = y != nullptr ? y->text : empty;
    const int r = (options & kCFCompareCaseInsensitive) != 0 ? s.compareIgnoreCase (t) : s.compare (t);
    return r < 0 ? kCFCompareLessThan : (r > 0 ? kCFCompareGreaterThan : kCFCompareEqualTo);
}

CFStringRef __CFStringMakeConstantString (const char* cStr)
{
    // Never destroyed: constant strings live until the process ends.
    static std::mutex mutex;
    static auto* table = new std::map<std::string, __CFString*>();
    std::lock_guard<std::mutex> lock (mutex);
    auto& entry = (*table)[cStr];
    if (entry == nullptr)
        entry = makeImmortalString (cStr);
    return entry;
}

// ---------------------------------------------------------------------------
// Numbers
namespace
{
bool isFloatType (CFNumberType t)
{
    return t == kCFNumberFloat32Type || t == kCFNumberFloat64Type || t == kCFNumberFloatType || t == kCFNumberDoubleType;
}

size_t sizeOfType (CFNumberType t)
{
    switch (t)
    {
        case kCFNumberSInt8Type: case kCFNumberCharType: return 1;
        case kCFNumberSInt16Type: case kCFNumberShortType: return 2;
        case kCFNumberSInt32Type: case kCFNumberIntType: case kCFNumberFloat32Type: case kCFNumberFloatType: return 4;
        default: return 8;
    }
}

template <typename T>
bool store (T value, double exact, void* out)
{
    std::memcpy (out, &value, sizeof (T));
    return (double) value == exact;
}
} // namespace

CFNumberRef platform::makeNumber (SInt64 value)
{
    auto* n = new __CFNumber();
    n->i = value;
    return n;
}

CFNumberRef CFNumberCreate (CFAllocatorRef, CFNumberType type, const void* valuePtr)
{
    if (valuePtr == nullptr)
        return nullptr;
    auto* n = new __CFNumber();
    switch (sizeOfType (type))
    {
        case 1: { SInt8 v; std::memcpy (&v, valuePtr, 1); n->i = v; break; }
        case 2: { SInt16 v; std::memcpy (&v, valuePtr, 2); n->i = v; break; }
        case 4:
            if (isFloatType (type)) { Float32 v; std::memcpy (&v, valuePtr, 4); n->isFloat = true; n->d = v; }
            else { SInt32 v; std::memcpy (&v, valuePtr, 4); n->i = v; }
            break;
        default:
            if (isFloatType (type)) { Float64 v; std::memcpy (&v, valuePtr, 8); n->isFloat = true; n->d = v; }
            else { SInt64 v; std::memcpy (&v, valuePtr, 8); n->i = v; }
            break;
    }
    return n;
}

Boolean CFNumberGetValue (CFNumberRef number, CFNumberType type, void* valuePtr)
{
    auto* o = platform::object (number);
    if (o == nullptr || o->typeId != kTypeNumber || valuePtr == nullptr)
        return false;
    auto* n = static_cast<const __CFNumber*> (o);
    const double exact = n->isFloat ? n->d : (double) n->i;

    if (isFloatType (type))
        return sizeOfType (type) == 4 ? store ((Float32) exact, exact, valuePtr) : store ((Float64) exact, exact, valuePtr);

    if (n->isFloat && ! std::isfinite (n->d))
        return false;
    const SInt64 whole = n->isFloat ? (SInt64) n->d : n->i;
    switch (sizeOfType (type))
    {
        case 1: return store ((SInt8) whole, exact, valuePtr);
        case 2: return store ((SInt16) whole, exact, valuePtr);
        case 4: return store ((SInt32) whole, exact, valuePtr);
        default: return store ((SInt64) whole, exact, valuePtr);
    }
}

// ---------------------------------------------------------------------------
// Arrays and dictionaries
CFMutableArrayRef CFArrayCreateMutable (CFAllocatorRef, CFIndex, const CFArrayCallBacks*)
{
    return new __CFArray();
}

void CFArrayAppendValue (CFMutableArrayRef array, const void* value)
{
    if (array == nullptr)
        return;
    array->items.push_back (CFRetain (value));
}

CFIndex CFArrayGetCount (CFArrayRef array)
{
    return array == nullptr ? 0 : (CFIndex) array->items.size();
}

const void* CFArrayGetValueAtIndex (CFArrayRef array, CFIndex index)
{
    if (array == nullptr || index < 0 || index >= (CFIndex) array->items.size())
        return nullptr;
    return array->items[(size_t) index];
}

CFMutableDictionaryRef CFDictionaryCreateMutable (CFAllocatorRef, CFIndex, const CFDictionaryKeyCallBacks*,
                                                  const CFDictionaryValueCallBacks*)
{
    return new __CFDictionary();
}

void CFDictionarySetValue (CFMutableDictionaryRef dict, const void* key, const void* value)
{
    if (dict == nullptr || key == nullptr)
        return;
    CFRetain (value);
    for (auto& [k, v] : dict->items)
        if (CFEqual (k, key))
        {
            CFRelease (v);
            v = value;
            return;
        }
    dict->items.emplace_back (CFRetain (key), value);
}

const void* CFDictionaryGetValue (CFDictionaryRef dict, const void* key)
{
    if (dict == nullptr)
        return nullptr;
    for (auto& [k, v] : dict->items)
        if (CFEqual (k, key))
            return v;
    return nullptr;
}

CFIndex CFDictionaryGetCount (CFDictionaryRef dict)
{
    return dict == nullptr ? 0 : (CFIndex) dict->items.size();
}

// ---------------------------------------------------------------------------
// Run loops
namespace
{
__CFRunLoop mainLoop { true };
} // namespace

bool platform::isMessageThread()
{
    auto* mm = juce::MessageManager::getInstanceWithoutCreating();
    return mm != nullptr && mm->isThisTheMessageThread();
}

void platform::postToMainLoop (std::function<void()> fn)
{
    juce::MessageManager::callAsync (std::move (fn));
}

CFRunLoopRef CFRunLoopGetMain() { return &mainLoop; }

CFRunLoopRef CFRunLoopGetCurrent()
{
    if (platform::isMessageThread())
        return &mainLoop;
    // Another thread's loop: it exists, but this stand-in never runs it.
    thread_local __CFRunLoop threadLoop { false };
    return &threadLoop;
}

namespace
{
bool isKnownMode (CFRunLoopMode mode)
{
    return mode == kCFRunLoopDefaultMode || mode == kCFRunLoopCommonModes
        || CFEqual (mode, kCFRunLoopDefaultMode) || CFEqual (mode, kCFRunLoopCommonModes);
}
} // namespace

std::string platform::modeName (CFStringRef mode)
{
    auto* text = platform::string (mode);
    return text == nullptr ? std::string() : text->text.toStdString();
}

void CFRunLoopAddSource (CFRunLoopRef runLoop, CFRunLoopSourceRef source, CFRunLoopMode mode)
{
    if (runLoop == nullptr || source == nullptr)
        return;
    {
        auto& s = platform::state();
        platform::Lock lock (s.mutex);
        s.sourceSchedules.push_back ({ runLoop->isMain, platform::modeName (mode) });
    }
    if (! isKnownMode (mode))
        return;
    if (runLoop->isMain)
        source->onMainLoop = true;
}

void CFRunLoopRemoveSource (CFRunLoopRef runLoop, CFRunLoopSourceRef source, CFRunLoopMode mode)
{
    if (runLoop == nullptr || source == nullptr || ! isKnownMode (mode))
        return;
    if (runLoop->isMain)
        source->onMainLoop = false;
}

Boolean CFRunLoopContainsSource (CFRunLoopRef runLoop, CFRunLoopSourceRef source, CFRunLoopMode mode)
{
    return runLoop != nullptr && source != nullptr && isKnownMode (mode) && runLoop->isMain && source->onMainLoop;
}
