#include "controls/VelkImageButton.h"

VelkImageButton::VelkImageButton (const juce::String& name)
    : juce::ImageButton (name)
{
}

VelkImageButton::~VelkImageButton() = default;
