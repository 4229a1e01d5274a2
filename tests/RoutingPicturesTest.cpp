// The routing editor built from the embedded pictures, as its owner builds it.
#include <gtest/gtest.h>

#include "RoutingTestSupport.h"
#include "VelkBinaryData.h"

namespace
{
juce::Image embeddedUnlit() { return juce::ImageCache::getFromMemory (VELKBIN::temp_binary_data_18, VELKBIN::temp_binary_data_18Size); }
juce::Image embeddedLit()   { return juce::ImageCache::getFromMemory (VELKBIN::temp_binary_data_19, VELKBIN::temp_binary_data_19Size); }

std::unique_ptr<FlexrouteDialog> makeEmbeddedEditor()
{
    return std::make_unique<FlexrouteDialog> (VELKBIN::temp_binary_data_18, VELKBIN::temp_binary_data_18Size,
                                              FlexrouteImages::cutFrom (embeddedUnlit(), embeddedLit()));
}

void expectSamePixel (const juce::Image& a, juce::Point<int> pa, const juce::Image& b, juce::Point<int> pb)
{
    const auto ca = a.getPixelAt (pa.x, pa.y);
    const auto cb = b.getPixelAt (pb.x, pb.y);
    EXPECT_NEAR (ca.getRed(), cb.getRed(), 2) << pa.toString();
    EXPECT_NEAR (ca.getGreen(), cb.getGreen(), 2) << pa.toString();
    EXPECT_NEAR (ca.getBlue(), cb.getBlue(), 2) << pa.toString();
}
// Rows of a box (picture pixels, shown at 0.7) that hold print brighter than
// the plates behind it.
int printedRows (const juce::Image& shown, juce::Rectangle<int> pictureBox)
{
    const auto box = (pictureBox.toFloat() * 0.7f).toNearestInt();
    int rows = 0;
    for (int y = box.getY(); y < box.getBottom(); ++y)
        for (int x = box.getX(); x < box.getRight(); ++x)
            if (shown.getPixelAt (x, y).getPerceivedBrightness() > 0.43f)
            {
                ++rows;
                break;
            }
    return rows;
}
} // namespace

TEST (RoutingPictures, LegendsReadableAtTheWindowsStartingSize)
{
    auto editor = makeEmbeddedEditor();
    editor->setSize (366, 309);
    const auto shown = editor->createComponentSnapshot (editor->getLocalBounds());

    // The names under the first and the last node ("WDMout1", "ASIOin6").
    EXPECT_GE (printedRows (shown, { 170, 134, 70, 23 }), 6);
    EXPECT_GE (printedRows (shown, { 420, 364, 80, 23 }), 6);
    // The editing hints under the wire colours: three lines.
    EXPECT_GE (printedRows (shown, { 24, 316, 134, 56 }), 15);
}

TEST (RoutingPictures, EditorFromEmbeddedPicturesShowsHighlightAndLitToggles)
{
    const auto unlit = embeddedUnlit();
    const auto lit = embeddedLit();
    ASSERT_EQ (unlit.getBounds(), juce::Rectangle<int> (0, 0, 524, 442));

    routingtest::EditorWindow w (makeEmbeddedEditor());
    EXPECT_EQ (w->getBounds().getWidth(), 524);
    EXPECT_EQ (w->getBounds().getHeight(), 442);
    EXPECT_EQ (w->getMuteWdmToggle().getBounds(), juce::Rectangle<int> (182, 73, 47, 30));
    EXPECT_EQ (w->getMixVirtual34Toggle().getBounds(), juce::Rectangle<int> (189, 389, 155, 31));

    auto snap = w->createComponentSnapshot (w->getLocalBounds());
    expectSamePixel (snap, { 10, 10 }, unlit, { 10, 10 });
    expectSamePixel (snap, { 205, 122 }, unlit, { 205, 122 });
    expectSamePixel (snap, { 205, 88 }, unlit, { 205, 88 });

    // The pointer over a node lights it with the highlight cut from the lit picture.
    auto& wdmOut1 = *w->findNode (kindWdm, 0, false);
    w.move (routingtest::centreOf (wdmOut1));
    snap = w->createComponentSnapshot (w->getLocalBounds());
    expectSamePixel (snap, { 205, 122 }, lit, { 108, 168 });

    // A mute toggle switched on shows its lit spot; the editor's record follows.
    w.click (routingtest::centreOf (w->getMuteWdmToggle()));
    w.leaveToBackground();
    ASSERT_TRUE (w->getMuteWdmToggle().getToggleState());
    snap = w->createComponentSnapshot (w->getLocalBounds());
    expectSamePixel (snap, { 205, 88 }, lit, { 205, 88 });
    expectSamePixel (snap, { 205, 122 }, unlit, { 205, 122 });
}
