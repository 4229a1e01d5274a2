// The slider look's image thumbs and the linked stereo fader pair.
#include <gtest/gtest.h>

#include "ControlsTestSupport.h"
#include "controls/SliderLookAndFeel.h"
#include "controls/SliderStereoGroup.h"

using namespace controlstest;

namespace
{
const juce::Colour frameColour (0xff101010);
const juce::Colour unlinkedColour (0xff30c040);
const juce::Colour linkedColour (0xff3050e0);

// Thumb pictures as the panel gives them: 22 x 33, decoded from PNG.
void giveThumbs (VelkSliderLookAndFeel& look)
{
    look.linkedThumbSource = throughPng (makePicture (22, 33, linkedColour, frameColour));
    look.currentThumbSource = throughPng (makePicture (22, 33, unlinkedColour, frameColour));
    look.unlinkedThumbSource = look.currentThumbSource;
    look.thumbDesignWidth = 22;
    look.thumbDesignHeight = 33;
    look.rescaleThumbs (22, 33);
}

void configureFader (juce::Slider& s, VelkSliderLookAndFeel* look)
{
    s.setColour (juce::Slider::backgroundColourId, juce::Colour (0x00969798));
    s.setColour (juce::Slider::trackColourId, juce::Colour (0x0016181a));
    s.setSliderStyle (juce::Slider::LinearVertical);
    s.setRange (-64.0, 0.0, 1.0);
    s.setTextBoxStyle (juce::Slider::NoTextBox, false, 1, 1);
    s.setValue (0.0, juce::dontSendNotification);
    s.setLookAndFeel (look);
}

// Where the top of a fader's thumb lies in the fader, for its current value.
int thumbTop (juce::Slider& s)
{
    return (int) (s.getPositionOfValue (s.getValue()) - 16.0f);
}

// The fader pair configured as the panel does it, inside a host window.
struct Pair
{
    explicit Pair (bool withLook = true)
    {
        if (withLook)
            giveThumbs (look);

        group.setName ("sliderOutGroup");
        group.leftSliderDesign = { 321, 25, 0, 9 };
        group.rightSliderDesign = { 321, 25, 30, 9 };
        group.leftSliderBounds = { 0, 9, 321, 25 };
        group.rightSliderBounds = { 30, 9, 321, 25 };
        for (auto* s : { &group.leftSlider, &group.rightSlider })
            configureFader (*s, withLook ? &look : nullptr);
        group.lastLeftValue = group.lastRightValue = group.doubleClickValue = 0.0;
        group.sliderLookAndFeel = withLook ? &look : nullptr;
        group.addActionListener (&log);
        group.setBounds (93, 20, 65, 340);
        host.addAndMakeVisible (group);
    }

    ~Pair()
    {
        group.removeActionListener (&log);
        group.removeLookAndFeel();
    }

    // A point of the group on the screen.
    juce::Point<int> screen (int x, int y) const { return group.localPointToGlobal (juce::Point<int> (x, y)); }

    // Every message the group has sent so far, all delivered: action messages
    // arrive in the order they were sent, so once a marker sent now is in, so
    // is everything before it.
    juce::StringArray delivered()
    {
        const juce::String marker ("--marker--");
        group.sendActionMessage (marker);
        EXPECT_TRUE (testsupport::pumpUntil ([&] { return log.messages.contains (marker); }));
        log.messages.removeString (marker);
        return log.messages;
    }

    void clearLog()
    {
        delivered();
        log.messages.clear();
    }

    VelkSliderLookAndFeel look;
    juce::Component host;
    SliderStereoGroup group;
    MessageLog log;
};

// Makes sure no button stays held after a test that pressed one.
struct ReleaseButtonAtEnd
{
    ~ReleaseButtonAtEnd()
    {
        xdo ("mouseup 1");
        waitForButtonsUp();
    }
};
} // namespace

