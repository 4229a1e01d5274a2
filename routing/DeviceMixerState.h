// The routing record: for every port (kind and channel) whether it feeds a
// wire, where that wire ends, how many wires end at it and whether it is muted.
#pragma once

#include <cstdint>

enum PortKind : int
{
    kindWdm = 0,            // "WDMout" / "WDMin" nodes
    kindWdmAux = 1,         // no node; mirrors the WDM mute
    kindAsio = 2,           // "ASIOout" / "ASIOin" nodes
    kindPhysicalInput = 3   // "PhysicIn" nodes
};

struct MixerEntry
{
    int64_t routed;         // 1 when this port, as a source, carries a wire
    int64_t feedCount;      // number of wires ending at this port
    int64_t targetKind;     // PortKind of this source's destination
    int64_t routeFlag;
    int64_t targetChannel;  // channel of this source's destination
    int64_t muted;          // 1 when this source is muted
};

struct DeviceMixerState
{
    static constexpr int numKinds = 4;
    static constexpr int numChannels = 8;

    int64_t head[11];
    MixerEntry entries[numKinds][numChannels];  // kind-major
};

static_assert (sizeof (MixerEntry) == 48, "MixerEntry is six 64-bit words");
static_assert (sizeof (DeviceMixerState) == 1624, "the routing record is 1,624 bytes");

// Sets every word of the record, head included, to zero.
void clearMixerState (DeviceMixerState& state) noexcept;

// True when every word of the record is zero.
bool isMixerStateClear (const DeviceMixerState& state) noexcept;

// The global routing record; written only by hw_sendFlexroute.
extern DeviceMixerState MyDeviceMixer;
