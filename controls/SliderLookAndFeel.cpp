#include "controls/SliderLookAndFeel.h"

#include "controls/VelkImageScaling.h"

namespace
{
bool isThumbHighlighted (juce::Slider& slider)
{
    if (! slider.isEnabled()) // false as well when a parent is disabled
        return false;

    return slider.isMouseOverOrDragging() || slider.isMouseButtonDown();
}
} // namespace

void VelkSliderLookAndFeel::drawLinearSlider (juce::Graphics& g, int x, int y, int width, int height,
                                              float sliderPos, float minSliderPos, float maxSliderPos,
                                              juce::Slider::SliderStyle style, juce::Slider& slider)
{
    drawLinearSliderThumb (g, x, y, width, height, sliderPos, minSliderPos, maxSliderPos, style, slider);
}

void VelkSliderLookAndFeel::drawLinearSliderThumb (juce::Graphics& g, int x, int y, int width, int height,
                                                   float sliderPos, float minSliderPos, float maxSliderPos,
                                                   juce::Slider::SliderStyle style, juce::Slider& slider)
{
    const bool highlighted = isThumbHighlighted (slider);

    if (style == juce::Slider::LinearHorizontal)
        return;

    if (style != juce::Slider::LinearVertical)
    {
        juce::LookAndFeel_V2::drawLinearSliderThumb (g, x, y, width, height, sliderPos,
                                                     minSliderPos, maxSliderPos, style, slider);
        return;
    }

    // Centred vertically on the slider position by the current thumb's half
    // height, whichever image is drawn.
    const auto half = (float) (currentThumb.isNull() ? 0 : currentThumb.getHeight() / 2);
    const auto top = (int) (sliderPos - half);

    const auto& image = highlighted ? linkedThumb : currentThumb;

    if (image.isNull())
        return;

    g.drawImageAt (image, x, top);
}

int VelkSliderLookAndFeel::getSliderThumbRadius (juce::Slider&)
{
    return currentThumb.isNull() ? 0 : currentThumb.getHeight() / 2;
}

void VelkSliderLookAndFeel::rescaleThumbs (int width, int height)
{
    currentThumb = rescaledPicture (currentThumbSource, width, height);
    unlinkedThumb = rescaledPicture (unlinkedThumbSource, width, height);
    linkedThumb = rescaledPicture (linkedThumbSource, width, height);

    if (linkedThumb.isNull() || ! markLinkedThumb)
        return;

    // A source that already has the wanted size comes back as the same shared
    // image (often the image cache's own copy); draw the line on a copy of it.
    if (linkedThumb == linkedThumbSource)
        linkedThumb = linkedThumb.createCopy();

    const auto w = (float) linkedThumb.getWidth();
    const auto hh = (float) linkedThumb.getHeight() / 2.0f;

    juce::Graphics g (linkedThumb);
    g.setColour (juce::Colours::red);
    g.drawLine (1.0f, hh, w - 1.0f, hh, 0.5f);
}
