// Design rectangles, node and toggle placement at several sizes, nodes and
// wires on their own.
#include <gtest/gtest.h>

#include "RoutingTestSupport.h"
#include "controls/VelkImageButton.h"

using routingtest::quadraticOf;

TEST (RoutingImageButton, FreshButtonIsEmptyAtTheOrigin)
{
    VelkImageButton b ("b");
    EXPECT_EQ (b.getName(), "b");
    EXPECT_EQ (b.designHeight, 0);
    EXPECT_EQ (b.designWidth, 0);
    EXPECT_EQ (b.designX, 0);
    EXPECT_EQ (b.designY, 0);
    EXPECT_EQ (b.designYOffset, 0);
    EXPECT_EQ (scaledDesignBounds (b.designX, b.designY, b.designWidth, b.designHeight, b.designYOffset, 1.7, 0.3),
              juce::Rectangle<int>());
}

TEST (RoutingImageButton, PlacementRule)
{
    // Unit scale: the design rectangle itself, shifted by the offset.
    EXPECT_EQ (scaledDesignBounds (182, 73, 47, 30, 0, 1.0, 1.0), juce::Rectangle<int> (182, 73, 47, 30));
    EXPECT_EQ (scaledDesignBounds (182, 73, 47, 30, 7, 1.0, 1.0), juce::Rectangle<int> (182, 80, 47, 30));

    // The offset is never scaled.
    for (double s : { 0.5, 0.7, 1.3, 2.0 })
    {
        const auto plain = scaledDesignBounds (99, 113, 18, 18, 0, s, s);
        const auto shifted = scaledDesignBounds (99, 113, 18, 18, -4, s, s);
        EXPECT_EQ (shifted, plain.translated (0, -4)) << s;
    }

    // Halves go to the even integer: 2.5 -> 2, 3.5 -> 4 (left 5 * 0.5, top 7 * 0.5).
    EXPECT_EQ (scaledDesignBounds (5, 7, 0, 0, 0, 0.5, 0.5), juce::Rectangle<int> (2, 4, 0, 0));

    // Size comes from the scaled edges before rounding: 99 * 0.5 = 49.5,
    // 117 * 0.5 = 58.5, width 9 (the rounded edges would give 58 - 50 = 8).
    EXPECT_EQ (scaledDesignBounds (99, 113, 18, 18, 0, 0.5, 0.5), juce::Rectangle<int> (50, 56, 9, 9));
}

namespace
{
void expectBounds (const juce::Component& c, juce::Rectangle<int> r)
{
    EXPECT_EQ (c.getBounds(), r) << c.getName();
}
} // namespace

TEST (RoutingEditorLayout, NodesAndTogglesAtDesignHalfAndDoubleSize)
{
    auto editor = routingtest::makeEditor();
    auto& ed = *editor;
    EXPECT_EQ (ed.getBounds(), juce::Rectangle<int> (0, 0, 524, 442));

    // Design size: every node and toggle on its design rectangle.
    const struct { int kind; bool dest; int x; const char* prefix; int channels; } columns[] = {
        { kindPhysicalInput, false, 99, "PhysicIn", 2 }, { kindWdm, false, 196, "WDMout", 6 },
        { kindWdm, true, 274, "WDMin", 6 },             { kindAsio, false, 370, "ASIOout", 6 },
        { kindAsio, true, 448, "ASIOin", 6 } };

    for (const auto& col : columns)
        for (int ch = 0; ch < col.channels; ++ch)
        {
            auto* n = ed.findNode (col.kind, ch, col.dest);
            ASSERT_NE (n, nullptr);
            EXPECT_EQ (n->getName(), juce::String (col.prefix) + juce::String (ch + 1));
            EXPECT_EQ (n->getButtonText(), n->getName());
            EXPECT_EQ (n->kind, col.kind);
            EXPECT_EQ (n->channel, ch);
            EXPECT_EQ (n->isDestination, col.dest);
            EXPECT_FALSE (n->occupied);
            expectBounds (*n, { col.x, 113 + 46 * ch, 18, 18 });
        }

    expectBounds (ed.getMuteWdmToggle(), { 182, 73, 47, 30 });
    expectBounds (ed.getMuteAsioToggle(), { 356, 73, 47, 30 });
    expectBounds (ed.getMixVirtual12Toggle(), { 22, 389, 155, 31 });
    expectBounds (ed.getMixVirtual34Toggle(), { 189, 389, 155, 31 });

    // Half size, halves to even.
    ed.setSize (262, 221);
    expectBounds (*ed.findNode (kindPhysicalInput, 0, false), { 50, 56, 9, 9 });
    expectBounds (ed.getMuteWdmToggle(), { 91, 36, 24, 15 });
    expectBounds (ed.getMixVirtual12Toggle(), { 11, 194, 78, 16 });

    // Double size.
    ed.setSize (1048, 884);
    expectBounds (*ed.findNode (kindWdm, 0, false), { 392, 226, 36, 36 });
    expectBounds (ed.getMuteAsioToggle(), { 712, 146, 94, 60 });
}

