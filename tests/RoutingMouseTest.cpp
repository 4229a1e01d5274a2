// Wire editing with the mouse, in a real window, through the window's peer.
#include <gtest/gtest.h>

#include "RoutingTestSupport.h"

// Xlib names an event type KeyPress; here it is the toolkit's class.
#undef KeyPress

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

// A point on the wire over the editor's own background (no node or toggle),
// whether the position is rounded (as the framework does) or truncated (as
// the editor's release does).
juce::Point<float> pickPoint (EditorWindow& w, const VelkFRConnectionPath& wire)
{
    for (float f : { 0.5f, 0.4f, 0.6f, 0.3f, 0.7f })
    {
        const auto p = routingtest::pointOnWire (wire, f);
        if (w->getComponentAt (p) == w.editor.get() && w->getComponentAt (p.toInt().toFloat()) == w.editor.get())
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

TEST (RoutingMouse, ReleaseOnStartNodeOrBackgroundCancelsAndRebuilds)
{
    EditorWindow w;
    auto& asioOut2 = node (w, kindAsio, 1, false);
    const auto& m = w->getMixerState();

    // A wire whose mute reaches the record only through a rebuild.
    w.dragLine (centreOf (node (w, kindAsio, 0, false)), centreOf (node (w, kindWdm, 0, true)));
    ASSERT_EQ (w->getWires().size(), 1);
    w->getMuteAsioToggle().setToggleState (true, juce::dontSendNotification);
    ASSERT_EQ (m.entries[kindAsio][0].muted, 0);

    // Out and back onto the start node. On the way the pending wire shows in
    // orange, bending 20 below the press and half the distance towards the pointer.
    const auto from = centreOf (asioOut2);
    const juce::Point<float> far { 300.0f, 250.0f };
    w.move (from);
    w.down (from);
    EXPECT_EQ (w->getPendingStartNode(), &asioOut2);
    w.drag (far);
    const juce::Point<float> control { from.x - from.getDistanceFrom (far) * 0.5f, from.y + 20.0f };
    const auto halfway = (from + control * 2.0f + far) / 4.0f;
    auto snap = w->createComponentSnapshot (w->getLocalBounds());
    EXPECT_EQ (snap.getPixelAt ((int) halfway.x, (int) halfway.y), juce::Colours::orange) << halfway.toString();

    w.drag (from);
    w.up (from);
    EXPECT_EQ (w->getPendingStartNode(), nullptr);
    EXPECT_EQ (w->getWires().size(), 1);
    EXPECT_FALSE (asioOut2.occupied);
    EXPECT_EQ (m.entries[kindAsio][1].routed, 0);
    EXPECT_EQ (m.entries[kindAsio][0].muted, 1);

    // Cancelled: nothing pending is drawn any more.
    snap = w->createComponentSnapshot (w->getLocalBounds());
    EXPECT_NE (snap.getPixelAt ((int) halfway.x, (int) halfway.y), juce::Colours::orange);

    // Onto the background, then the pointer goes over a destination: no
    // wire, and the release rebuilt the record.
    w->getMuteAsioToggle().setToggleState (false, juce::dontSendNotification);
    w.dragLine (from, { 320.0f, 60.0f });
    EXPECT_EQ (w->getPendingStartNode(), nullptr);
    EXPECT_EQ (m.entries[kindAsio][0].muted, 0);
    w.move (centreOf (node (w, kindWdm, 1, true)));
    EXPECT_EQ (w->getWires().size(), 1);
    EXPECT_EQ (m.entries[kindAsio][1].routed, 0);

    // Released outside the window: kept until the next enter, which is the
    // editor's own when the pointer comes back over the background.
    w.dragLine (from, { 600.0f, 200.0f });
    EXPECT_EQ (w->getPendingStartNode(), &asioOut2);
    w.move (background);
    EXPECT_EQ (w->getPendingStartNode(), nullptr);
    w.move (centreOf (node (w, kindWdm, 1, true)));
    EXPECT_EQ (w->getWires().size(), 1);
    EXPECT_FALSE (asioOut2.occupied);

    // ... or straight onto a node, which completes it: on screen the new red
    // wire shows at once and the orange pending curve is gone.
    w.leaveToBackground();
    const auto wdmOut2 = centreOf (node (w, kindWdm, 1, false));
    const juce::Point<float> outside { 600.0f, 120.0f };
    w.dragLine (wdmOut2, outside);
    const juce::Point<float> pendingControl { wdmOut2.x + wdmOut2.getDistanceFrom (outside) * 0.5f, wdmOut2.y + 20.0f };
    const auto pendingMid = ((wdmOut2 + pendingControl * 2.0f + outside) / 4.0f).toInt();
    ASSERT_TRUE (testsupport::pumpUntil ([&] {
        return routingtest::windowPixels (*w).getPixelAt (pendingMid.x, pendingMid.y) == juce::Colours::orange;
    }, 3000));
    w.move (centreOf (node (w, kindAsio, 4, true)));
    ASSERT_EQ (w->getWires().size(), 2);
    const auto made = routingtest::pointOnWire (*w->getWires()[1], 0.5f).toInt();
    EXPECT_TRUE (testsupport::pumpUntil ([&] {
        const auto shown = routingtest::windowPixels (*w);
        return shown.getPixelAt (made.x, made.y) == juce::Colours::red
            && shown.getPixelAt (pendingMid.x, pendingMid.y) != juce::Colours::orange;
    }, 3000));
}

TEST (RoutingMouse, PickFlashEndsAtReleaseOrAfter200ms)
{
    EditorWindow w;
    w.dragLine (centreOf (node (w, kindAsio, 0, false)), centreOf (node (w, kindAsio, 5, true)));
    ASSERT_EQ (w->getWires().size(), 1);
    auto& wire = *w->getWires()[0];
    const auto p = pickPoint (w, wire);

    // Press and hold: blue-violet on screen until the wire's timer ends it.
    const auto shown = [&] { return routingtest::windowPixels (*w).getPixelAt ((int) p.x, (int) p.y); };
    w.move (p);
    w.down (p);
    EXPECT_EQ (wire.colour, juce::Colours::blueviolet);
    EXPECT_EQ (w->getPendingStartNode(), wire.sourceEnd);
    const auto start = juce::Time::getMillisecondCounter();
    ASSERT_TRUE (testsupport::pumpUntil ([&] { return wire.colour == juce::Colours::yellow; }, 3000));
    EXPECT_GE (juce::Time::getMillisecondCounter() - start, 100u);  // framework timers may fire a little early
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return shown() == juce::Colours::yellow; }, 3000)) << shown().toString();
    w.up (p);
    EXPECT_EQ (w->getWires().size(), 1);
    EXPECT_EQ (wire.sourceEnd, w->findNode (kindAsio, 0, false));

    // Press and release at once: the release ends the flash; the route stays.
    // (Not a double click with the press before.)
    // The release rebuilds the record (a mute set quietly shows up in it).
    w->getMuteAsioToggle().setToggleState (true, juce::dontSendNotification);
    w.separateClicks();
    w.down (p);
    EXPECT_EQ (wire.colour, juce::Colours::blueviolet);
    w.up (p);
    EXPECT_EQ (wire.colour, juce::Colours::yellow);
    EXPECT_FALSE (wire.isTimerRunning());
    const auto& m = w->getMixerState();
    EXPECT_EQ (m.entries[kindAsio][0].targetChannel, 5);
    EXPECT_EQ (m.entries[kindAsio][0].muted, 1);
    EXPECT_EQ (m.entries[kindAsio][5].feedCount, 1);
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

    // A click on the background, then Return and space: no toggle or node
    // takes the keys.
    w.click (background);
    w.peer->handleKeyPress (juce::KeyPress (juce::KeyPress::returnKey));
    w.peer->handleKeyPress (juce::KeyPress (juce::KeyPress::spaceKey));
    testsupport::pumpFor (100);
    for (juce::Button* toggle : std::initializer_list<juce::Button*> { &w->getMuteWdmToggle(), &w->getMuteAsioToggle(), &w->getMixVirtual12Toggle(),
                          &w->getMixVirtual34Toggle(), &node (w, kindPhysicalInput, 0, false),
                          &node (w, kindPhysicalInput, 1, false) })
        EXPECT_FALSE (toggle->getToggleState()) << toggle->getName();

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

