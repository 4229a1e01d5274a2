// Rounding, picture rescaling, the main-window constrainer, the dB label look and the menu-bar look.
#include <gtest/gtest.h>
#include <cstdlib>

#include "ControlsTestSupport.h"
#include "controls/PopupMenuLookAndFeel.h"
#include "controls/VelkBorderBoundsConstrainer.h"
#include "controls/VelkImageScaling.h"
#include "controls/VelkLabel.h"
#include "controls/VelkRounding.h"
#include "VelkBinaryData.h"

using namespace controlstest;

namespace
{
// A typeface whose glyphs have exactly known advances: 'a' is half the font
// height wide, 'b' a little more, so text widths are exact multiples.
juce::Typeface::Ptr measuredTypeface()
{
    auto* face = new juce::CustomTypeface();
    face->setCharacteristics ("Measured", 0.8f, false, false, ' ');
    face->addGlyph ('a', juce::Path(), 0.5f);
    face->addGlyph ('b', juce::Path(), 30.2f / 60.0f);
    return juce::Typeface::Ptr (face);
}

// The same pixels as the framework's high-quality rescale: byte for byte,
// except that where the framework's scaled picture ends a hair short of the
// last column or row it blends that pixel over the image's initial memory;
// there a difference of two levels is allowed.
::testing::AssertionResult likeTheFramework (const juce::Image& source, int w, int h)
{
    const auto a = rescaledPicture (source, w, h);
    const auto b = source.rescaled (w, h, juce::Graphics::highResamplingQuality);

    if (a.getFormat() != b.getFormat() || a.getBounds() != b.getBounds())
        return ::testing::AssertionFailure() << "format or size differs at " << w << "x" << h;

    const juce::Image::BitmapData da (a, juce::Image::BitmapData::readOnly), db (b, juce::Image::BitmapData::readOnly);

    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w * da.pixelStride; ++x)
            if (std::abs (da.getLinePointer (y)[x] - db.getLinePointer (y)[x]) > (y == h - 1 || x / da.pixelStride == w - 1 ? 2 : 0))
                return ::testing::AssertionFailure() << "byte " << x << " of row " << y << " differs at " << w << "x" << h;

    return ::testing::AssertionSuccess();
}

void applyMainWindowLimits (juce::ComponentBoundsConstrainer& c)
{
    c.setFixedAspectRatio (219.0 / 290.0);
    c.setSizeLimits (219, 290, 438, 580);
}
} // namespace

TEST (ControlsRounding, HalvesGoToTheEvenNeighbour)
{
    EXPECT_EQ (roundHalfEven (2.5), 2);
    EXPECT_EQ (roundHalfEven (3.5), 4);
    EXPECT_EQ (roundHalfEven (0.5), 0);
    EXPECT_EQ (roundHalfEven (1.5), 2);
    EXPECT_EQ (roundHalfEven (-0.5), 0);
    EXPECT_EQ (roundHalfEven (-2.5), -2);
    EXPECT_EQ (roundHalfEven (-3.5), -4);
    EXPECT_EQ (roundHalfEven (2.4999), 2);
    EXPECT_EQ (roundHalfEven (2.5001), 3);
    EXPECT_EQ (roundHalfEven (-2.6), -3);
    EXPECT_EQ (roundHalfEven (330.0 * 0.5), 165);
    EXPECT_EQ (roundHalfEven (std::nan ("")), 0);

    // The same as the framework's integer conversion the layout relies on.
    for (int i = -400; i <= 400; ++i)
        EXPECT_EQ (roundHalfEven (i * 0.25), juce::roundToInt (i * 0.25)) << i * 0.25;
}

