// Wire editing with the mouse, in a real window, through the window's peer.
#include <gtest/gtest.h>

#include "RoutingTestSupport.h"

using routingtest::centreOf;
using routingtest::EditorWindow;
using routingtest::quadraticOf;

namespace
{
const juce::Point<float> background { 30.0f, 30.0f };

VelkFRButton& node (EditorWindow& w, int kind, int channel, bool destination)
{
    auto* n = w->findNode (kind, channel, destination);
    EXPECT_NE (n, nullptr);
    return *n;
}

// A point on the wire over the editor's own background (no node or toggle).
juce::Point<float> pickPoint (EditorWindow& w, const VelkFRConnectionPath& wire)
{
    for (float f : { 0.5f, 0.4f, 0.6f, 0.3f, 0.7f })
    {
        const auto p = routingtest::pointOnWire (wire, f);
        if (w->getComponentAt (p) == w.editor.get())
            return p;
    }
    ADD_FAILURE() << "no free point on the wire";
    return {};
}
} // namespace

TEST (RoutingMouse, DrawsWiresFromSourceAndFromDestination)
{
    EditorWindow w;
    auto& wdmOut1 = node (w, kindWdm, 0, false);
    auto& asioIn3 = node (w, kindAsio, 2, true);

    w.dragLine (centreOf (wdmOut1), centreOf (asioIn3));
    ASSERT_EQ (w->getWires().size(), 1);
    auto& red = *w->getWires()[0];
    EXPECT_EQ (red.colour, juce::Colours::red);
    EXPECT_EQ (red.sourceEnd, &wdmOut1);
    EXPECT_EQ (red.destinationEnd, &asioIn3);
    EXPECT_TRUE (wdmOut1.occupied);
    EXPECT_EQ (w->getPendingStartNode(), nullptr);
    const auto& m = w->getMixerState();
    EXPECT_EQ (m.entries[kindWdm][0].routed, 1);
    EXPECT_EQ (m.entries[kindWdm][0].targetKind, kindAsio);
    EXPECT_EQ (m.entries[kindWdm][0].targetChannel, 2);
    EXPECT_EQ (m.entries[kindAsio][2].feedCount, 1);

    // From a destination to a free physical input: the wire is green, its
    // source the input, its curve starting on the destination and bending
    // through the control point of the drag (20 below, half the distance left).
    auto& wdmIn2 = node (w, kindWdm, 1, true);
    auto& phys1 = node (w, kindPhysicalInput, 0, false);
    const auto from = centreOf (wdmIn2);
    const auto to = centreOf (phys1);
    w.dragLine (from, to);
    ASSERT_EQ (w->getWires().size(), 2);
    auto& green = *w->getWires()[1];
    EXPECT_EQ (green.colour, juce::Colour (0xff008000));
    EXPECT_EQ (green.sourceEnd, &phys1);
    EXPECT_EQ (green.destinationEnd, &wdmIn2);
    EXPECT_TRUE (phys1.occupied);
    EXPECT_FALSE (wdmIn2.occupied);
    const auto q = quadraticOf (green.path);
    ASSERT_TRUE (q.valid);
    EXPECT_EQ (q.start, from);
    EXPECT_EQ (q.end, to);
    EXPECT_NEAR (q.control.x, from.x - from.getDistanceFrom (to) * 0.5f, 0.01f);
    EXPECT_FLOAT_EQ (q.control.y, from.y + 20.0f);
    EXPECT_EQ (m.entries[kindPhysicalInput][0].targetKind, kindWdm);
    EXPECT_EQ (m.entries[kindPhysicalInput][0].targetChannel, 1);
    EXPECT_EQ (m.entries[kindWdm][1].feedCount, 1);

    // Any source to any destination, several on one destination: each new
    // wire's disc is drawn over the earlier ones.
    auto& wdmIn1 = node (w, kindWdm, 0, true);
    w.dragLine (centreOf (node (w, kindAsio, 0, false)), centreOf (wdmIn1));
    w.dragLine (centreOf (node (w, kindPhysicalInput, 1, false)), centreOf (wdmIn1));
    ASSERT_EQ (w->getWires().size(), 4);
    EXPECT_EQ (m.entries[kindWdm][0].feedCount, 2);
    EXPECT_EQ (m.entries[kindAsio][0].targetKind, kindWdm);
    EXPECT_EQ (m.entries[kindPhysicalInput][1].targetKind, kindWdm);
    const auto snap = w->createComponentSnapshot (w->getLocalBounds());
    const auto disc = centreOf (wdmIn1).toInt();
    EXPECT_EQ (snap.getPixelAt (disc.x, disc.y - 7), juce::Colour (0xff008000));
}

