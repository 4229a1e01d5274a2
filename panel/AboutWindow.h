// The About window's content: the About picture with the product title and
// version drawn on it, a close button and a link to the maker's web page.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class AboutWindow : public juce::Component,
                    public juce::Button::Listener
{
public:
    explicit AboutWindow (const juce::String& title);
    ~AboutWindow() override;

    void paint (juce::Graphics&) override;
    void buttonClicked (juce::Button*) override;

    // The maker's web page that the link opens.
    static const char* const makerPageUrl;

    juce::String titleText;
    juce::Point<int> textPosition;
    juce::Image backgroundImage;
    std::unique_ptr<juce::ImageButton> closeButton;
    std::unique_ptr<juce::HyperlinkButton> webLinkButton;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AboutWindow)
};