TEST (RoutingEditorLayout, ChildrenInConstructionOrderWithTogglesOnTop)
{
    auto editor = routingtest::makeEditor();
    const char* expected[] = { "PhysicIn1", "PhysicIn2",
                               "WDMin1", "ASIOin1", "WDMin2", "ASIOin2", "WDMin3", "ASIOin3",
                               "WDMin4", "ASIOin4", "WDMin5", "ASIOin5", "WDMin6", "ASIOin6",
                               "WDMout1", "ASIOout1", "WDMout2", "ASIOout2", "WDMout3", "ASIOout3",
                               "WDMout4", "ASIOout4", "WDMout5", "ASIOout5", "WDMout6", "ASIOout6",
                               "muteWDM", "muteASIO", "mixVirtual12", "mixVirtual34" };
    ASSERT_EQ (editor->getNumChildComponents(), 30);
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ (editor->getChildComponent (i)->getName(), expected[i]) << i;

    for (int i = 26; i < 30; ++i)
    {
        auto* toggle = dynamic_cast<juce::Button*> (editor->getChildComponent (i));
        ASSERT_NE (toggle, nullptr);
        EXPECT_TRUE (toggle->isAlwaysOnTop());
        EXPECT_TRUE (toggle->getClickingTogglesState());
        EXPECT_FALSE (toggle->getToggleState());
    }

    // Only the physical inputs toggle.
    for (int i = 0; i < 26; ++i)
    {
        auto* n = dynamic_cast<VelkFRButton*> (editor->getChildComponent (i));
        ASSERT_NE (n, nullptr);
        EXPECT_EQ (n->getClickingTogglesState(), n->kind == kindPhysicalInput) << n->getName();
    }
}

TEST (RoutingEditorLayout, WiresAreRebuiltFromNodeCornersOnLayout)
{
    auto editor = routingtest::makeEditor();
    FlexrouteSettings s;
    s.wires.push_back ({ kindWdm, 0, kindAsio, 0 });
    ASSERT_TRUE (editor->applySettings (s));
    auto& wire = *editor->getWires()[0];

    editor->setSize (1048, 884);
    auto q = quadraticOf (wire.path);
    ASSERT_TRUE (q.valid);
    EXPECT_EQ (q.start, juce::Point<float> (410.0f, 244.0f));
    // Half the corner distance (504) to the right; 20 below, not scaled.
    EXPECT_EQ (q.control, juce::Point<float> (644.0f, 246.0f));
    EXPECT_EQ (q.end, juce::Point<float> (914.0f, 244.0f));

    editor->setSize (524, 442);
    q = quadraticOf (wire.path);
    ASSERT_TRUE (q.valid);
    EXPECT_EQ (q.start, juce::Point<float> (205.0f, 122.0f));
    EXPECT_EQ (q.control, juce::Point<float> (322.0f, 133.0f));
    EXPECT_EQ (q.end, juce::Point<float> (457.0f, 122.0f));
    EXPECT_TRUE (editor->findNode (kindWdm, 0, false)->occupied);
}

