// The editor's routing record, rebuilt from its wires and mute toggles.
#include <gtest/gtest.h>

#include "RoutingTestSupport.h"

namespace
{
using Entry = MixerEntry;

bool entryIs (const Entry& e, int64_t routed, int64_t feedCount, int64_t targetKind, int64_t targetChannel, int64_t muted)
{
    return e.routed == routed && e.feedCount == feedCount && e.targetKind == targetKind
        && e.routeFlag == 0 && e.targetChannel == targetChannel && e.muted == muted;
}

// Number of entries that differ from all zero.
int nonZeroEntries (const DeviceMixerState& s)
{
    int n = 0;
    for (auto& kind : s.entries)
        for (auto& e : kind)
            n += (e.routed | e.feedCount | e.targetKind | e.routeFlag | e.targetChannel | e.muted) != 0;
    return n;
}
} // namespace

TEST (RoutingMixer, NoWiresGiveAnEmptyRecordWhateverTheToggles)
{
    auto editor = routingtest::makeEditor();
    FlexrouteSettings s;
    s.muteWdm = s.muteAsio = s.mixVirtual12 = s.mixVirtual34 = true;
    editor->applySettings (s);
    EXPECT_TRUE (isMixerStateClear (editor->getMixerState()));
}

TEST (RoutingMixer, WdmWireMutedByMuteWdm)
{
    auto editor = routingtest::makeEditor();
    FlexrouteSettings s;
    s.wires.push_back ({ kindWdm, 1, kindAsio, 3 });
    s.muteWdm = true;
    ASSERT_TRUE (editor->applySettings (s));

    const auto& m = editor->getMixerState();
    EXPECT_TRUE (entryIs (m.entries[kindWdm][1], 1, 0, kindAsio, 3, 1));
    EXPECT_TRUE (entryIs (m.entries[kindWdmAux][1], 0, 0, 0, 0, 1));
    EXPECT_TRUE (entryIs (m.entries[kindAsio][3], 0, 1, 0, 0, 0));
    EXPECT_EQ (nonZeroEntries (m), 3);
    for (auto w : m.head)
        EXPECT_EQ (w, 0);

    // Switched off and rebuilt: the whole record is rewritten, mutes gone.
    editor->getMuteWdmToggle().setToggleState (false, juce::sendNotificationSync);
    EXPECT_TRUE (entryIs (m.entries[kindWdm][1], 1, 0, kindAsio, 3, 0));
    EXPECT_EQ (m.entries[kindWdmAux][1].muted, 0);
    EXPECT_EQ (nonZeroEntries (m), 2);

    // muteASIO with no ASIO source wired mutes nothing.
    editor->getMuteAsioToggle().setToggleState (true, juce::sendNotificationSync);
    EXPECT_EQ (m.entries[kindWdm][1].muted, 0);
    EXPECT_EQ (nonZeroEntries (m), 2);
}

TEST (RoutingMixer, SeveralWiresOnOneDestinationAndPhysicalInputsNeverMuted)
{
    auto editor = routingtest::makeEditor();
    FlexrouteSettings s;
    s.wires = { { kindAsio, 0, kindWdm, 0 }, { kindPhysicalInput, 1, kindWdm, 0 } };
    s.muteWdm = s.muteAsio = true;
    ASSERT_TRUE (editor->applySettings (s));

    const auto& m = editor->getMixerState();
    EXPECT_EQ (m.entries[kindWdm][0].feedCount, 2);
    EXPECT_TRUE (entryIs (m.entries[kindAsio][0], 1, 0, kindWdm, 0, 1));
    EXPECT_TRUE (entryIs (m.entries[kindPhysicalInput][1], 1, 0, kindWdm, 0, 0));
    EXPECT_EQ (m.entries[kindWdmAux][0].muted, 0);
    EXPECT_EQ (nonZeroEntries (m), 3);
}

// Random wirings and toggle states: whatever the editor makes, the rebuilt
// record keeps its invariants and matches a count done here.
TEST (RoutingMixer, InvariantsHoldForAnyWiring)
{
    auto editor = routingtest::makeEditor();
    juce::Random rng (20261208);
    const int sourceKinds[] = { kindWdm, kindAsio, kindPhysicalInput };
    const int destKinds[] = { kindWdm, kindAsio };

    for (int round = 0; round < 200; ++round)
    {
        FlexrouteSettings s;
        bool used[4][8] = {};
        int feeds[4][8] = {};
        for (int i = rng.nextInt (10); --i >= 0;)
        {
            const int sk = sourceKinds[rng.nextInt (3)];
            const int sc = rng.nextInt (sk == kindPhysicalInput ? 2 : 6);
            if (used[sk][sc])
                continue;
            used[sk][sc] = true;
            const int dk = destKinds[rng.nextInt (2)];
            const int dc = rng.nextInt (6);
            ++feeds[dk][dc];
            s.wires.push_back ({ sk, sc, dk, dc });
        }
        s.muteWdm = rng.nextBool();
        s.muteAsio = rng.nextBool();
        ASSERT_TRUE (editor->applySettings (s));

        const auto& m = editor->getMixerState();
        for (auto w : m.head)
            ASSERT_EQ (w, 0);

        for (int k = 0; k < 4; ++k)
            for (int c = 0; c < 8; ++c)
            {
                const auto& e = m.entries[k][c];
                SCOPED_TRACE (juce::String (round) + ": kind " + juce::String (k) + " channel " + juce::String (c));
                EXPECT_EQ (e.routeFlag, 0);
                EXPECT_EQ (e.routed, used[k][c] ? 1 : 0);
                if (! used[k][c])
                {
                    EXPECT_EQ (e.targetKind, 0);
                    EXPECT_EQ (e.targetChannel, 0);
                }
                EXPECT_EQ (e.feedCount, feeds[k][c]);
                const bool mutedExpected = (k == kindWdm && used[k][c] && s.muteWdm)
                                        || (k == kindAsio && used[k][c] && s.muteAsio)
                                        || (k == kindWdmAux && used[kindWdm][c] && s.muteWdm);
                EXPECT_EQ (e.muted, mutedExpected ? 1 : 0);
                if (c >= 6)
                {
                    EXPECT_TRUE (entryIs (e, 0, 0, 0, 0, 0));
                }
            }

        for (const auto& w : s.wires)
        {
            EXPECT_EQ (m.entries[w.sourceKind][w.sourceChannel].targetKind, w.destinationKind);
            EXPECT_EQ (m.entries[w.sourceKind][w.sourceChannel].targetChannel, w.destinationChannel);
        }
    }
}
