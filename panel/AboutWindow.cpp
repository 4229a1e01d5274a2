#include "panel/AboutWindow.h"
#include "VelkBinaryData.h"
#include "controls/PicturePrefetch.h"

const char* const AboutWindow::makerPageUrl = "https://www.example.com/velkwerk";

AboutWindow::AboutWindow (const juce::String& title)
    : titleText (title)
{
    closeButton = std::make_unique<juce::ImageButton> (juce::String());
    // The link is given at construction: assigning a URL later copies its
    // empty post data with memcpy from a null pointer.
    webLinkButton = std::make_unique<juce::HyperlinkButton> (juce::String(), juce::URL (makerPageUrl));

    textPosition = { 285, 181 };

    backgroundImage = cachedPicture (VELKBIN::temp_binary_data_22, VELKBIN::temp_binary_data_22Size);
    setSize (backgroundImage.getWidth(), backgroundImage.getHeight());

    const auto closeNormal = cachedPicture (VELKBIN::temp_binary_data_23, VELKBIN::temp_binary_data_23Size);
    const auto closeLit = cachedPicture (VELKBIN::temp_binary_data_21, VELKBIN::temp_binary_data_21Size);
    closeButton->setImages (true, true, true,
                            closeNormal, 1.0f, juce::Colours::transparentWhite,
                            closeLit, 1.0f, juce::Colours::transparentWhite,
                            closeLit, 1.0f, juce::Colours::transparentBlack,
                            0.0f);
    closeButton->setSize (closeNormal.getWidth(), closeNormal.getHeight());
    closeButton->setTopLeftPosition (116, 171);
    closeButton->addListener (this);
    addAndMakeVisible (closeButton.get());

    webLinkButton->setSize (140, 16);
    webLinkButton->setTopLeftPosition (67, 143);
    addAndMakeVisible (webLinkButton.get());

    // A click on the picture hands the keyboard to neither button: Return
    // would otherwise open the maker's page unasked.
    setMouseClickGrabsKeyboardFocus (false);
}

AboutWindow::~AboutWindow()
{
    closeButton->removeListener (this);
    closeButton = nullptr;
    webLinkButton = nullptr;
}

void AboutWindow::paint (juce::Graphics& g)
{
    g.setColour (juce::Colours::grey);
    g.drawRect (juce::Rectangle<float> (0.0f, 0.0f, (float) getWidth(), (float) getHeight()), 1.0f);

    if (backgroundImage.isValid())
        g.drawImageAt (backgroundImage, 0, 0);

    g.drawFittedText (titleText, textPosition.x, textPosition.y, 200, 20,
                      juce::Justification::left, 1, 0.0f);
}

void AboutWindow::buttonClicked (juce::Button* button)
{
    if (button != closeButton.get())
        return;

    // The dialog is shown without a modal state, so ending one alone would
    // leave it on screen: the close button also hides it.
    if (auto* dialog = findParentComponentOfClass<juce::DialogWindow>())
    {
        dialog->exitModalState (0);
        dialog->setVisible (false);
    }
}