TEST (RoutingEditorLayout, LeftwardWireBendsLeftByTheTruncatedCornerDistance)
{
    auto editor = routingtest::makeEditor();
    FlexrouteSettings s;
    s.wires.push_back ({ kindAsio, 0, kindWdm, 1 });  // corners (370, 113) -> (274, 159)
    ASSERT_TRUE (editor->applySettings (s));
    auto& wire = *editor->getWires()[0];

    // Distance 106.45 is truncated to 106 before halving; the end lies to the
    // left, so the bend goes left: 370 - 53.
    editor->setSize (524, 442);
    auto q = quadraticOf (wire.path);
    ASSERT_TRUE (q.valid);
    EXPECT_EQ (q.start, juce::Point<float> (379.0f, 122.0f));
    EXPECT_EQ (q.control, juce::Point<float> (317.0f, 133.0f));
    EXPECT_EQ (q.end, juce::Point<float> (283.0f, 168.0f));

    // Corners (740, 226) -> (548, 318): distance 212.90 -> 212, bend 106.
    editor->setSize (1048, 884);
    q = quadraticOf (wire.path);
    ASSERT_TRUE (q.valid);
    EXPECT_EQ (q.control, juce::Point<float> (634.0f, 246.0f));
}

TEST (RoutingEditorLayout, PaintsPictureAndWires)
{
    auto editor = routingtest::makeEditor();
    auto snap = editor->createComponentSnapshot (editor->getLocalBounds());
    const juce::Colour ground (0xff202830);
    EXPECT_EQ (snap.getPixelAt (10, 10), ground);
    // Nothing pending: the pending wire, a single point at the origin, shows nothing.
    EXPECT_EQ (snap.getPixelAt (0, 0), ground);

    FlexrouteSettings s;
    s.wires.push_back ({ kindWdm, 0, kindAsio, 0 });
    editor->applySettings (s);
    snap = editor->createComponentSnapshot (editor->getLocalBounds());
    // A red disc on both ends and a red curve between them.
    EXPECT_EQ (snap.getPixelAt (205, 116), juce::Colours::red);
    EXPECT_EQ (snap.getPixelAt (457, 116), juce::Colours::red);
    const auto mid = routingtest::pointOnWire (*editor->getWires()[0]);
    EXPECT_EQ (snap.getPixelAt ((int) mid.x, (int) mid.y), juce::Colours::red);

    // The curve is 5 pixels thick: its lowest point, (326.5, 127.5), runs
    // level, so column 326 is covered from y 125 to 130 and no further.
    for (int y : { 125, 126, 127, 128, 129 })
        EXPECT_GT (snap.getPixelAt (326, y).getRed(), 0xc0) << y;
    for (int y : { 124, 130 })
        EXPECT_LT (snap.getPixelAt (326, y).getRed(), 0x80) << y;

    // Rescaled picture at a new size.
    editor->setSize (262, 221);
    snap = editor->createComponentSnapshot (editor->getLocalBounds());
    EXPECT_EQ (snap.getWidth(), 262);
    EXPECT_EQ (snap.getPixelAt (5, 5), juce::Colour (0xff202830));
}