TEST (ControlsSliderLook, ThumbCentredOnTheSliderPositionAndNothingElse)
{
    VelkSliderLookAndFeel look;
    juce::Slider slider;
    slider.setSliderStyle (juce::Slider::LinearVertical);
    EXPECT_EQ (look.getSliderThumbRadius (slider), 0); // no thumb yet
    EXPECT_TRUE (look.markLinkedThumb);

    {
        // Nothing to draw before the first layout pass.
        juce::Image img (juce::Image::ARGB, 40, 200, true);
        juce::Graphics g (img);
        look.drawLinearSlider (g, 5, 0, 30, 200, 100.0f, 0.0f, 200.0f, juce::Slider::LinearVertical, slider);
        EXPECT_EQ (img.getPixelAt (10, 100).getAlpha(), 0);
    }

    giveThumbs (look);
    EXPECT_EQ (look.getSliderThumbRadius (slider), 16); // odd height 33: half 16

    juce::Image img (juce::Image::ARGB, 40, 200, true);
    {
        juce::Graphics g (img);
        look.drawLinearSlider (g, 5, 0, 30, 200, 100.7f, 0.0f, 200.0f, juce::Slider::LinearVertical, slider);
    }
    // Top-left at (5, trunc (100.7 - 16)) = (5, 84), 22 x 33, nothing else drawn.
    EXPECT_TRUE (near (img.getPixelAt (5, 84), frameColour));
    EXPECT_TRUE (near (img.getPixelAt (10, 100), unlinkedColour));
    EXPECT_TRUE (near (img.getPixelAt (26, 116), frameColour));
    EXPECT_EQ (img.getPixelAt (5, 83).getAlpha(), 0);
    EXPECT_EQ (img.getPixelAt (4, 84).getAlpha(), 0);
    EXPECT_EQ (img.getPixelAt (27, 100).getAlpha(), 0);
    EXPECT_EQ (img.getPixelAt (5, 117).getAlpha(), 0);
    EXPECT_EQ (img.getPixelAt (20, 10).getAlpha(), 0); // no track

    // A horizontal slider shows nothing at all.
    juce::Image horizontal (juce::Image::ARGB, 200, 40, true);
    {
        slider.setSliderStyle (juce::Slider::LinearHorizontal);
        juce::Graphics g (horizontal);
        look.drawLinearSlider (g, 0, 5, 200, 30, 100.0f, 0.0f, 200.0f, juce::Slider::LinearHorizontal, slider);
    }
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 200; ++x)
            ASSERT_EQ (horizontal.getPixelAt (x, y).getAlpha(), 0);

    // Any other style gets the framework's own thumbs, not the picture.
    juce::Image twoValue (juce::Image::ARGB, 40, 200, true);
    {
        slider.setSliderStyle (juce::Slider::TwoValueVertical);
        juce::Graphics g (twoValue);
        look.drawLinearSlider (g, 5, 0, 30, 200, 100.0f, 60.0f, 140.0f, juce::Slider::TwoValueVertical, slider);
    }
    int ink = 0, picture = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 40; ++x)
        {
            ink += twoValue.getPixelAt (x, y).getAlpha() > 0 ? 1 : 0;
            picture += near (twoValue.getPixelAt (x, y), unlinkedColour) ? 1 : 0;
        }
    EXPECT_GT (ink, 50);
    EXPECT_EQ (picture, 0);
}

TEST (ControlsSliderLook, LayoutPassMarksACopyOfTheLinkedThumb)
{
    VelkSliderLookAndFeel look;
    giveThumbs (look);

    ASSERT_EQ (look.linkedThumb.getWidth(), 22);
    ASSERT_EQ (look.linkedThumb.getHeight(), 33);
    const auto lineRow = look.linkedThumb.getPixelAt (11, 16);
    EXPECT_GT (lineRow.getRed(), linkedColour.getRed() + 40); // red line across the middle
    EXPECT_TRUE (near (look.linkedThumb.getPixelAt (11, 10), linkedColour));
    EXPECT_TRUE (near (look.linkedThumb.getPixelAt (11, 22), linkedColour));
    EXPECT_TRUE (near (look.currentThumb.getPixelAt (11, 16), unlinkedColour));

    // The source picture (same size, so not rescaled) is left unmarked, and a
    // second pass does not draw on anything drawn before.
    EXPECT_TRUE (near (look.linkedThumbSource.getPixelAt (11, 16), linkedColour));
    look.rescaleThumbs (22, 33);
    EXPECT_EQ (look.linkedThumb.getPixelAt (11, 16), lineRow);

    look.markLinkedThumb = false;
    look.rescaleThumbs (22, 33);
    EXPECT_TRUE (near (look.linkedThumb.getPixelAt (11, 16), linkedColour));

    // Smaller panel: thumbs 11 x 16, radius 8.
    look.markLinkedThumb = true;
    look.rescaleThumbs (11, 16);
    juce::Slider slider;
    EXPECT_EQ (look.currentThumb.getWidth(), 11);
    EXPECT_EQ (look.unlinkedThumb.getHeight(), 16);
    EXPECT_EQ (look.getSliderThumbRadius (slider), 8);
    EXPECT_GT (look.linkedThumb.getPixelAt (5, 8).getRed() + look.linkedThumb.getPixelAt (5, 7).getRed(),
               2 * linkedColour.getRed() + 40);
}