TEST (RoutingMouse, RefusalsLeaveNoWire)
{
    EditorWindow w;
    auto& wdmOut1 = node (w, kindWdm, 0, false);
    w.dragLine (centreOf (wdmOut1), centreOf (node (w, kindAsio, 2, true)));
    ASSERT_EQ (w->getWires().size(), 1);

    // An occupied source does not start a wire; the release only rebuilds the
    // record (a mute set quietly shows up in it afterwards).
    w->getMuteWdmToggle().setToggleState (true, juce::dontSendNotification);
    ASSERT_EQ (w->getMixerState().entries[kindWdm][0].muted, 0);
    w.move (centreOf (wdmOut1));
    w.down (centreOf (wdmOut1));
    EXPECT_EQ (w->getPendingStartNode(), nullptr);
    w.drag (centreOf (node (w, kindAsio, 4, true)));
    w.up (centreOf (node (w, kindAsio, 4, true)));
    EXPECT_EQ (w->getWires().size(), 1);
    w.leaveToBackground();
    w.click (background);
    EXPECT_EQ (w->getMixerState().entries[kindWdm][0].muted, 1);

    // Source on source, destination on destination.
    w.dragLine (centreOf (node (w, kindPhysicalInput, 0, false)), centreOf (node (w, kindWdm, 2, false)));
    w.dragLine (centreOf (node (w, kindWdm, 3, true)), centreOf (node (w, kindAsio, 3, true)));
    // Destination onto an occupied source.
    w.dragLine (centreOf (node (w, kindWdm, 4, true)), centreOf (wdmOut1));
    EXPECT_EQ (w->getWires().size(), 1);
    EXPECT_FALSE (node (w, kindPhysicalInput, 0, false).occupied);
    EXPECT_EQ (w->getPendingStartNode(), nullptr);

    // A pending wire whose start point lies on the window's edge (x = 0).
    auto& edgeNode = node (w, kindPhysicalInput, 1, false);
    edgeNode.setBounds (0, 60, 18, 18);
    w.dragLine ({ 0.0f, 65.0f }, centreOf (node (w, kindWdm, 5, true)));
    EXPECT_EQ (w->getWires().size(), 1);
    EXPECT_FALSE (edgeNode.occupied);
    const auto& m = w->getMixerState();
    EXPECT_EQ (m.entries[kindPhysicalInput][1].routed, 0);
    EXPECT_EQ (m.entries[kindWdm][5].feedCount, 0);
}

TEST (RoutingMouse, ReleaseOnStartNodeOrBackgroundCancels)
{
    EditorWindow w;
    auto& asioOut2 = node (w, kindAsio, 1, false);
    w->getMuteAsioToggle().setToggleState (true, juce::dontSendNotification);

    // Out and back onto the start node.
    w.move (centreOf (asioOut2));
    w.down (centreOf (asioOut2));
    EXPECT_EQ (w->getPendingStartNode(), &asioOut2);
    w.drag ({ 300.0f, 250.0f });
    w.drag (centreOf (asioOut2));
    w.up (centreOf (asioOut2));
    EXPECT_EQ (w->getPendingStartNode(), nullptr);
    EXPECT_EQ (w->getWires().size(), 0);
    EXPECT_FALSE (asioOut2.occupied);

    // Onto the background, then the pointer goes over a destination: no wire.
    w.dragLine (centreOf (asioOut2), { 320.0f, 60.0f });
    EXPECT_EQ (w->getPendingStartNode(), nullptr);
    w.move (centreOf (node (w, kindWdm, 0, true)));
    EXPECT_EQ (w->getWires().size(), 0);
    EXPECT_TRUE (isMixerStateClear (w->getMixerState()));

    // Released outside the window: kept until the next enter, which is the
    // editor's own when the pointer comes back over the background.
    w.dragLine (centreOf (asioOut2), { 600.0f, 200.0f });
    EXPECT_EQ (w->getPendingStartNode(), &asioOut2);
    w.move (background);
    EXPECT_EQ (w->getPendingStartNode(), nullptr);
    w.move (centreOf (node (w, kindWdm, 0, true)));
    EXPECT_EQ (w->getWires().size(), 0);
}