// The kit's rescale gives exactly the framework's high-quality pixels: the
// panel backgrounds at every width the main window allows, pictures with
// alpha and the thumbs down and up; other formats go through the framework.
TEST (ControlsImageScaling, SamePixelsAsTheFrameworksHighQualityRescale)
{
    const auto picture = [] (const unsigned char* data, int size) { return juce::ImageCache::getFromMemory (data, size); };
    const auto check = [] (const juce::Image& source, int w, int h) { EXPECT_TRUE (likeTheFramework (source, w, h)); };

    const auto small = picture (VELKBIN::temp_binary_data_3, VELKBIN::temp_binary_data_3Size);
    const auto medium = picture (VELKBIN::temp_binary_data_8, VELKBIN::temp_binary_data_8Size);
    const auto large = picture (VELKBIN::temp_binary_data_15, VELKBIN::temp_binary_data_15Size);

    for (int w = 219; w <= 438; ++w)
        check (w <= 228 ? small : w <= 329 ? medium : large, w, juce::roundToInt (w * 290.0 / 219.0) - w % 2);

    const auto lit = picture (VELKBIN::temp_binary_data_19, VELKBIN::temp_binary_data_19Size);
    ASSERT_EQ (lit.getFormat(), juce::Image::ARGB);
    for (auto [w, h] : { std::pair { 300, 253 }, { 700, 590 }, { 524, 300 }, { 1, 1 } })
        check (lit, w, h);

    const auto thumb = picture (VELKBIN::temp_binary_data_13, VELKBIN::temp_binary_data_13Size);
    for (auto [w, h] : { std::pair { 11, 16 }, { 17, 25 }, { 30, 45 } })
        check (thumb, w, h);

    juce::Image mask (juce::Image::SingleChannel, 20, 10, true);
    mask.setPixelAt (3, 4, juce::Colours::white);
    check (mask, 13, 7);
    EXPECT_TRUE (rescaledPicture (lit, 524, 442) == lit);
    EXPECT_TRUE (rescaledPicture (lit, 0, 5).isNull());
}

TEST (ControlsConstrainer, WithoutFrameTheSizeIsTheBaseClassSize)
{
    BorderBoundsConstrainer ours;
    juce::ComponentBoundsConstrainer base;
    applyMainWindowLimits (ours);
    applyMainWindowLimits (base);

    const juce::Rectangle<int> previous (100, 80, 301, 400);
    const juce::Rectangle<int> limits (0, 0, 1280, 1024);
    const juce::Rectangle<int> proposals[] = { { 100, 80, 100, 100 }, { 90, 70, 500, 700 },
                                               { 100, 80, 330, 300 }, { 120, 60, 250, 420 } };

    for (const auto& proposal : proposals)
    {
        for (int flags = 0; flags < 16; ++flags)
        {
            auto a = proposal;
            auto b = proposal;
            ours.checkBounds (a, previous, limits, flags & 1, flags & 2, flags & 4, flags & 8);
            base.checkBounds (b, previous, limits, flags & 1, flags & 2, flags & 4, flags & 8);
            EXPECT_EQ (a.getWidth(), b.getWidth()) << proposal.toString() << " flags " << flags;
            EXPECT_EQ (a.getHeight(), b.getHeight()) << proposal.toString() << " flags " << flags;
        }
    }
}

TEST (ControlsConstrainer, KeepsTheCornerWithoutFlagAndCentresWithOne)
{
    BorderBoundsConstrainer c;
    applyMainWindowLimits (c);
    c.setMinimumOnscreenAmounts (1000, 1000, 1000, 1000); // the base class would move the window

    const juce::Rectangle<int> limits (0, 0, 1280, 1024);
    juce::Rectangle<int> moved (-500, -400, 300, 400);
    c.checkBounds (moved, { 10, 10, 300, 400 }, limits, false, false, false, false);
    EXPECT_EQ (moved.getPosition(), juce::Point<int> (-500, -400));
    EXPECT_EQ (moved.getWidth(), 300);

    // Any stretched edge: centred on the previous bounds, with truncating halves.
    for (int flag = 0; flag < 4; ++flag)
    {
        juce::Rectangle<int> r (100, 50, 100, 100);
        const juce::Rectangle<int> previous (100, 50, 301, 399);
        c.checkBounds (r, previous, limits, flag == 0, flag == 1, flag == 2, flag == 3);
        EXPECT_EQ (r.getWidth(), 219);
        EXPECT_EQ (r.getHeight(), 290);
        EXPECT_EQ (r.getX(), 100 + 150 - 109) << flag; // 141
        EXPECT_EQ (r.getY(), 50 + 199 - 145) << flag;  // 104
    }
}