TEST (RoutingMouse, ClearingWhileAWireIsHeldForgetsThatWire)
{
    EditorWindow w;
    auto& src = node (w, kindWdm, 0, false);
    w.dragLine (centreOf (src), centreOf (node (w, kindWdm, 0, true)));
    ASSERT_EQ (w->getWires().size(), 1);

    const auto p = pickPoint (w, *w->getWires()[0]);
    w.move (p);
    w.down (p);
    ASSERT_EQ (w->getPendingStartNode(), &src);

    // The owner clears the editor while the button is still held.
    w->clearFRConnections();
    EXPECT_EQ (w->getWires().size(), 0);

    // A live wire elsewhere, likely in the block the deleted one left: the
    // drag must not touch it.
    juce::Image none, over;
    VelkFRButton a (kindAsio, 0, "ASIOout1", none, over);
    VelkFRButton b (kindAsio, 0, "ASIOin1", none, over);
    b.isDestination = true;
    auto probe = std::make_unique<VelkFRConnectionPath>();
    probe->setAPath (&a, &b, { 10.0f, 10.0f });

    // The drag goes on as a pending wire from the now free source.
    auto& dest = node (w, kindAsio, 3, true);
    w.drag ({ 320.0f, 60.0f });
    w.drag (centreOf (dest));
    w.up (centreOf (dest));

    EXPECT_EQ (probe->sourceEnd, &a);
    EXPECT_EQ (probe->destinationEnd, &b);
    EXPECT_TRUE (a.occupied);
    EXPECT_FALSE (probe->path.isEmpty());

    ASSERT_EQ (w->getWires().size(), 1);
    EXPECT_EQ (w->getWires()[0]->sourceEnd, &src);
    EXPECT_EQ (w->getWires()[0]->destinationEnd, &dest);
    EXPECT_TRUE (src.occupied);
}