TEST (ControlsSliderLook, PointerOverOneSliderShowsTheLinkedThumbThereOnly)
{
    VelkSliderLookAndFeel look;
    giveThumbs (look);

    juce::Component host;
    juce::Slider left, right;
    for (auto* s : { &left, &right })
    {
        configureFader (*s, &look);
        host.addAndMakeVisible (s);
    }
    left.setBounds (0, 0, 25, 200);
    right.setBounds (40, 0, 25, 200);
    left.setValue (-20.0, juce::dontSendNotification);
    right.setValue (-20.0, juce::dontSendNotification);

    {
        OnScreen shown (host, { 300, 300, 80, 200 });
        ASSERT_TRUE (movePointerTo (left.localPointToGlobal (juce::Point<int> (12, 5))));
        ASSERT_TRUE (testsupport::pumpUntil ([&] { return left.isMouseOver(); }));

        const int top = thumbTop (left);
        auto shot = [] (juce::Slider& s) { return s.createComponentSnapshot (s.getLocalBounds(), true, 1.0f); };
        EXPECT_TRUE (near (shot (left).getPixelAt (5, top + 5), linkedColour));
        EXPECT_TRUE (near (shot (right).getPixelAt (5, top + 5), unlinkedColour));

        // A disabled parent: the plain thumb even under the pointer.
        host.setEnabled (false);
        EXPECT_TRUE (near (shot (left).getPixelAt (5, top + 5), unlinkedColour));
        host.setEnabled (true);
        movePointerTo ({ 5, 5 });
    }

    left.setLookAndFeel (nullptr);
    right.setLookAndFeel (nullptr);
}

TEST (ControlsFaderPair, LayoutLinkStripAndConstruction)
{
    SliderStereoGroup fresh;
    EXPECT_EQ (fresh.getName(), "SliderGroupOut");
    EXPECT_EQ (fresh.leftSlider.getName(), "Left");
    EXPECT_EQ (fresh.rightSlider.getName(), "Right");
    EXPECT_EQ (fresh.updateMessage, "volume_update");
    EXPECT_EQ (fresh.linkMargin, 2);
    EXPECT_TRUE (fresh.linkArea.isEmpty());
    EXPECT_FALSE (fresh.mouseInLinkArea || fresh.wasLinked);
    EXPECT_EQ (fresh.sliderLookAndFeel, nullptr);
    EXPECT_TRUE (fresh.isTimerRunning());
    EXPECT_EQ (fresh.getTimerInterval(), 200);
    EXPECT_TRUE (fresh.leftSlider.isVisible() && fresh.leftSlider.getParentComponent() == &fresh);
    EXPECT_FALSE (fresh.rightSlider.getSliderSnapsToMousePosition());

    Pair pair;
    auto& g = pair.group;
    EXPECT_EQ (g.leftSlider.getBounds(), juce::Rectangle<int> (0, 9, 25, 321));
    EXPECT_EQ (g.rightSlider.getBounds(), juce::Rectangle<int> (30, 9, 25, 321));
    EXPECT_EQ (g.linkArea, juce::Rectangle<int> (14, 7, 28, 321)); // x 14..41, y 7..327
    EXPECT_DOUBLE_EQ (g.linkStep, 1.0);

    // The right fader takes its y, width and height from the left one.
    g.rightSliderBounds = { 23, 50, 99, 99 };
    g.leftSliderBounds = { 0, 7, 241, 19 };
    g.resized();
    EXPECT_EQ (g.rightSlider.getBounds(), juce::Rectangle<int> (23, 7, 19, 241));
    EXPECT_EQ (g.linkArea, juce::Rectangle<int> (11, 5, 21, 241));

    // The link step follows the faders' interval.
    g.rightSlider.setRange (-64.0, 0.0, 0.5);
    g.resized();
    EXPECT_DOUBLE_EQ (g.linkStep, 0.5);
}