TEST (ControlsConstrainer, LimitsBoundTheContentInsideTheFrame)
{
    BorderBoundsConstrainer c;
    applyMainWindowLimits (c);
    c.frameBorder = juce::BorderSize<int> (28, 0, 0, 0);

    juce::Rectangle<int> r (40, 30, 100, 100);
    c.checkBounds (r, { 40, 30, 219, 318 }, { 0, 0, 1280, 1024 }, false, false, false, false);
    EXPECT_EQ (r, juce::Rectangle<int> (40, 30, 219, 318));

    // Largest content plus a frame on every side and a top inset.
    c.frameBorder = juce::BorderSize<int> (20, 3, 5, 7);
    c.topInset = 12;
    juce::Rectangle<int> big (0, 0, 2000, 2000);
    c.checkBounds (big, { 0, 0, 500, 700 }, { 0, 0, 1280, 1024 }, false, false, false, false);
    EXPECT_EQ (big.getWidth(), 438 + 3 + 7);
    EXPECT_EQ (big.getHeight(), 580 + 12 + 20 + 5);

    // An inset taller than what is left of the proposal still comes back whole.
    c.frameBorder = juce::BorderSize<int> (28, 0, 0, 0);
    c.topInset = 50;
    juce::Rectangle<int> flat (10, 10, 219, 60);
    c.checkBounds (flat, { 10, 10, 219, 368 }, { 0, 0, 1280, 1024 }, false, false, false, false);
    EXPECT_EQ (flat, juce::Rectangle<int> (10, 10, 219, 290 + 50 + 28));
}

TEST (ControlsConstrainer, ResizesARealWindowAboutItsCentre)
{
    juce::Component window;
    OnScreen shown (window, { 100, 100, 301, 399 });

    BorderBoundsConstrainer c;
    applyMainWindowLimits (c);
    c.setBoundsForComponent (&window, { 100, 100, 120, 130 }, false, false, true, true);
    testsupport::pumpFor (50);

    EXPECT_EQ (window.getScreenBounds(), juce::Rectangle<int> (141, 154, 219, 290)); // 100 + 199 - 145
}

TEST (ControlsLabelLook, LargestHeightAtWhichTheReferenceTextFits)
{
    VelkdBLabelLookAndFeel look;
    EXPECT_FLOAT_EQ (look.labelFont.getHeight(), 8.0f);
    EXPECT_EQ (look.referenceText, "-63.5 dB");

    look.labelFont = juce::Font (measuredTypeface());
    look.referenceText = "aaaa"; // 2 n pixels wide at height n

    juce::Label label;
    for (auto [width, expected] : { std::pair<int, float> { 24, 12.0f }, { 23, 11.0f }, { 2, 1.0f },
                                    { 40, 20.0f }, { 39, 19.0f }, { 1000, 20.0f } })
    {
        label.setSize (width, 20);
        const auto font = look.getLabelFont (label);
        EXPECT_FLOAT_EQ (font.getHeight(), expected) << "width " << width;
        EXPECT_FLOAT_EQ (look.labelFont.getHeight(), expected) << "width " << width;
        EXPECT_EQ (font.getTypefaceName(), juce::Font().getTypefaceName());
    }

    // Too narrow for any height: the search ends with the smallest font.
    for (int width : { 0, 1 })
    {
        label.setSize (width, 20);
        EXPECT_FLOAT_EQ (look.getLabelFont (label).getHeight(), 0.1f) << "width " << width;
    }
}

// The framework lists the fonts of the panel's own family only (as set up by
// the test program like the application), whatever else the machine has.
TEST (ControlsLabelLook, FontsComeFromTheOwnFolderOnly)
{
    auto names = juce::Font::findAllTypefaceNames();
    ASSERT_FALSE (names.isEmpty());
    for (auto& name : names)
        EXPECT_TRUE (name.startsWith ("DejaVu")) << name;
    EXPECT_EQ (juce::Font().getTypefacePtr()->getName(), "DejaVu Sans");
    EXPECT_EQ (std::getenv ("JUCE_FONT_PATH"), nullptr);
}

