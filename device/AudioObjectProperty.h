// Reading and writing fixed-size AudioObject properties.
#pragma once

#include "platform/CoreAudio.h"

// Reads a property into a holder that starts at zero, so a failed read gives
// 0 (or nullptr); the read's status goes to *status when asked for.
template <typename T>
T readProperty (AudioObjectID object, const AudioObjectPropertyAddress& address, OSStatus* status = nullptr)
{
    T value {};
    auto size = (UInt32) sizeof (T);
    const auto result = AudioObjectGetPropertyData (object, &address, 0, nullptr, &size, &value);

    if (status != nullptr)
        *status = result;

    return value;
}

template <typename T>
OSStatus writeProperty (AudioObjectID object, const AudioObjectPropertyAddress& address, const T& value)
{
    return AudioObjectSetPropertyData (object, &address, 0, nullptr, (UInt32) sizeof (T), &value);
}