TEST (RoutingMouse, PickReachesFivePixelsAndDeleteTenAboveAndBelow)
{
    EditorWindow w;
    w.dragLine (centreOf (node (w, kindWdm, 0, false)), centreOf (node (w, kindAsio, 0, true)));
    ASSERT_EQ (w->getWires().size(), 1);
    auto& wire = *w->getWires()[0];

    // Both ends on one row: the curve runs level at its lowest point, halfway.
    const auto q = quadraticOf (wire.path);
    ASSERT_TRUE (q.valid);
    ASSERT_EQ (q.start.y, q.end.y);
    const auto low = (q.start + q.control * 2.0f + q.end) / 4.0f;
    const auto at = [low] (float dy) { return juce::Point<float> (low.x, low.y + dy); };
    ASSERT_EQ (w->getComponentAt (at (-12.5f)), w.editor.get());
    ASSERT_EQ (w->getComponentAt (at (12.5f)), w.editor.get());

    // The framework joins presses less than 8 pixels and a double-click
    // interval apart into one double click; closer presses are kept apart.
    const auto press = [&w] (juce::Point<float> p)
    {
        w.move (p);
        w.down (p);
    };

    for (float side : { -1.0f, 1.0f })
    {
        SCOPED_TRACE (side < 0 ? "above" : "below");

        // 8 pixels off: too far for a pick.
        press (at (8.0f * side));
        EXPECT_EQ (w->getPendingStartNode(), nullptr);
        EXPECT_EQ (wire.colour, juce::Colours::red);
        w.up (at (8.0f * side));

        // 3.5 pixels off: picked.
        w.separateClicks();
        press (at (3.5f * side));
        EXPECT_EQ (w->getPendingStartNode(), wire.sourceEnd);
        EXPECT_EQ (wire.colour, juce::Colours::blueviolet);
        w.up (at (3.5f * side));

        // 12.5 pixels off: too far for a delete.
        w.click (at (12.5f * side));
        w.click (at (12.5f * side));
        ASSERT_EQ (w->getWires().size(), 1);
    }

    // 8 pixels off: deleted.
    w.separateClicks();
    w.click (at (8.0f));
    w.click (at (8.0f));
    EXPECT_EQ (w->getWires().size(), 0);
    EXPECT_FALSE (w->findNode (kindWdm, 0, false)->occupied);
}

// A release that the editor places on a node while the framework places it on
// the background (within half a pixel of the node's right edge) keeps a
// picked wire pending. Entering a node afterwards must not give the wire's
// still occupied source a second wire.
TEST (RoutingMouse, PickedButUnmovedWireNeverGivesItsSourceASecondWire)
{
    EditorWindow w;
    auto& src = node (w, kindAsio, 0, false);
    auto& asioIn3 = node (w, kindAsio, 2, true);
    w.dragLine (centreOf (src), centreOf (node (w, kindAsio, 5, true)));
    ASSERT_EQ (w->getWires().size(), 1);

    // The curve bends out to the right beyond its end and passes the right
    // edge of the third "ASIOin" node; find it there.
    const auto q = quadraticOf (w->getWires()[0]->path);
    ASSERT_TRUE (q.valid);
    const auto edge = asioIn3.getBounds().toFloat();
    juce::Point<float> p;
    for (int i = 0; i <= 10000 && p.isOrigin(); ++i)
    {
        const float t = (float) i / 10000.0f;
        const auto b = q.start * ((1 - t) * (1 - t)) + q.control * (2 * t * (1 - t)) + q.end * (t * t);
        if (b.y > edge.getY() + 2 && b.y < edge.getBottom() - 2 && std::abs (b.x - (edge.getRight() - 0.25f)) < 0.05f)
            p = { edge.getRight() - 0.25f, b.y };
    }
    ASSERT_FALSE (p.isOrigin());
    ASSERT_EQ (w->getComponentAt (p), w.editor.get());
    ASSERT_EQ (w->getComponentAt (p.toInt().toFloat()), &asioIn3);

    w.move (p);
    w.down (p);
    ASSERT_EQ (w->getPendingStartNode(), &src);
    w.up (p);
    ASSERT_EQ (w->getPendingStartNode(), &src);  // kept: released "over" a node

    w.move (centreOf (asioIn3));
    EXPECT_EQ (w->getPendingStartNode(), nullptr);
    EXPECT_EQ (w->getWires().size(), 1);
    EXPECT_TRUE (src.occupied);
    const auto& m = w->getMixerState();
    EXPECT_EQ (m.entries[kindAsio][0].targetChannel, 5);
    EXPECT_EQ (m.entries[kindAsio][2].feedCount, 0);
}
