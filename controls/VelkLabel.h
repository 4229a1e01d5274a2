// Look for the dB read-out labels: the font is the largest whole-pixel height,
// from 20 pixels down, at which a fixed reference text fits the label's width,
// so the read-out keeps one size whatever value it shows.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class VelkdBLabelLookAndFeel : public juce::LookAndFeel_V4
{
public:
    VelkdBLabelLookAndFeel();
    ~VelkdBLabelLookAndFeel() override = default;

    juce::Font getLabelFont (juce::Label& label) override;

    // Font used for measuring (its typeface and style are the owner's choice);
    // left at the height of the last measurement.
    juce::Font labelFont;
    // The text that has to fit into the label.
    juce::String referenceText;
};