TEST (ControlsLabelLook, DefaultFontSizeDependsOnlyOnWidth)
{
    VelkdBLabelLookAndFeel look;
    const juce::Font plain;

    juce::Label a ({}, "-0.0 dB"), b ({}, "-63.5 dB -63.5 dB -63.5 dB");
    for (int width : { 30, 45, 60, 81, 200 })
    {
        a.setSize (width, 30);
        b.setSize (width, 10);
        const auto ha = look.getLabelFont (a).getHeight();
        EXPECT_FLOAT_EQ (look.getLabelFont (b).getHeight(), ha);

        EXPECT_LE (plain.withHeight (ha).getStringWidthFloat ("-63.5 dB"), (float) width);
        if (ha < 20.0f)
        {
            EXPECT_GT (plain.withHeight (ha + 1.0f).getStringWidthFloat ("-63.5 dB"), (float) width);
        }
    }
}

TEST (ControlsLabelLook, ThreadWithoutTheLockGetsTheLastHeight)
{
    VelkdBLabelLookAndFeel look;
    juce::Label label;
    label.setSize (24, 20);
    look.labelFont = juce::Font (measuredTypeface());
    look.referenceText = "aaaa";
    ASSERT_FLOAT_EQ (look.getLabelFont (label).getHeight(), 12.0f);

    struct Caller : juce::Thread
    {
        Caller (VelkdBLabelLookAndFeel& l, juce::Label& lab) : juce::Thread ("label font"), look (l), label (lab) {}
        void run() override
        {
            signalThreadShouldExit(); // so the lock is given up rather than waited for
            height = look.getLabelFont (label).getHeight();
        }
        VelkdBLabelLookAndFeel& look;
        juce::Label& label;
        float height = -1.0f;
    } caller (look, label);

    label.setSize (1000, 20); // would give 20 if the search ran
    caller.startThread();
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return ! caller.isThreadRunning(); }));
    EXPECT_FLOAT_EQ (caller.height, 12.0f);
}

TEST (ControlsLabelLook, WiderLabelShowsTallerTextInARealWindow)
{
    VelkdBLabelLookAndFeel look;
    juce::Component window;
    juce::Label narrow ({}, "-12.0 dB"), wide ({}, "-12.0 dB");
    for (auto* l : { &narrow, &wide })
    {
        l->setLookAndFeel (&look);
        l->setJustificationType (juce::Justification::centred);
        l->setColour (juce::Label::textColourId, juce::Colours::black);
        window.addAndMakeVisible (l);
    }
    narrow.setBounds (0, 0, 40, 40);
    wide.setBounds (0, 50, 200, 40);

    {
        OnScreen shown (window, { 50, 50, 220, 100 });

        auto inkRows = [] (juce::Label& l)
        {
            const auto img = l.createComponentSnapshot (l.getLocalBounds(), true, 1.0f);
            int first = -1, last = -1;
            for (int y = 0; y < img.getHeight(); ++y)
                for (int x = 0; x < img.getWidth(); ++x)
                    if (img.getPixelAt (x, y).getAlpha() > 128)
                    {
                        if (first < 0) first = y;
                        last = y;
                        break;
                    }
            return first < 0 ? 0 : last - first + 1;
        };

        const int small = inkRows (narrow), large = inkRows (wide);
        EXPECT_GT (small, 0);
        EXPECT_GT (large, small + 4); // 20-pixel text against a text of a few pixels
    }

    narrow.setLookAndFeel (nullptr);
    wide.setLookAndFeel (nullptr);
}

namespace
{
struct MeasuredMenuLook : PopupMenuLookandFeel
{
    juce::Font getMenuBarFont (juce::MenuBarComponent&, int, const juce::String&) override
    {
        return juce::Font (measuredTypeface()).withHeight (20.0f);
    }
};

struct TwoMenus : juce::MenuBarModel
{
    juce::StringArray getMenuBarNames() override { return { "File", "Help" }; }
    juce::PopupMenu getMenuForIndex (int, const juce::String&) override { return {}; }
    void menuItemSelected (int, int) override {}
};
} // namespace

