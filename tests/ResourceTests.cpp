// The embedded pictures: every one decodes from its full byte array at its size and
// PNG format, the lit variants differ from the unlit ones only where a control is
// drawn switched on, and the image cache hands out shared pixels.
#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include "VelkBinaryData.h"
#include "controls/PicturePrefetch.h"

#include <cstring>
#include <vector>

namespace
{
struct Resource
{
    const char* name;
    const unsigned char* data;
    int size;
    int width, height;
    int colourType; // 3 palette, 6 RGB with alpha
};

#define VELK_RES(n) #n, VELKBIN::n, VELKBIN::n##Size

const Resource resources[] = {
    { VELK_RES (temp_binary_data_2), 219, 290, 3 },
    { VELK_RES (temp_binary_data_3), 219, 290, 3 },
    { VELK_RES (temp_binary_data_8), 329, 435, 3 },
    { VELK_RES (temp_binary_data_9), 329, 435, 3 },
    { VELK_RES (temp_binary_data_12), 22, 33, 3 },
    { VELK_RES (temp_binary_data_13), 22, 33, 3 },
    { VELK_RES (temp_binary_data_14), 438, 580, 3 },
    { VELK_RES (temp_binary_data_15), 438, 580, 3 },
    { VELK_RES (temp_binary_data_18), 524, 442, 3 },
    { VELK_RES (temp_binary_data_19), 524, 442, 6 },
    { VELK_RES (temp_binary_data_21), 48, 17, 6 },
    { VELK_RES (temp_binary_data_22), 531, 212, 3 },
    { VELK_RES (temp_binary_data_23), 48, 17, 3 },
};

static_assert (sizeof (VELKBIN::temp_binary_data_14) == VELKBIN::temp_binary_data_14Size,
               "the byte count is the array's full length");

juce::Image load (const unsigned char* data, int size)
{
    return juce::ImageCache::getFromMemory (data, size);
}

juce::uint32 bigEndian32 (const unsigned char* p)
{
    return ((juce::uint32) p[0] << 24) | ((juce::uint32) p[1] << 16) | ((juce::uint32) p[2] << 8) | p[3];
}

// Rectangles in design pixels of the 438 x 580 panel picture.
const juce::Rectangle<int> rateButtons[] = {
    { 252, 136, 142, 47 }, { 256, 189, 138, 45 }, { 253, 241, 137, 44 },
    { 254, 291, 136, 46 }, { 253, 346, 142, 43 }, { 253, 397, 138, 46 },
};
const juce::Rectangle<int> muteButton { 77, 508, 84, 47 };

// The routing picture's cut-outs: four toggles and the node highlight.
const juce::Rectangle<int> routingCutOuts[] = {
    { 182, 73, 47, 30 }, { 356, 73, 47, 30 }, { 99, 159, 18, 18 }, { 22, 390, 155, 31 }, { 189, 390, 155, 31 },
};

juce::Rectangle<int> scaledOut (juce::Rectangle<int> r, double sx, double sy, int margin)
{
    auto x0 = (int) std::floor (r.getX() * sx) - margin, y0 = (int) std::floor (r.getY() * sy) - margin;
    auto x1 = (int) std::ceil (r.getRight() * sx) + margin, y1 = (int) std::ceil (r.getBottom() * sy) + margin;
    return { x0, y0, x1 - x0, y1 - y0 };
}

juce::Rectangle<int> scaledIn (juce::Rectangle<int> r, double sx, double sy, int margin)
{
    auto x0 = (int) std::ceil (r.getX() * sx) + margin, y0 = (int) std::ceil (r.getY() * sy) + margin;
    auto x1 = (int) std::floor (r.getRight() * sx) - margin, y1 = (int) std::floor (r.getBottom() * sy) - margin;
    return { x0, y0, x1 - x0, y1 - y0 };
}

// Pixels where the two images differ, and how many of those fall outside every allowed rectangle.
struct Diff
{
    std::vector<bool> differs;
    int width = 0;
    int outside = 0;
    juce::Point<int> firstOutside { -1, -1 };