TEST (RoutingEditor, ClearRemovesWiresAndSwitchesTogglesOffWithoutRebuilding)
{
    auto editor = routingtest::makeEditor();
    FlexrouteSettings s;
    s.wires.push_back ({ kindAsio, 0, kindWdm, 0 });
    s.muteAsio = s.muteWdm = s.mixVirtual12 = s.mixVirtual34 = true;
    ASSERT_TRUE (editor->applySettings (s));
    ASSERT_EQ (editor->getMixerState().entries[kindAsio][0].muted, 1);

    // A node knocked off its spot goes back: clearing lays the editor out again.
    editor->findNode (kindAsio, 0, false)->setBounds (1, 2, 3, 4);
    editor->clearFRConnections();
    EXPECT_EQ (editor->getWires().size(), 0);
    EXPECT_FALSE (editor->findNode (kindAsio, 0, false)->occupied);
    EXPECT_FALSE (editor->getMuteWdmToggle().getToggleState());
    EXPECT_FALSE (editor->getMuteAsioToggle().getToggleState());
    EXPECT_FALSE (editor->getMixVirtual12Toggle().getToggleState());
    EXPECT_FALSE (editor->getMixVirtual34Toggle().getToggleState());
    // No notification, so the record still holds the old routing.
    EXPECT_EQ (editor->getMixerState().entries[kindAsio][0].routed, 1);
    EXPECT_EQ (editor->findNode (kindAsio, 0, false)->getBounds(), juce::Rectangle<int> (370, 113, 18, 18));
}

TEST (RoutingEditor, SettingsRoundTripAndBadWiresAreLeftOut)
{
    auto editor = routingtest::makeEditor();
    FlexrouteSettings s;
    s.wires = { { kindPhysicalInput, 1, kindWdm, 5 }, { kindAsio, 0, kindWdm, 0 }, { kindWdm, 2, kindAsio, 2 } };
    s.muteWdm = true;
    s.mixVirtual34 = true;
    ASSERT_TRUE (editor->applySettings (s));

    const auto back = editor->getSettings();
    EXPECT_EQ (back.wires, s.wires);
    EXPECT_TRUE (back.muteWdm);
    EXPECT_FALSE (back.muteAsio);
    EXPECT_FALSE (back.mixVirtual12);
    EXPECT_TRUE (back.mixVirtual34);
    EXPECT_EQ (editor->getMixerState().entries[kindWdmAux][2].muted, 1);

    // Replacing: the old wires go, their sources become free.
    FlexrouteSettings bad;
    bad.wires = { { kindAsio, 1, kindAsio, 1 },
                  { kindAsio, 1, kindWdm, 3 },      // same source twice
                  { kindPhysicalInput, 0, kindPhysicalInput, 0 }, // no such destination
                  { kindWdm, 9, kindWdm, 0 },       // no such source
                  { -1, 0, kindWdm, 0 } };
    EXPECT_FALSE (editor->applySettings (bad));
    ASSERT_EQ (editor->getSettings().wires.size(), 1u);
    EXPECT_EQ (editor->getSettings().wires[0], (FlexrouteWire { kindAsio, 1, kindAsio, 1 }));
    EXPECT_FALSE (editor->findNode (kindPhysicalInput, 1, false)->occupied);
    EXPECT_TRUE (editor->findNode (kindAsio, 1, false)->occupied);
    EXPECT_EQ (editor->getMixerState().entries[kindWdm][2].routed, 0);
    EXPECT_FALSE (editor->getMuteWdmToggle().getToggleState());
}