TEST (RoutingMouse, PickFlashEndsAtReleaseOrAfter200ms)
{
    EditorWindow w;
    w.dragLine (centreOf (node (w, kindAsio, 0, false)), centreOf (node (w, kindAsio, 5, true)));
    ASSERT_EQ (w->getWires().size(), 1);
    auto& wire = *w->getWires()[0];
    const auto p = pickPoint (w, wire);

    // Press and hold: blue-violet until the wire's timer ends it.
    w.move (p);
    w.down (p);
    EXPECT_EQ (wire.colour, juce::Colours::blueviolet);
    EXPECT_EQ (w->getPendingStartNode(), wire.sourceEnd);
    const auto start = juce::Time::getMillisecondCounter();
    ASSERT_TRUE (testsupport::pumpUntil ([&] { return wire.colour == juce::Colours::yellow; }, 3000));
    EXPECT_GE (juce::Time::getMillisecondCounter() - start, 100u);  // framework timers may fire a little early
    w.up (p);
    EXPECT_EQ (w->getWires().size(), 1);
    EXPECT_EQ (wire.sourceEnd, w->findNode (kindAsio, 0, false));

    // Press and release at once: the release ends the flash; the route stays.
    // (Wait first, so that the framework does not count a double click.)
    testsupport::pumpFor (600);
    w.down (p);
    EXPECT_EQ (wire.colour, juce::Colours::blueviolet);
    w.up (p);
    EXPECT_EQ (wire.colour, juce::Colours::yellow);
    EXPECT_FALSE (wire.isTimerRunning());
    EXPECT_EQ (w->getMixerState().entries[kindAsio][0].targetChannel, 5);
    EXPECT_EQ (w->getMixerState().entries[kindAsio][5].feedCount, 1);
    testsupport::pumpFor (300);
    EXPECT_EQ (wire.colour, juce::Colours::yellow);
}

TEST (RoutingMouse, PickedWireMovesItsDestination)
{
    EditorWindow w;
    auto& src = node (w, kindWdm, 2, false);
    auto& oldDest = node (w, kindWdm, 2, true);
    auto& newDest = node (w, kindAsio, 4, true);
    w.dragLine (centreOf (src), centreOf (oldDest));
    ASSERT_EQ (w->getWires().size(), 1);
    auto* old = w->getWires()[0];

    w.dragLine (pickPoint (w, *old), centreOf (newDest));
    ASSERT_EQ (w->getWires().size(), 2);
    EXPECT_EQ (old->sourceEnd, nullptr);
    EXPECT_TRUE (old->path.isEmpty());
    auto* moved = w->getWires()[1];
    EXPECT_EQ (moved->sourceEnd, &src);
    EXPECT_EQ (moved->destinationEnd, &newDest);
    EXPECT_TRUE (src.occupied);
    const auto& m = w->getMixerState();
    EXPECT_EQ (m.entries[kindWdm][2].targetKind, kindAsio);
    EXPECT_EQ (m.entries[kindWdm][2].targetChannel, 4);
    EXPECT_EQ (m.entries[kindWdm][2].feedCount, 0);
    EXPECT_EQ (m.entries[kindAsio][4].feedCount, 1);

    // Dragged back onto the background: the wire is emptied, its source free,
    // the route gone from the record; the emptied wires add nothing.
    w.dragLine (pickPoint (w, *moved), { 320.0f, 60.0f });
    EXPECT_EQ (w->getWires().size(), 2);
    EXPECT_FALSE (src.occupied);
    EXPECT_TRUE (isMixerStateClear (m));

    // A picked wire cannot move its source end: dropped on another source, it
    // stays emptied.
    w.dragLine (centreOf (src), centreOf (oldDest));
    ASSERT_EQ (w->getWires().size(), 3);
    w.dragLine (pickPoint (w, *w->getWires()[2]), centreOf (node (w, kindAsio, 2, false)));
    EXPECT_EQ (w->getWires().size(), 3);
    EXPECT_FALSE (src.occupied);
    EXPECT_FALSE (node (w, kindAsio, 2, false).occupied);
    w.leaveToBackground();
    w.click (background);
    EXPECT_TRUE (isMixerStateClear (m));

    // Layout skips the emptied wires.
    w->setSize (262, 221);
    w->setSize (524, 442);
    EXPECT_TRUE (w->getWires()[0]->path.isEmpty());
}