    int countIn (juce::Rectangle<int> r) const
    {
        int n = 0;
        for (int y = r.getY(); y < r.getBottom(); ++y)
            for (int x = r.getX(); x < r.getRight(); ++x)
                n += differs[(size_t) (y * width + x)] ? 1 : 0;
        return n;
    }
};

Diff compare (const juce::Image& a, const juce::Image& b, const std::vector<juce::Rectangle<int>>& allowed)
{
    Diff d;
    d.width = a.getWidth();
    d.differs.assign ((size_t) (a.getWidth() * a.getHeight()), false);
    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
        {
            if (a.getPixelAt (x, y).getARGB() == b.getPixelAt (x, y).getARGB())
                continue;
            d.differs[(size_t) (y * d.width + x)] = true;
            bool inside = false;
            for (auto& r : allowed)
                inside = inside || r.contains (x, y);
            if (! inside && d.outside++ == 0)
                d.firstOutside = { x, y };
        }
    return d;
}

// Spread of brightness over an area: small for a plain area.
float brightnessSpread (const juce::Image& img, juce::Rectangle<int> r)
{
    float lo = 1.0f, hi = 0.0f;
    for (int y = r.getY(); y < r.getBottom(); ++y)
        for (int x = r.getX(); x < r.getRight(); ++x)
        {
            auto b = img.getPixelAt (x, y).getPerceivedBrightness();
            lo = juce::jmin (lo, b);
            hi = juce::jmax (hi, b);
        }
    return hi - lo;
}
} // namespace

TEST (Resources, EveryPictureIsACompletePngOfItsSizeAndFormat)
{
    const unsigned char signature[] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n' };
    const unsigned char iend[] = { 0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xae, 0x42, 0x60, 0x82 };

    for (auto& r : resources)
    {
        SCOPED_TRACE (r.name);
        ASSERT_GT (r.size, 45);
        EXPECT_EQ (0, memcmp (r.data, signature, sizeof (signature)));
        EXPECT_EQ (0, memcmp (r.data + 12, "IHDR", 4));
        EXPECT_EQ ((juce::uint32) r.width, bigEndian32 (r.data + 16));
        EXPECT_EQ ((juce::uint32) r.height, bigEndian32 (r.data + 20));
        EXPECT_EQ (8, r.data[24]) << "bit depth";
        EXPECT_EQ (r.colourType, r.data[25]) << "colour type";
        EXPECT_EQ (0, r.data[28]) << "interlace";
        EXPECT_EQ (0, memcmp (r.data + r.size - (int) sizeof (iend), iend, sizeof (iend))) << "ends with IEND";

        auto img = load (r.data, r.size);
        ASSERT_TRUE (img.isValid());
        EXPECT_EQ (r.width, img.getWidth());
        EXPECT_EQ (r.height, img.getHeight());
        // Pictures are opaque: an alpha channel (colour type 6) must not punch holes into the panel.
        EXPECT_EQ (255, img.getPixelAt (r.width / 2, r.height / 2).getAlpha());
    }
}