//==============================================================================
TEST (RoutingWire, SetAPathFromDestinationSideAndColours)
{
    juce::Image none;
    juce::Image over (juce::Image::ARGB, 18, 18, true);
    VelkFRButton dest (kindWdm, 1, "WDMin2", none, over);
    dest.isDestination = true;
    dest.setBounds (274, 159, 18, 18);
    VelkFRButton phys (kindPhysicalInput, 0, "PhysicIn1", none, over);
    phys.setBounds (99, 113, 18, 18);
    VelkFRButton odd (kindAsio, 0, "Other1", none, over);
    odd.setBounds (370, 113, 18, 18);

    VelkFRConnectionPath wire;
    EXPECT_EQ (wire.colour.getARGB(), 0u);
    EXPECT_FALSE (wire.checkIntersectionWithPath ({ 0, 0, 500, 500 }));

    wire.setAPath (&dest, &phys, { 200.0f, 188.0f });
    EXPECT_EQ (wire.sourceEnd, &phys);
    EXPECT_EQ (wire.destinationEnd, &dest);
    EXPECT_TRUE (phys.occupied);
    EXPECT_FALSE (dest.occupied);
    EXPECT_EQ (wire.colour, juce::Colour (0xff008000));
    EXPECT_EQ (wire.restoreColour, wire.colour);
    auto q = quadraticOf (wire.path);
    ASSERT_TRUE (q.valid);  // one curve: a second call replaces, never adds
    EXPECT_EQ (q.start, juce::Point<float> (283.0f, 168.0f));
    EXPECT_EQ (q.end, juce::Point<float> (108.0f, 122.0f));

    // A source name without a known prefix keeps the colour it had.
    wire.setAPath (&odd, &dest, { 300.0f, 133.0f });
    q = quadraticOf (wire.path);
    ASSERT_TRUE (q.valid);
    EXPECT_EQ (q.start, juce::Point<float> (379.0f, 122.0f));
    EXPECT_EQ (wire.colour, juce::Colour (0xff008000));

    VelkFRConnectionPath fresh;
    fresh.setAPath (&odd, &dest, { 300.0f, 133.0f });
    EXPECT_EQ (fresh.colour.getARGB(), 0u);
    fresh.timerCallback();
    EXPECT_EQ (fresh.colour.getARGB(), 0u);

    VelkFRButton wdm (kindWdm, 0, "WDMout1", none, over);
    VelkFRButton asio (kindAsio, 0, "ASIOout1", none, over);
    fresh.setAPath (&wdm, &dest, {});
    EXPECT_EQ (fresh.colour, juce::Colours::red);
    fresh.setAPath (&asio, &dest, {});
    EXPECT_EQ (fresh.colour, juce::Colours::yellow);

    // Deleting a wire by itself leaves its source occupied.
    {
        VelkFRConnectionPath temporary;
        temporary.setAPath (&asio, &dest, {});
    }
    EXPECT_TRUE (asio.occupied);
}

TEST (RoutingWire, HitTestFollowsTheFlattenedCurve)
{
    juce::Image none, over;
    VelkFRButton a (kindWdm, 0, "WDMout1", none, over);
    a.setBounds (196, 113, 18, 18);
    VelkFRButton b (kindAsio, 0, "ASIOin1", none, over);
    b.isDestination = true;
    b.setBounds (448, 113, 18, 18);

    VelkFRConnectionPath wire;
    wire.setAPath (&a, &b, { 322.0f, 133.0f });
    // The curve's middle lies at ((205 + 2 * 322 + 457) / 4, (122 + 2 * 133 + 122) / 4) = (326.5, 127.5).
    EXPECT_TRUE (wire.checkIntersectionWithPath ({ 326.5f, 122.5f, 326.5f, 132.5f }));
    EXPECT_FALSE (wire.checkIntersectionWithPath ({ 326.5f, 115.0f, 326.5f, 125.0f }));
    EXPECT_FALSE (wire.checkIntersectionWithPath ({ 326.5f, 130.0f, 326.5f, 140.0f }));
    // Beyond the ends there is nothing to meet.
    EXPECT_FALSE (wire.checkIntersectionWithPath ({ 470.0f, 100.0f, 470.0f, 140.0f }));

    wire.path.clear();
    EXPECT_FALSE (wire.checkIntersectionWithPath ({ 331.0f, 100.0f, 331.0f, 150.0f }));
}

