#include "routing/VelkFRButton.h"

VelkFRButton::VelkFRButton (int kindToUse, int channelToUse, const juce::String& name,
                            juce::Image& normalImage, juce::Image& overImage)
    : juce::ImageButton (name), kind (kindToUse), channel (channelToUse)
{
    setImages (true, true, true,
               normalImage, 1.0f, juce::Colours::transparentWhite,
               overImage, 1.0f, juce::Colours::transparentWhite,
               normalImage, 1.0f, juce::Colours::transparentWhite,
               0.0f);
}

VelkFRButton::~VelkFRButton() = default;
