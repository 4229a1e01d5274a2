// Rescaling of the kit's pictures to a widget's current size.
#pragma once

#include <juce_graphics/juce_graphics.h>

// The picture rescaled to width x height at high quality. A null picture, or a
// size of 0 or less (no image can have one), gives a null image; a picture that
// already has the size comes back as the same shared image, not a copy.
//
// The pixels are those of juce::Image::rescaled with high resampling quality
// (bilinear, sampled at pixel centres, eight-bit weights), computed directly
// with the sample positions worked out once per column and row instead of
// through a graphics context; pictures of a kind the direct path does not
// handle (single-channel, or not held in memory) go through the framework.
juce::Image rescaledPicture (const juce::Image& source, int width, int height);