TEST (RoutingMouse, DoubleClickDeletesTheOlderWireUnderThePointer)
{
    EditorWindow w;
    // Nothing to delete: nothing happens.
    w.click (background);
    w.click (background);
    EXPECT_EQ (w->getWires().size(), 0);

    auto& a = node (w, kindWdm, 0, false);
    auto& b = node (w, kindAsio, 1, false);
    w.dragLine (centreOf (a), centreOf (node (w, kindAsio, 0, true)));
    w.dragLine (centreOf (b), centreOf (node (w, kindAsio, 3, true)));
    ASSERT_EQ (w->getWires().size(), 2);
    auto* second = w->getWires()[1];

    const auto p = pickPoint (w, *w->getWires()[0]);
    w.click (p);
    w.click (p);
    ASSERT_EQ (w->getWires().size(), 1);
    EXPECT_EQ (w->getWires()[0], second);
    EXPECT_FALSE (a.occupied);
    EXPECT_TRUE (b.occupied);
    const auto& m = w->getMixerState();
    EXPECT_EQ (m.entries[kindWdm][0].routed, 0);
    EXPECT_EQ (m.entries[kindAsio][0].feedCount, 0);
    EXPECT_EQ (m.entries[kindAsio][1].routed, 1);

    // A double click where no wire passes deletes nothing.
    w.click ({ 150.0f, 60.0f });
    w.click ({ 150.0f, 60.0f });
    EXPECT_EQ (w->getWires().size(), 1);
}

TEST (RoutingMouse, ClicksOnTogglesAndNodesRebuildTheRecord)
{
    EditorWindow w;
    w.dragLine (centreOf (node (w, kindWdm, 1, false)), centreOf (node (w, kindAsio, 3, true)));
    const auto& m = w->getMixerState();
    ASSERT_EQ (m.entries[kindWdm][1].muted, 0);

    w.click (centreOf (w->getMuteWdmToggle()));
    EXPECT_TRUE (w->getMuteWdmToggle().getToggleState());
    EXPECT_EQ (m.entries[kindWdm][1].muted, 1);
    EXPECT_EQ (m.entries[kindWdmAux][1].muted, 1);

    w.click (centreOf (w->getMuteWdmToggle()));
    EXPECT_FALSE (w->getMuteWdmToggle().getToggleState());
    EXPECT_EQ (m.entries[kindWdm][1].muted, 0);
    EXPECT_EQ (m.entries[kindWdmAux][1].muted, 0);

    // A physical input toggles when clicked, other nodes do not.
    auto& phys = node (w, kindPhysicalInput, 1, false);
    w.click (centreOf (phys));
    EXPECT_TRUE (phys.getToggleState());
    auto& asioIn = node (w, kindAsio, 0, true);
    w.click (centreOf (asioIn));
    EXPECT_FALSE (asioIn.getToggleState());
    w.leaveToBackground();
}

TEST (RoutingMouse, UsableInsideADialogWindow)
{
    routingtest::parkRealPointer();
    auto editor = routingtest::makeEditor();
    auto* ed = editor.get();
    juce::DialogWindow::LaunchOptions o;
    o.dialogTitle = "FlexROUTE";
    o.content.setOwned (editor.release());
    o.escapeKeyTriggersCloseButton = true;
    o.useNativeTitleBar = true;
    o.resizable = true;
    std::unique_ptr<juce::DialogWindow> window (o.create());
    window->setResizeLimits (262, 221, 1048, 884);
    window->getConstrainer()->setFixedAspectRatio (524.0 / 442.0);
    window->setVisible (true);
    testsupport::pumpUntil ([&] { return window->isShowing(); });

    window->setContentComponentSize (262, 221);
    EXPECT_EQ (ed->getBounds().getWidth(), 262);
    EXPECT_EQ (ed->findNode (kindPhysicalInput, 0, false)->getBounds(), juce::Rectangle<int> (50, 56, 9, 9));
    window->setVisible (false);
    window.reset();
}
