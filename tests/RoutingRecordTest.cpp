// The routing record and the hand-off that rewrites the global one.
#include <gtest/gtest.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "RoutingTestSupport.h"
#include "device/hw_sendFlexroute.h"
#include "routing/DeviceMixerState.h"

namespace
{
DeviceMixerState oneWireRouting()
{
    DeviceMixerState s {};
    auto& src = s.entries[kindPhysicalInput][0];
    src.routed = 1;
    src.targetKind = kindAsio;
    src.routeFlag = 1;
    src.targetChannel = 2;
    s.entries[kindAsio][2].feedCount = 1;
    return s;
}

bool sameRecord (const DeviceMixerState& a, const DeviceMixerState& b)
{
    return std::memcmp (&a, &b, sizeof (a)) == 0;
}

void fillWithGarbage (DeviceMixerState& s)
{
    std::memset (&s, 0x5a, sizeof (s));
}

// The hand-off counted from program start, run in a process of its own (the
// flag that picks its next result lives inside it, and other tests in this
// process may have called it). Exits 0 when every call did as it should.
[[noreturn]] void handOffFromProgramStart()
{
    auto check = [] (bool ok, const char* what)
    {
        if (! ok)
        {
            std::fprintf (stderr, "%s\n", what);
            std::exit (1);
        }
    };
    // Whatever the record held before, each call rewrites it in full.
    for (int round = 0; round < 2; ++round)
    {
        fillWithGarbage (MyDeviceMixer);
        hw_sendFlexroute (nullptr);
        check (isMixerStateClear (MyDeviceMixer), "an odd-numbered call must leave the record all zero");
        fillWithGarbage (MyDeviceMixer);
        hw_sendFlexroute (&MyDeviceMixer);
        check (sameRecord (MyDeviceMixer, oneWireRouting()), "an even-numbered call must leave just the one-wire routing");
    }
    std::exit (0);
}
} // namespace

TEST (RoutingRecord, LayoutIsKindMajorAndClearingZeroesEverything)
{
    DeviceMixerState s;
    fillWithGarbage (s);
    EXPECT_FALSE (isMixerStateClear (s));

    // kind-major: kind 1, channel 0 follows the eight entries of kind 0, after the head.
    const auto* base = reinterpret_cast<const char*> (&s);
    EXPECT_EQ (reinterpret_cast<const char*> (&s.entries[0][0]) - base, 88);
    EXPECT_EQ (reinterpret_cast<const char*> (&s.entries[1][0]) - base, 88 + 8 * 48);
    EXPECT_EQ (reinterpret_cast<const char*> (&s.entries[3][7].muted) - base, 1624 - 8);

    clearMixerState (s);
    EXPECT_TRUE (isMixerStateClear (s));
    for (auto word : s.head)
        EXPECT_EQ (word, 0);

    s.head[10] = 1;
    EXPECT_FALSE (isMixerStateClear (s));
}

TEST (RoutingHandOff, AlternatesFromProgramStartBetweenEmptyAndOneWireRouting)
{
    GTEST_FLAG_SET (death_test_style, "threadsafe");   // a child process of its own, started afresh
    EXPECT_EXIT (handOffFromProgramStart(), ::testing::ExitedWithCode (0), "");
}

TEST (RoutingHandOff, LeavesTheEditorsWiresAndRecordAlone)
{
    auto editor = routingtest::makeEditor();
    FlexrouteSettings settings;
    settings.wires.push_back ({ kindWdm, 1, kindAsio, 3 });
    settings.muteWdm = true;
    ASSERT_TRUE (editor->applySettings (settings));
    DeviceMixerState editorRecord;
    std::memcpy (&editorRecord, &editor->getMixerState(), sizeof (editorRecord));

    hw_sendFlexroute (nullptr);
    hw_sendFlexroute (nullptr);
    EXPECT_EQ (editor->getWires().size(), 1);
    EXPECT_TRUE (sameRecord (editor->getMixerState(), editorRecord));
}
