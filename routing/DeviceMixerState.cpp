#include "routing/DeviceMixerState.h"

#include <cstring>

DeviceMixerState MyDeviceMixer {};

void clearMixerState (DeviceMixerState& state) noexcept
{
    std::memset (&state, 0, sizeof (state));
}

bool isMixerStateClear (const DeviceMixerState& state) noexcept
{
    static const DeviceMixerState zero {};
    return std::memcmp (&state, &zero, sizeof (state)) == 0;
}
