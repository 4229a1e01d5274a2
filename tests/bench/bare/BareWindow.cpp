// The reference for scripts/bench.sh: a bare JUCE window (a DocumentWindow
// with an empty component), built with the same JUCE, options and build type
// as Quibra. A right-click on it opens a second, equally bare window.
#include <juce_gui_basics/juce_gui_basics.h>

namespace
{
class BareWindow final : public juce::DocumentWindow
{
public:
    BareWindow (const juce::String& title, bool closesApp)
        : juce::DocumentWindow (title, juce::Colours::lightgrey, juce::DocumentWindow::allButtons, true),
          quitOnClose (closesApp)
    {
        setUsingNativeTitleBar (true);
        setContentOwned (new juce::Component(), false);
        setResizable (true, true);
        centreWithSize (329, 435);
    }

    void closeButtonPressed() override
    {
        if (quitOnClose)
            juce::JUCEApplication::getInstance()->systemRequestedQuit();
        else
            setVisible (false);
    }

    std::function<void()> onRightClick;

    void mouseDown (const juce::MouseEvent& e) override
    {
        if (e.mods.isPopupMenu() && onRightClick)
            onRightClick();
    }

private:
    bool quitOnClose;
};

class BareApplication final : public juce::JUCEApplication
{
public:
    const juce::String getApplicationName() override { return "Bare"; }
    const juce::String getApplicationVersion() override { return "1.0"; }

    void initialise (const juce::String&) override
    {
        main = std::make_unique<BareWindow> ("Bare window", true);
        main->onRightClick = [this]
        {
            if (second == nullptr)
                second = std::make_unique<BareWindow> ("Bare second window", false);
            second->setVisible (true);
        };
        main->getContentComponent()->addMouseListener (main.get(), false);
        main->setVisible (true);
    }

    void shutdown() override
    {
        second = nullptr;
        main = nullptr;
    }

private:
    std::unique_ptr<BareWindow> main, second;
};
} // namespace

START_JUCE_APPLICATION (BareApplication)
