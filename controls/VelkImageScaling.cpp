// Rescaling of the kit's pictures: a direct bilinear resampler whose pixels
// match the framework's software renderer drawing the picture scaled with
// high resampling quality.
#include "controls/VelkImageScaling.h"

#include <cstring>
#include <vector>

#if defined(__SSE2__)
 #include <emmintrin.h>
#endif

namespace
{
// Where one output pixel samples the source along one axis: the source
// position in 1/256 pixel, split into the whole pixel and the fraction, and
// whether a neighbour on the far side exists (inside: position in
// [0, last - 1]).
struct Sample
{
    int pixel;      // clamped to the picture
    unsigned frac;  // 0..255
    bool inside;
};

Sample sampleAt (int hiRes, int last)
{
    const int whole = hiRes >> 8;
    const auto frac = (unsigned) (hiRes & 255);

    if (whole >= 0 && whole < last)
        return { whole, frac, true };

    return { whole < 0 ? 0 : last, frac, false };
}

// Positions of count output pixels spread evenly from start to end (in
// 1/256 pixel) with whole steps, the remainder distributed as a line drawer
// does: the k-th is start + offset + k * step + ceil ((k + 1) * rem / count) - 1
// with rem in (0, count].
void spreadPositions (int start, int end, int count, int offset, std::vector<int>& out)
{
    const int distance = end - start;
    int step = distance / count;
    int rem = distance % count;

    if (rem <= 0)
    {
        rem += count;
        --step;
    }

    out.resize ((size_t) count);
    int value = start + offset;
    int error = rem - count;

    for (int k = 0; k < count; ++k)
    {
        out[(size_t) k] = value;
        error += rem;
        value += step;

        if (error > 0)
        {
            error -= count;
            ++value;
        }
    }
}

// Source positions (1/256 pixel) of the output columns, as the renderer
// fills a row: the first pixel on its own, the run up to the last pixel, and
// the last pixel on its own (the edges of the scaled picture's outline), each
// piece stepping evenly from its own start to its own end.
std::vector<int> columnPositions (int width, const juce::AffineTransform& inverse)
{
    std::vector<int> positions, piece;
    const int pieces[][2] = { { 0, 1 }, { 1, width - 2 }, { width - 1, 1 } };

    for (auto [first, count] : pieces)
    {
        if (count <= 0 || first < (int) positions.size())
            continue;

        float x1 = (float) first + 0.5f, y1 = 0.5f;
        float x2 = x1 + (float) count, y2 = y1;
        inverse.transformPoints (x1, y1, x2, y2);
        spreadPositions ((int) (x1 * 256.0f), (int) (x2 * 256.0f), count, -128, piece);
        positions.insert (positions.end(), piece.begin(), piece.end());
    }

    return positions;
}

// The renderer's bilinear sample, (32768 + sum of the four weights (256 - fx or
// fx) * (256 - fy or fy) times the pixels) >> 16, is taken in two exact steps:
// along the row, h = (256 - fx) * left + fx * right (at most 65280), then
// across rows, (32768 + (256 - fy) * h0 + fy * h1) >> 16. Beyond the picture's
// last column the sample repeats the edge pixel (h = 256 * pixel); beyond its
// last row it takes one row, (128 * 256 + h) >> 16, which is the renderer's
// two-pixel edge average and its corner copy.
template <int channels>
void resampleRows (const juce::Image::BitmapData& src, juce::Image::BitmapData& dst,
                   const juce::AffineTransform& inverse)
{
    const int width = dst.width;
    const int lastX = src.width - 1;
    const int lastY = src.height - 1;
    const int pixelStride = src.pixelStride;

    struct Column
    {
        int offset;
        int next;
        unsigned frac;
    };

    std::vector<Column> columns;
    for (int position : columnPositions (width, inverse))
    {
        const auto s = sampleAt (position, lastX);
        columns.push_back ({ s.pixel * pixelStride, s.inside ? pixelStride : 0, s.inside ? s.frac : 0u });
    }

   #if defined(__SSE2__)
    // Per column, the two pixels' weights laid out as the bytes of the two
    // pixels are: channels lanes of 256 - fx, then channels lanes of fx.
    struct Lanes
    {
        alignas (16) juce::uint16 lane[8];
    };

    std::vector<Lanes> weights (columns.size(), Lanes {});
    for (size_t x = 0; x < columns.size(); ++x)
    {
        for (int k = 0; k < channels; ++k)
        {
            weights[x].lane[k] = (juce::uint16) (256 - columns[x].frac);
            weights[x].lane[channels + k] = (juce::uint16) columns[x].frac;
        }
    }
   #endif

    // Rows of the source sampled along x, the two most recent kept (with
    // room for the four lanes the last pixel's store writes).
    const auto rowLength = (size_t) (width * channels + 4);
    std::vector<juce::uint16> rows[2] { std::vector<juce::uint16> (rowLength), std::vector<juce::uint16> (rowLength) };
    int rowIndex[2] = { -1, -1 };
    int older = 0;

    const auto sampledRow = [&] (int sourceRow) -> const juce::uint16*
    {
        for (int i = 0; i < 2; ++i)
            if (rowIndex[i] == sourceRow)
                return rows[i].data();

        auto* h = rows[older].data();
        const auto* line = src.getLinePointer (sourceRow);

       #if defined(__SSE2__)
        // Both pixels' bytes side by side, widened to 16 bits, weighted, and
        // the second pixel's lanes added onto the first's. The loads read four
        // bytes, one past a three-byte pixel: inside the picture on every row
        // but the last, which takes the plain loop below.
        if (channels == 4 || sourceRow < lastY)
        {
            const auto zero = _mm_setzero_si128();

            for (size_t x = 0; x < columns.size(); ++x, h += channels)
            {
                const auto* p = line + columns[x].offset;
                juce::uint32 first, second;
                std::memcpy (&first, p, 4);
                std::memcpy (&second, p + columns[x].next, 4);

                const auto packed = channels == 4 ? (juce::uint64) first | ((juce::uint64) second << 32)
                                                  : (juce::uint64) (first & 0xffffffu) | ((juce::uint64) second << 24);
                const auto wide = _mm_unpacklo_epi8 (_mm_cvtsi64_si128 ((long long) packed), zero);
                const auto weighted = _mm_mullo_epi16 (wide, _mm_load_si128 (reinterpret_cast<const __m128i*> (weights[x].lane)));
                const auto other = channels == 4 ? _mm_srli_si128 (weighted, 8) : _mm_srli_si128 (weighted, 6);
                _mm_storel_epi64 (reinterpret_cast<__m128i*> (h), _mm_add_epi16 (weighted, other));
            }
        }
        else
       #endif
        {
            for (const auto& c : columns)
            {
                const auto* p = line + c.offset;

                for (int k = 0; k < channels; ++k)
                    *h++ = (juce::uint16) ((256 - c.frac) * p[k] + c.frac * p[c.next + k]);
            }
        }

        rowIndex[older] = sourceRow;
        const auto* result = rows[older].data();
        older ^= 1;
        return result;
    };

    const int count = width * channels;

    for (int y = 0; y < dst.height; ++y)
    {
        // A scale keeps each row at one source height.
        float x1 = 0.5f, y1 = (float) y + 0.5f;
        inverse.transformPoint (x1, y1);
        const auto cy = sampleAt ((int) (y1 * 256.0f) - 128, lastY);
        auto* out = dst.getLinePointer (y);

        // Output pixels of the row are contiguous channels (stride = channels).
        if (cy.inside)
        {
            const auto* h0 = sampledRow (cy.pixel);
            const auto* h1 = sampledRow (cy.pixel + 1);
            const unsigned w0 = 256 - cy.frac, w1 = cy.frac;

            for (int i = 0; i < count; ++i)
                out[i] = (juce::uint8) ((32768u + w0 * h0[i] + w1 * h1[i]) >> 16);
        }
        else
        {
            const auto* h = sampledRow (cy.pixel);

            for (int i = 0; i < count; ++i)
                out[i] = (juce::uint8) ((32768u + 256u * h[i]) >> 16);
        }
    }
}

} // namespace

juce::Image rescaledPicture (const juce::Image& source, int width, int height)
{
    if (source.isNull() || width <= 0 || height <= 0)
        return {};

    if (source.getWidth() == width && source.getHeight() == height)
        return source;

    const auto format = source.getFormat();

    if (format != juce::Image::RGB && format != juce::Image::ARGB)
        return source.rescaled (width, height, juce::Graphics::highResamplingQuality);

    const auto inverse = juce::AffineTransform::scale ((float) width / (float) source.getWidth(),
                                                       (float) height / (float) source.getHeight())
                             .inverted();

    const juce::Image::BitmapData src (source, juce::Image::BitmapData::readOnly);
    juce::Image result (format, width, height, false, *source.getPixelData()->createType());
    juce::Image::BitmapData dst (result, juce::Image::BitmapData::writeOnly);

    if (src.pixelStride != (format == juce::Image::RGB ? 3 : 4) || dst.pixelStride != src.pixelStride)
        return source.rescaled (width, height, juce::Graphics::highResamplingQuality);

    if (format == juce::Image::RGB)
        resampleRows<3> (src, dst, inverse);
    else
        resampleRows<4> (src, dst, inverse);

    return result;
}
