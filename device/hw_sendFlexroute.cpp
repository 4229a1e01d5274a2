#include "device/hw_sendFlexroute.h"
#include "routing/DeviceMixerState.h"

void hw_sendFlexroute (void*)
{
    static bool test = false;

    clearMixerState (MyDeviceMixer);

    if (test)
    {
        MixerEntry& source = MyDeviceMixer.entries[kindPhysicalInput][0];
        source.routed = 1;
        source.targetKind = kindAsio;
        source.routeFlag = 1;
        source.targetChannel = 2;

        MyDeviceMixer.entries[kindAsio][2].feedCount = 1;
    }

    test = ! test;
}