TEST (Resources, PanelPicturesLightOnlyTheButtonsAtEverySize)
{
    struct Pair { const unsigned char* unlit; int unlitSize; const unsigned char* lit; int litSize; int w, h; };
    const Pair pairs[] = {
        { VELKBIN::temp_binary_data_2, VELKBIN::temp_binary_data_2Size,
          VELKBIN::temp_binary_data_3, VELKBIN::temp_binary_data_3Size, 219, 290 },
        { VELKBIN::temp_binary_data_8, VELKBIN::temp_binary_data_8Size,
          VELKBIN::temp_binary_data_9, VELKBIN::temp_binary_data_9Size, 329, 435 },
        { VELKBIN::temp_binary_data_14, VELKBIN::temp_binary_data_14Size,
          VELKBIN::temp_binary_data_15, VELKBIN::temp_binary_data_15Size, 438, 580 },
    };

    for (auto& p : pairs)
    {
        SCOPED_TRACE (juce::String (p.w) + " x " + juce::String (p.h));
        auto unlit = load (p.unlit, p.unlitSize);
        auto lit = load (p.lit, p.litSize);
        ASSERT_TRUE (unlit.isValid() && lit.isValid());
        ASSERT_EQ (p.w, unlit.getWidth());
        ASSERT_EQ (p.w, lit.getWidth());

        const double sx = p.w / 438.0, sy = p.h / 580.0;
        std::vector<juce::Rectangle<int>> buttons (std::begin (rateButtons), std::end (rateButtons));
        buttons.push_back (muteButton);

        std::vector<juce::Rectangle<int>> allowed;
        for (auto& b : buttons)
            allowed.push_back (scaledOut (b, sx, sy, 2));

        auto d = compare (unlit, lit, allowed);
        EXPECT_EQ (0, d.outside) << "first lit pixel outside the buttons at " << d.firstOutside.toString();

        // Each button lights up over most of its face.
        for (auto& b : buttons)
        {
            auto inner = scaledIn (b, sx, sy, 2);
            auto n = d.countIn (inner);
            EXPECT_GT (n, inner.getWidth() * inner.getHeight() / 2) << "button " << b.toString();
        }
    }
}

TEST (Resources, RoutingPictureLightsOnlyTheTogglesAndTheNodeHighlight)
{
    auto unlit = load (VELKBIN::temp_binary_data_18, VELKBIN::temp_binary_data_18Size);
    auto lit = load (VELKBIN::temp_binary_data_19, VELKBIN::temp_binary_data_19Size);
    ASSERT_TRUE (unlit.isValid() && lit.isValid());

    std::vector<juce::Rectangle<int>> cutOuts (std::begin (routingCutOuts), std::end (routingCutOuts));
    auto d = compare (unlit, lit, cutOuts);
    EXPECT_EQ (0, d.outside) << "first lit pixel outside the cut-outs at " << d.firstOutside.toString();
    for (auto& c : cutOuts)
        EXPECT_GT (d.countIn (c.reduced (2)), c.reduced (2).getWidth() * c.reduced (2).getHeight() / 4)
            << "cut-out " << c.toString();

    // Both mute toggles take their normal image from the first spot: the two spots look alike.
    auto first = unlit.getClippedImage ({ 182, 73, 47, 30 });
    auto second = unlit.getClippedImage ({ 356, 73, 47, 30 });
    EXPECT_EQ (0, compare (first, second, {}).outside);
}

TEST (Resources, AboutPictureKeepsTitleAndLinkAreasPlain)
{
    auto about = load (VELKBIN::temp_binary_data_22, VELKBIN::temp_binary_data_22Size);
    ASSERT_TRUE (about.isValid());
    // The window writes its title in grey into (285, 181, 200, 20): a plain area it contrasts with.
    juce::Rectangle<int> title { 285, 181, 200, 20 };
    EXPECT_LT (brightnessSpread (about, title), 0.05f);
    auto ground = about.getPixelAt (title.getCentreX(), title.getCentreY()).getPerceivedBrightness();
    EXPECT_GT (std::abs (ground - juce::Colours::grey.getPerceivedBrightness()), 0.3f);

    // The close button's spot shows the normal close button itself.
    auto normal = load (VELKBIN::temp_binary_data_23, VELKBIN::temp_binary_data_23Size);
    auto highlighted = load (VELKBIN::temp_binary_data_21, VELKBIN::temp_binary_data_21Size);
    EXPECT_EQ (0, compare (about.getClippedImage ({ 116, 171, 48, 17 }), normal, {}).outside);
    EXPECT_GT (compare (normal, highlighted, {}).outside, 48 * 17 / 4);
}