TEST (ControlsMenuBarLook, ItemWidthIsTextRoundedUpPlusTwenty)
{
    MeasuredMenuLook look;
    TwoMenus model;
    juce::MenuBarComponent bar (&model);
    bar.setSize (300, 24);

    EXPECT_EQ (look.getMenuBarItemWidth (bar, 0, ""), 20);
    EXPECT_EQ (look.getMenuBarItemWidth (bar, 0, "aaa"), 50); // exactly 30.0 pixels
    EXPECT_EQ (look.getMenuBarItemWidth (bar, 1, "bbb"), 51); // 30.2 pixels
    EXPECT_EQ (look.getMenuBarItemWidth (bar, 1, "aaaa"), 60);
    bar.setModel (nullptr);
}

TEST (ControlsMenuBarLook, ItemsLookTheSameWhateverTheMouseDoes)
{
    PopupMenuLookandFeel look;
    TwoMenus model;
    juce::MenuBarComponent bar (&model);
    bar.setSize (200, 24);

    auto render = [&] (const juce::String& text, int width, bool over, bool open, bool overBar)
    {
        juce::Image img (juce::Image::ARGB, width, 24, true);
        juce::Graphics g (img);
        look.drawMenuBarBackground (g, width, 24, overBar, bar);
        look.drawMenuBarItem (g, width, 24, 0, text, over, open, overBar, bar);
        return img;
    };

    const auto plain = render ("File", 60, false, false, false);
    EXPECT_EQ (plain.getPixelAt (0, 0).getARGB(), 0xFFD3D3D3u);
    EXPECT_EQ (plain.getPixelAt (59, 23).getARGB(), 0xFFD3D3D3u);

    int dark = 0;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 60; ++x)
        {
            const auto c = plain.getPixelAt (x, y);
            EXPECT_EQ (c.getRed(), c.getBlue()); // grey to black only, no coloured highlight
            dark += c.getBrightness() < 0.2f ? 1 : 0;
        }
    EXPECT_GT (dark, 10);

    for (auto flags : { 1, 2, 3, 4, 7 })
    {
        const auto other = render ("File", 60, flags & 1, flags & 2, flags & 4);
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 60; ++x)
                ASSERT_EQ (other.getPixelAt (x, y).getARGB(), plain.getPixelAt (x, y).getARGB()) << flags;
    }

    // A text wider than its item is cut, not shortened with an ellipsis.
    const auto cut = render ("Wwwwwwwwwwwwww", 40, false, false, false);
    juce::Image ellipsis (juce::Image::ARGB, 40, 24, true);
    {
        juce::Graphics g (ellipsis);
        look.drawMenuBarBackground (g, 40, 24, false, bar);
        g.setColour (juce::Colours::black);
        g.drawText ("Wwwwwwwwwwwwww", juce::Rectangle<float> (0, 0, 40, 24), juce::Justification::centred, true);
    }
    bool differs = false;
    for (int y = 0; y < 24 && ! differs; ++y)
        for (int x = 0; x < 40 && ! differs; ++x)
            differs = cut.getPixelAt (x, y) != ellipsis.getPixelAt (x, y);
    EXPECT_TRUE (differs);
    bar.setModel (nullptr);
}

TEST (ControlsMenuBarLook, RealMenuBarIsLightGreyWithBlackNames)
{
    PopupMenuLookandFeel look;
    TwoMenus model;
    juce::MenuBarComponent bar (&model);
    bar.setLookAndFeel (&look);

    {
        OnScreen shown (bar, { 60, 60, 200, 24 });
        const auto img = bar.createComponentSnapshot (bar.getLocalBounds(), true, 1.0f);
        EXPECT_EQ (img.getPixelAt (0, 0).getARGB(), 0xFFD3D3D3u);
        EXPECT_EQ (img.getPixelAt (199, 23).getARGB(), 0xFFD3D3D3u);

        // "File" is centred in the first item, whose width is its text plus 20.
        const int fileWidth = look.getMenuBarItemWidth (bar, 0, "File");
        int minX = 1000, maxX = -1;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < fileWidth; ++x)
                if (img.getPixelAt (x, y).getBrightness() < 0.3f)
                {
                    minX = std::min (minX, x);
                    maxX = std::max (maxX, x);
                }
        ASSERT_GE (maxX, 0);
        EXPECT_GE (minX, 8);
        EXPECT_LE (maxX, fileWidth - 8);
    }

    bar.setLookAndFeel (nullptr);
    bar.setModel (nullptr);
}