TEST (ControlsFaderPair, LinkedMoveFollowsUntilTheRangeEnd)
{
    Pair pair;
    auto& g = pair.group;
    g.stopTimer(); // the link state is set by hand here

    g.mouseInLinkArea = true;
    g.setLevels (-20.0, -30.0);
    pair.clearLog();
    g.leftSlider.setValue (-10.0, juce::sendNotificationSync);
    EXPECT_DOUBLE_EQ (g.rightSlider.getValue(), -20.0);
    EXPECT_DOUBLE_EQ (g.lastLeftValue, -10.0);
    EXPECT_DOUBLE_EQ (g.lastRightValue, -20.0);
    g.rightSlider.setValue (-25.0, juce::sendNotificationSync);
    EXPECT_DOUBLE_EQ (g.leftSlider.getValue(), -15.0);
    EXPECT_EQ (pair.delivered(), juce::StringArray ({ "volume_update", "volume_update" }));

    // At the top end the other fader stops at 0 dB and the offset is lost.
    g.setLevels (-20.0, -2.0);
    g.leftSlider.setValue (-10.0, juce::sendNotificationSync);
    EXPECT_DOUBLE_EQ (g.rightSlider.getValue(), 0.0);
    g.leftSlider.setValue (-20.0, juce::sendNotificationSync);
    EXPECT_DOUBLE_EQ (g.rightSlider.getValue(), -10.0);

    // Unlinked: only the moved fader changes, and the move is still reported.
    g.mouseInLinkArea = false;
    pair.clearLog();
    g.leftSlider.setValue (-30.0, juce::sendNotificationSync);
    EXPECT_DOUBLE_EQ (g.rightSlider.getValue(), -10.0);
    EXPECT_EQ (pair.delivered(), juce::StringArray ({ "volume_update" }));
}

TEST (ControlsFaderPair, SetLevelsReportsOnlyDifferingSides)
{
    Pair pair;
    auto& g = pair.group;
    g.stopTimer();

    g.setLevels (0.0, 0.0); // what the faders already show
    g.setLevels (-12.0, 0.0);
    g.setLevels (-12.0, -3.0);
    EXPECT_EQ (pair.delivered(), juce::StringArray ({ "volume_updateLeftsliderOutGroup",
                                                       "volume_updateRightsliderOutGroup" }));
    EXPECT_DOUBLE_EQ (g.leftSlider.getValue(), -12.0);
    EXPECT_DOUBLE_EQ (g.rightSlider.getValue(), -3.0);

    // A level between whole dB never equals the snapped fader: reported every time,
    // and recorded as given.
    pair.clearLog();
    g.setLevels (-10.5, -3.0);
    g.setLevels (-10.5, -3.0);
    EXPECT_EQ (pair.delivered(), juce::StringArray ({ "volume_updateLeftsliderOutGroup",
                                                       "volume_updateLeftsliderOutGroup" }));
    EXPECT_DOUBLE_EQ (g.lastLeftValue, -10.5);
    EXPECT_NE (g.leftSlider.getValue(), -10.5);

    // Values pushed in are never reported as a user change, linked or not.
    g.mouseInLinkArea = true;
    pair.clearLog();
    g.setLevels (-40.0, -41.0);
    EXPECT_EQ (pair.delivered(), juce::StringArray ({ "volume_updateLeftsliderOutGroup",
                                                      "volume_updateRightsliderOutGroup" }));
    EXPECT_DOUBLE_EQ (g.rightSlider.getValue(), -41.0);
}