TEST (RoutingWire, FlashEndsByItsOwnTimer)
{
    VelkFRConnectionPath wire;
    wire.restoreColour = juce::Colours::yellow;
    wire.colour = juce::Colours::blueviolet;
    const auto start = juce::Time::getMillisecondCounter();
    wire.startTimer (200);
    ASSERT_TRUE (testsupport::pumpUntil ([&] { return wire.colour == juce::Colours::yellow; }, 3000));
    EXPECT_GE (juce::Time::getMillisecondCounter() - start, 100u);  // framework timers may fire a little early
    EXPECT_FALSE (wire.isTimerRunning());
}

TEST (RoutingEditorLayout, UndecodablePictureLeavesTheLayoutAlone)
{
    const char notAPicture[] = "not a picture";
    FlexrouteDialog editor (notAPicture, (int) sizeof (notAPicture), {});
    EXPECT_EQ (editor.getWidth(), 0);
    editor.setSize (300, 200);  // nothing to scale against: no division by zero
    EXPECT_EQ (editor.findNode (kindWdm, 0, false)->getBounds(), juce::Rectangle<int>());
    EXPECT_EQ (editor.getMuteWdmToggle().getBounds(), juce::Rectangle<int> (182, 73, 0, 0));
    auto snap = editor.createComponentSnapshot (editor.getLocalBounds());
    EXPECT_EQ (snap.getWidth(), 300);

    FlexrouteDialog none (nullptr, 16895, {});
    EXPECT_EQ (none.getWidth(), 0);
}

namespace
{
// A picture whose every pixel tells where it lies and which picture it is in:
// red and green the low bytes of x and y, blue the high bits and the tag.
juce::Image coordinatePicture (int tag)
{
    juce::Image im (juce::Image::ARGB, routingtest::pictureWidth, routingtest::pictureHeight, false);
    juce::Image::BitmapData data (im, juce::Image::BitmapData::writeOnly);
    for (int y = 0; y < im.getHeight(); ++y)
        for (int x = 0; x < im.getWidth(); ++x)
            data.setPixelColour (x, y, juce::Colour ((juce::uint8) (x & 0xff), (juce::uint8) (y & 0xff),
                                                     (juce::uint8) ((x >> 8) | ((y >> 8) << 2) | (tag << 4)), (juce::uint8) 0xff));
    return im;
}

// The cut-out's size, and the picture and spot its top-left pixel came from.
void expectCut (const juce::Image& cut, int tag, juce::Rectangle<int> spot)
{
    ASSERT_TRUE (cut.isValid());
    EXPECT_EQ (cut.getBounds(), spot.withZeroOrigin()) << spot.toString();
    const auto c = cut.getPixelAt (0, 0);
    EXPECT_EQ (c.getBlue() >> 4, tag) << spot.toString();
    EXPECT_EQ (c.getRed() | ((c.getBlue() & 3) << 8), spot.getX()) << spot.toString();
    EXPECT_EQ (c.getGreen() | (((c.getBlue() >> 2) & 3) << 8), spot.getY()) << spot.toString();
}
} // namespace

