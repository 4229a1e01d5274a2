#include "controls/VelkLabel.h"

namespace
{
constexpr int largestHeight = 20;
constexpr float smallestHeight = 0.1f;
} // namespace

VelkdBLabelLookAndFeel::VelkdBLabelLookAndFeel()
{
    labelFont.setHeight (8.0f);
    referenceText = "-63.5 dB";
}

juce::Font VelkdBLabelLookAndFeel::getLabelFont (juce::Label& label)
{
    const juce::MessageManagerLock lock (juce::Thread::getCurrentThread());

    if (! lock.lockWasGained())
        return labelFont;

    const auto labelWidth = (float) label.getWidth();

    int n = largestHeight;
    labelFont.setHeight ((float) n);
    auto textWidth = labelFont.getStringWidthFloat (referenceText);

    // Step down one pixel at a time. Once the height has reached the smallest
    // font there is nothing left to try, so a label too narrow even for that
    // (a zero width, say) ends the search with the smallest font.
    while (textWidth > labelWidth && n > 0)
    {
        --n;
        labelFont.setHeight (n < 1 ? smallestHeight : (float) n);
        textWidth = labelFont.getStringWidthFloat (referenceText);
    }

    return juce::Font (n > 0 ? (float) n : smallestHeight);
}