TEST (Resources, FaderThumbsShowACentreLineAndTheMarkedOneDiffers)
{
    auto plain = load (VELKBIN::temp_binary_data_12, VELKBIN::temp_binary_data_12Size);
    auto marked = load (VELKBIN::temp_binary_data_13, VELKBIN::temp_binary_data_13Size);
    ASSERT_TRUE (plain.isValid() && marked.isValid());
    EXPECT_GT (compare (plain, marked, {}).outside, 22 * 33 / 10);

    // Row 16 (the integer half of 33) is a line of its own across the thumb, set off from the rows beside it.
    for (auto* img : { &plain, &marked })
    {
        auto centre = img->getPixelAt (11, 16);
        for (int x = 3; x < 19; ++x)
            EXPECT_EQ (centre.getARGB(), img->getPixelAt (x, 16).getARGB()) << x;
        EXPECT_GT (std::abs (centre.getPerceivedBrightness() - img->getPixelAt (11, 15).getPerceivedBrightness()), 0.3f);
    }
}

TEST (Resources, LoadingTwiceSharesTheDecodedPixels)
{
    {
        auto a = load (VELKBIN::temp_binary_data_12, VELKBIN::temp_binary_data_12Size);
        auto b = load (VELKBIN::temp_binary_data_12, VELKBIN::temp_binary_data_12Size);
        ASSERT_TRUE (a.isValid());
        EXPECT_TRUE (a == b);

        // A change drawn on one reference shows in the other; put the pixel back afterwards.
        const auto old = a.getPixelAt (0, 0);
        a.setPixelAt (0, 0, juce::Colours::magenta);
        EXPECT_EQ (juce::Colours::magenta.getARGB(), b.getPixelAt (0, 0).getARGB());
        a.setPixelAt (0, 0, old);

        // A private copy does not share them.
        auto copy = a.createCopy();
        copy.setPixelAt (0, 0, juce::Colours::magenta);
        EXPECT_EQ (old.getARGB(), b.getPixelAt (0, 0).getARGB());
    }

    // Decoded ahead on other threads (one picture taken, one never taken,
    // one asked for that the prefetch does not hold): the pixels of a plain
    // decode, shared with every later load.
    {
        juce::Image taken;
        {
            const PicturePrefetch prefetch ({ { VELKBIN::temp_binary_data_19, VELKBIN::temp_binary_data_19Size },
                                              { VELKBIN::temp_binary_data_18, VELKBIN::temp_binary_data_18Size } });
            taken = cachedPicture (VELKBIN::temp_binary_data_19, VELKBIN::temp_binary_data_19Size);
            EXPECT_TRUE (cachedPicture (VELKBIN::temp_binary_data_13, VELKBIN::temp_binary_data_13Size).isValid());
        }
        const auto plain = juce::ImageFileFormat::loadFrom (VELKBIN::temp_binary_data_19,
                                                            (size_t) VELKBIN::temp_binary_data_19Size);
        ASSERT_TRUE (taken.isValid() && plain.isValid());
        ASSERT_EQ (taken.getBounds(), plain.getBounds());
        ASSERT_EQ (taken.getFormat(), plain.getFormat());
        const juce::Image::BitmapData t (taken, juce::Image::BitmapData::readOnly);
        const juce::Image::BitmapData p (plain, juce::Image::BitmapData::readOnly);
        for (int y = 0; y < t.height; ++y)
            ASSERT_EQ (0, std::memcmp (t.getLinePointer (y), p.getLinePointer (y), (size_t) (t.width * t.pixelStride))) << y;
        EXPECT_TRUE (taken == cachedPicture (VELKBIN::temp_binary_data_19, VELKBIN::temp_binary_data_19Size));
    }
    juce::ImageCache::releaseUnusedImages();
}
