// Application entry point.
#include <juce_gui_basics/juce_gui_basics.h>

class QuibraApplication final : public juce::JUCEApplication
{
public:
    const juce::String getApplicationName() override { return "Quibra"; }
    const juce::String getApplicationVersion() override { return "2.0.0.0"; }
    bool moreThanOneInstanceAllowed() override { return false; }

    void initialise (const juce::String&) override
    {
        window = std::make_unique<juce::DocumentWindow> ("Quibra v2.0.0.0", juce::Colours::black,
                                                         juce::DocumentWindow::closeButton);
        window->setUsingNativeTitleBar (true);
        window->centreWithSize (329, 435);
        window->setVisible (true);
    }

    void shutdown() override { window = nullptr; }
    void systemRequestedQuit() override { quit(); }

private:
    std::unique_ptr<juce::DocumentWindow> window;
};

START_JUCE_APPLICATION (QuibraApplication)