TEST (ControlsFaderPair, MoveLinkedSlidersStepsBothAndReports)
{
    Pair pair;
    auto& g = pair.group;
    g.stopTimer();
    g.setLevels (-10.0, -20.0);
    pair.clearLog();

    g.moveLinkedSliders (3);
    EXPECT_DOUBLE_EQ (g.leftSlider.getValue(), -11.0);
    EXPECT_DOUBLE_EQ (g.rightSlider.getValue(), -21.0);
    g.moveLinkedSliders (-1);
    g.moveLinkedSliders (-2);
    EXPECT_DOUBLE_EQ (g.leftSlider.getValue(), -9.0);
    EXPECT_DOUBLE_EQ (g.rightSlider.getValue(), -19.0);
    EXPECT_DOUBLE_EQ (g.lastLeftValue, -9.0);
    EXPECT_DOUBLE_EQ (g.lastRightValue, -19.0);
    g.moveLinkedSliders (0);
    EXPECT_DOUBLE_EQ (g.leftSlider.getValue(), -9.0);
    // Each step that moves a fader is followed by the plain message, on which
    // the owner writes the volumes.
    EXPECT_EQ (pair.delivered(), juce::StringArray ({ "volume_update-", "volume_update", "volume_update+", "volume_update",
                                                      "volume_update+", "volume_update", "volume_update" }));

    // At the top end the fader there stops; once neither moves, only the
    // step's own message goes out.
    g.setLevels (0.0, -1.0);
    pair.clearLog();
    g.moveLinkedSliders (-5);
    g.moveLinkedSliders (-5);
    EXPECT_DOUBLE_EQ (g.leftSlider.getValue(), 0.0);
    EXPECT_DOUBLE_EQ (g.rightSlider.getValue(), 0.0);
    EXPECT_EQ (pair.delivered(), juce::StringArray ({ "volume_update+", "volume_update", "volume_update+" }));
}

TEST (ControlsFaderPair, LinkChangesSwapTheThumbAndRelayoutTheFaders)
{
    Pair pair;
    auto& g = pair.group;
    g.stopTimer();

    g.mouseInLinkArea = true;
    g.switchLookAndFeel();
    EXPECT_TRUE (g.wasLinked);
    EXPECT_TRUE (pair.look.currentThumb == pair.look.linkedThumb);
    g.mouseInLinkArea = false;
    g.switchLookAndFeel();
    EXPECT_TRUE (pair.look.currentThumb == pair.look.unlinkedThumb);

    // Without a look pointer the faders still re-read their look.
    struct CountingLook : VelkSliderLookAndFeel
    {
        int getSliderThumbRadius (juce::Slider& s) override { ++asked; return VelkSliderLookAndFeel::getSliderThumbRadius (s); }
        int asked = 0;
    } counting;
    g.sliderLookAndFeel = nullptr;
    g.leftSlider.setLookAndFeel (&counting);
    g.rightSlider.setLookAndFeel (&counting);
    counting.asked = 0;
    g.mouseInLinkArea = true;
    g.switchLookAndFeel();
    EXPECT_GE (counting.asked, 2);
    const int asked = counting.asked;
    g.switchLookAndFeel(); // no change of state: nothing happens
    EXPECT_EQ (counting.asked, asked);

    // Removing the look leaves no fader referring to it.
    g.removeLookAndFeel();
    EXPECT_NE (&g.leftSlider.getLookAndFeel(), static_cast<juce::LookAndFeel*> (&counting));
    EXPECT_NE (&g.rightSlider.getLookAndFeel(), static_cast<juce::LookAndFeel*> (&counting));
}

