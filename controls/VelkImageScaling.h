// Rescaling of the kit's pictures to a widget's current size.
#pragma once

#include <juce_graphics/juce_graphics.h>

// The picture rescaled to width x height at high quality. A null picture, or a
// size of 0 or less (no image can have one), gives a null image; a picture that
// already has the size comes back as the same shared image, not a copy.
inline juce::Image rescaledPicture (const juce::Image& source, int width, int height)
{
    if (source.isNull() || width <= 0 || height <= 0)
        return {};

    return source.rescaled (width, height, juce::Graphics::highResamplingQuality);
}
