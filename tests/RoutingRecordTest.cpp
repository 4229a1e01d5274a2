// The routing record and the hand-off that rewrites the global one.
#include <gtest/gtest.h>
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

// Brings the hand-off to the point where its next call writes the one-wire
// routing, whatever earlier tests in this process did.
void advanceToOneWireNext()
{
    hw_sendFlexroute (nullptr);
    if (! isMixerStateClear (MyDeviceMixer))
        hw_sendFlexroute (nullptr);
    ASSERT_TRUE (isMixerStateClear (MyDeviceMixer));
}

// Brings the hand-off back to its state at program start: the next call
// leaves the record all zero.
void advanceToEmptyNext()
{
    advanceToOneWireNext();
    hw_sendFlexroute (nullptr);
    ASSERT_TRUE (sameRecord (MyDeviceMixer, oneWireRouting()));
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

TEST (RoutingHandOff, CallsAlternateBetweenEmptyAndOneWireRouting)
{
    advanceToOneWireNext();

    // Whatever the record held before, each call rewrites it in full.
    for (int round = 0; round < 3; ++round)
    {
        fillWithGarbage (MyDeviceMixer);
        hw_sendFlexroute (nullptr);
        EXPECT_TRUE (sameRecord (MyDeviceMixer, oneWireRouting())) << "round " << round;

        fillWithGarbage (MyDeviceMixer);
        hw_sendFlexroute (&MyDeviceMixer);
        EXPECT_TRUE (isMixerStateClear (MyDeviceMixer)) << "round " << round;
    }
}

TEST (RoutingHandOff, CountsEveryCallerAndLeavesTheEditorAlone)
{
    auto editor = routingtest::makeEditor();
    FlexrouteSettings settings;
    settings.wires.push_back ({ kindWdm, 1, kindAsio, 3 });
    settings.muteWdm = true;
    ASSERT_TRUE (editor->applySettings (settings));
    DeviceMixerState editorRecord;
    std::memcpy (&editorRecord, &editor->getMixerState(), sizeof (editorRecord));

    advanceToEmptyNext();

    // "Reset" then "FlexROUTE" from the start state: the callers clear the
    // editor, then hand off; both calls count, so the one-wire routing is in
    // place afterwards.
    editor->clearFRConnections();
    hw_sendFlexroute (nullptr);
    EXPECT_TRUE (isMixerStateClear (MyDeviceMixer));
    editor->clearFRConnections();
    hw_sendFlexroute (nullptr);
    EXPECT_TRUE (sameRecord (MyDeviceMixer, oneWireRouting()));

    // The hand-off itself never touches the editor's wires or record.
    ASSERT_TRUE (editor->applySettings (settings));
    hw_sendFlexroute (nullptr);
    hw_sendFlexroute (nullptr);
    EXPECT_EQ (editor->getWires().size(), 1);
    EXPECT_TRUE (sameRecord (editor->getMixerState(), editorRecord));
}