TEST (ControlsFaderPair, PointerPollLinksAndFreezesWhileAButtonIsHeld)
{
    ReleaseButtonAtEnd release;
    Pair pair;
    auto& g = pair.group;
    OnScreen shown (pair.host, { 200, 150, 200, 400 });

    // Resting in the strip between the faders links the pair within a tick or two.
    ASSERT_TRUE (movePointerTo (pair.screen (27, 150)));
    ASSERT_TRUE (testsupport::pumpUntil ([&] { return g.mouseInLinkArea && g.wasLinked; }, 3000));
    EXPECT_TRUE (pair.look.currentThumb == pair.look.linkedThumb);

    // Pressed in the strip, then dragged out sideways: stays linked while held.
    ASSERT_TRUE (xdo ("mousedown 1"));
    ASSERT_TRUE (testsupport::pumpUntil ([] { return juce::ModifierKeys::currentModifiers.isLeftButtonDown(); }, 2000));
    movePointerTo (pair.screen (130, 150));
    testsupport::pumpFor (700);
    EXPECT_TRUE (g.mouseInLinkArea);
    ASSERT_TRUE (xdo ("mouseup 1"));
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return ! g.mouseInLinkArea && ! g.wasLinked; }, 3000));
    EXPECT_TRUE (pair.look.currentThumb == pair.look.unlinkedThumb);

    // Pressed outside the strip (beside the right fader), dragged into it: stays unlinked.
    movePointerTo (pair.screen (60, 150));
    ASSERT_TRUE (xdo ("mousedown 1"));
    ASSERT_TRUE (testsupport::pumpUntil ([] { return juce::ModifierKeys::currentModifiers.isLeftButtonDown(); }, 2000));
    movePointerTo (pair.screen (27, 150));
    testsupport::pumpFor (700);
    EXPECT_FALSE (g.mouseInLinkArea);
    ASSERT_TRUE (xdo ("mouseup 1"));
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return g.mouseInLinkArea; }, 3000));

    // The inner half of a fader belongs to the strip too; the outer half does not.
    movePointerTo (pair.screen (20, 200));
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return g.mouseInLinkArea; }, 3000));
    movePointerTo (pair.screen (5, 200));
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return ! g.mouseInLinkArea; }, 3000));
    movePointerTo ({ 5, 5 });
}

TEST (ControlsFaderPair, DraggingALinkedFaderMovesTheOtherByTheSameAmount)
{
    ReleaseButtonAtEnd release;
    Pair pair;
    auto& g = pair.group;
    // Half a dB: the left fader shows -40 while -40.5 is recorded, so the drag
    // has to measure from where it starts, not from the recorded level.
    g.setLevels (-40.5, -50.0);
    ASSERT_DOUBLE_EQ (g.leftSlider.getValue(), -40.0);
    OnScreen shown (pair.host, { 200, 150, 200, 400 });

    // Grab the left thumb on its inner half, which lies in the link strip.
    const int y = g.leftSlider.getY() + (int) g.leftSlider.getPositionOfValue (-40.0);
    ASSERT_TRUE (movePointerTo (pair.screen (20, y)));
    ASSERT_TRUE (testsupport::pumpUntil ([&] { return g.mouseInLinkArea; }, 3000));
    pair.clearLog();

    ASSERT_TRUE (xdo ("mousedown 1"));
    for (int step = 1; step <= 8; ++step)
        movePointerTo (pair.screen (20, y - 8 * step));
    ASSERT_TRUE (xdo ("mouseup 1"));
    ASSERT_TRUE (waitForButtonsUp());

    const auto left = g.leftSlider.getValue();
    EXPECT_GT (left, -40.0);
    EXPECT_DOUBLE_EQ (g.rightSlider.getValue(), left - 10.0);
    EXPECT_TRUE (pair.delivered().contains ("volume_update"));
    movePointerTo ({ 5, 5 });
}

TEST (ControlsFaderPair, WheelOverTheStripMovesBothTheWayEachFadersWheelDoes)
{
    Pair pair;
    auto& g = pair.group;
    g.setLevels (-10.0, -20.0);
    OnScreen shown (pair.host, { 200, 150, 200, 400 });

    ASSERT_TRUE (movePointerTo (pair.screen (27, 150)));
    ASSERT_TRUE (testsupport::pumpUntil ([&] { return g.mouseInLinkArea; }, 3000));
    pair.clearLog();

    // As on each fader: wheel up raises both, wheel down lowers both.
    ASSERT_TRUE (xdo ("click 4"));
    ASSERT_TRUE (testsupport::pumpUntil ([&] { return g.leftSlider.getValue() == -9.0; }, 3000));
    EXPECT_DOUBLE_EQ (g.rightSlider.getValue(), -19.0);
    ASSERT_TRUE (xdo ("click 5"));
    ASSERT_TRUE (xdo ("click 5"));
    ASSERT_TRUE (testsupport::pumpUntil ([&] { return g.leftSlider.getValue() == -11.0; }, 3000));
    EXPECT_DOUBLE_EQ (g.rightSlider.getValue(), -21.0);
    EXPECT_EQ (pair.delivered(), juce::StringArray ({ "volume_update+", "volume_update", "volume_update-",
                                                      "volume_update", "volume_update-", "volume_update" }));

    // Unlinked, the wheel over the group moves nothing. The notch taken back in
    // the strip afterwards is handled after it, so by then it has been seen.
    pair.clearLog();
    movePointerTo (pair.screen (60, 150));
    ASSERT_TRUE (testsupport::pumpUntil ([&] { return ! g.mouseInLinkArea; }, 3000));
    ASSERT_TRUE (xdo ("click 5"));
    movePointerTo (pair.screen (27, 150));
    ASSERT_TRUE (testsupport::pumpUntil ([&] { return g.mouseInLinkArea; }, 3000));
    ASSERT_TRUE (xdo ("click 4"));
    ASSERT_TRUE (testsupport::pumpUntil ([&] { return g.rightSlider.getValue() != -21.0; }, 3000));
    EXPECT_DOUBLE_EQ (g.leftSlider.getValue(), -10.0);
    EXPECT_DOUBLE_EQ (g.rightSlider.getValue(), -20.0);
    EXPECT_EQ (pair.delivered(), juce::StringArray ({ "volume_update+", "volume_update" }));

    movePointerTo ({ 5, 5 });
}