TEST (RoutingEditorLayout, CutOutsComeFromTheirSpotsAndGoToTheirButtons)
{
    constexpr int unlitTag = 1, litTag = 2;
    auto images = FlexrouteImages::cutFrom (coordinatePicture (unlitTag), coordinatePicture (litTag));
    expectCut (images.nodeHighlight, litTag, { 99, 159, 18, 18 });
    expectCut (images.muteNormal, unlitTag, { 182, 73, 47, 30 });
    expectCut (images.muteOver, litTag, { 356, 73, 47, 30 });
    expectCut (images.muteDown, litTag, { 182, 73, 47, 30 });
    expectCut (images.mixVirtual12Normal, unlitTag, { 22, 390, 155, 31 });
    expectCut (images.mixVirtual12Down, litTag, { 22, 390, 155, 31 });
    expectCut (images.mixVirtual34Normal, unlitTag, { 189, 390, 155, 31 });
    expectCut (images.mixVirtual34Down, litTag, { 189, 390, 155, 31 });

    const auto& p = routingtest::Pictures::get();
    FlexrouteDialog editor (p.unlitPng.getData(), (int) p.unlitPng.getSize(), images);

    // Images compare equal when they share their pixels.
    for (auto* mute : { &editor.getMuteWdmToggle(), &editor.getMuteAsioToggle() })
    {
        EXPECT_TRUE (mute->getNormalImage() == images.muteNormal) << mute->getName();
        EXPECT_TRUE (mute->getOverImage() == images.muteOver) << mute->getName();
        EXPECT_TRUE (mute->getDownImage() == images.muteDown) << mute->getName();
    }

    // The mix toggles have no over image of their own: the normal one stands in.
    EXPECT_TRUE (editor.getMixVirtual12Toggle().getNormalImage() == images.mixVirtual12Normal);
    EXPECT_TRUE (editor.getMixVirtual12Toggle().getOverImage() == images.mixVirtual12Normal);
    EXPECT_TRUE (editor.getMixVirtual12Toggle().getDownImage() == images.mixVirtual12Down);
    EXPECT_TRUE (editor.getMixVirtual34Toggle().getNormalImage() == images.mixVirtual34Normal);
    EXPECT_TRUE (editor.getMixVirtual34Toggle().getOverImage() == images.mixVirtual34Normal);
    EXPECT_TRUE (editor.getMixVirtual34Toggle().getDownImage() == images.mixVirtual34Down);

    // Every node: no normal image, the highlight when the pointer is over it
    // or it is down.
    for (int i = 0; i < 26; ++i)
    {
        auto* n = dynamic_cast<VelkFRButton*> (editor.getChildComponent (i));
        ASSERT_NE (n, nullptr);
        EXPECT_FALSE (n->getNormalImage().isValid()) << n->getName();
        EXPECT_TRUE (n->getOverImage() == images.nodeHighlight) << n->getName();
        EXPECT_TRUE (n->getDownImage() == images.nodeHighlight) << n->getName();
    }
}

TEST (RoutingEditorLayout, ToggleTakesItsDesignSizeFromTheFirstImageWithASize)
{
    auto editor = routingtest::makeEditor();
    juce::Image none;
    juce::Image over (juce::Image::ARGB, 10, 20, true);
    juce::Image down (juce::Image::ARGB, 30, 40, true);

    VelkImageButton overSized ("overSized");
    overSized.setToggleState (true, juce::dontSendNotification);
    editor->configImageToggleButtons (&overSized, 50, 60, none, over, down);
    EXPECT_EQ (overSized.designWidth, 10);
    EXPECT_EQ (overSized.designHeight, 20);
    EXPECT_EQ (overSized.designX, 50);
    EXPECT_EQ (overSized.designY, 60);
    EXPECT_EQ (overSized.designYOffset, 0);
    EXPECT_EQ (overSized.getBounds(), juce::Rectangle<int> (50, 60, 10, 20));
    EXPECT_EQ (overSized.getParentComponent(), editor.get());
    EXPECT_TRUE (overSized.isVisible());
    EXPECT_TRUE (overSized.isAlwaysOnTop());
    EXPECT_TRUE (overSized.getClickingTogglesState());
    EXPECT_FALSE (overSized.getToggleState());

    VelkImageButton downSized ("downSized");
    editor->configImageToggleButtons (&downSized, 5, 6, none, none, down);
    EXPECT_EQ (downSized.getBounds(), juce::Rectangle<int> (5, 6, 30, 40));

    // Clicking it rebuilds the record like any other button.
    FlexrouteSettings s;
    s.wires.push_back ({ kindWdm, 0, kindAsio, 0 });
    ASSERT_TRUE (editor->applySettings (s));
    editor->getMuteWdmToggle().setToggleState (true, juce::dontSendNotification);
    overSized.setToggleState (true, juce::sendNotificationSync);
    EXPECT_EQ (editor->getMixerState().entries[kindWdm][0].muted, 1);
}