TEST (ControlsFaderPair, DoubleClickBesideTheFadersResetsBoth)
{
    ReleaseButtonAtEnd release;
    Pair pair;
    auto& g = pair.group;
    g.doubleClickValue = -6.0; // the panel's is 0.0; any value of the field is taken
    g.setLevels (-20.0, -30.0);
    OnScreen shown (pair.host, { 200, 150, 200, 400 });

    ASSERT_TRUE (movePointerTo (pair.screen (60, 100))); // outside the strip: unlinked
    pair.clearLog();
    ASSERT_TRUE (xdo ("click --repeat 2 --delay 60 1"));
    ASSERT_TRUE (testsupport::pumpUntil ([&] { return g.leftSlider.getValue() == -6.0 && g.rightSlider.getValue() == -6.0; }, 3000));
    EXPECT_DOUBLE_EQ (g.lastLeftValue, -6.0);
    EXPECT_DOUBLE_EQ (g.lastRightValue, -6.0);
    EXPECT_TRUE (pair.delivered().contains ("volume_update"));
    movePointerTo ({ 5, 5 });
}

TEST (ControlsFaderPair, RealWindowShowsTheThumbsAtTheFaderValues)
{
    Pair pair;
    auto& g = pair.group;
    g.setLevels (-20.0, -50.0);
    movePointerTo ({ 5, 5 });
    OnScreen shown (pair.host, { 200, 150, 200, 400 });
    ASSERT_TRUE (testsupport::pumpUntil ([&] { return ! g.wasLinked; }, 1000));

    const auto img = g.createComponentSnapshot (g.getLocalBounds(), true, 1.0f);
    for (auto* s : { &g.leftSlider, &g.rightSlider })
    {
        const int top = s->getY() + thumbTop (*s);
        const int x = s->getX();
        EXPECT_TRUE (near (img.getPixelAt (x, top), frameColour)) << s->getName();
        EXPECT_TRUE (near (img.getPixelAt (x + 10, top + 10), unlinkedColour)) << s->getName();
        EXPECT_TRUE (near (img.getPixelAt (x + 21, top + 32), frameColour)) << s->getName();
        EXPECT_EQ (img.getPixelAt (x + 10, top - 1).getAlpha(), 0) << s->getName();
        EXPECT_EQ (img.getPixelAt (x + 10, top + 33).getAlpha(), 0) << s->getName();
    }
    EXPECT_EQ (img.getPixelAt (27, 100).getAlpha(), 0); // the group draws nothing of its own

    // Linked: both faders show the marked thumb.
    movePointerTo (pair.screen (27, 20));
    ASSERT_TRUE (testsupport::pumpUntil ([&] { return g.wasLinked; }, 3000));
    const auto linked = g.createComponentSnapshot (g.getLocalBounds(), true, 1.0f);
    const int rightTop = g.rightSlider.getY() + thumbTop (g.rightSlider);
    EXPECT_TRUE (near (linked.getPixelAt (g.rightSlider.getX() + 10, rightTop + 5), linkedColour));
    EXPECT_GT (linked.getPixelAt (g.rightSlider.getX() + 11, rightTop + 16).getRed(), linkedColour.getRed() + 40);
    movePointerTo ({ 5, 5 });
}
