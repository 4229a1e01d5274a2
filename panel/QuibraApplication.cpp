#include "panel/QuibraApplication.h"
#include "panel/MainComponent.h"
#include "panel/RaiseWindow.h"
#include "panel/StderrTrace.h"

//==============================================================================
// Offers the routing menu (the menu model's index -1) on a right-click on the
// panel's picture; the chosen item goes to the model like a menu-bar item.
class QuibraApplication::MainWindow::RoutingMenuOpener final : public juce::MouseListener
{
public:
    explicit RoutingMenuOpener (MainComponent& p) : panel (&p) { p.addMouseListener (this, true); }

    ~RoutingMenuOpener() override
    {
        if (panel != nullptr)
            panel->removeMouseListener (this);
    }

    void mouseDown (const juce::MouseEvent& e) override
    {
        if (panel == nullptr || ! e.mods.isPopupMenu())
            return;

        // The buttons, the fader pair and the menu bar keep their own clicks.
        for (auto* c = e.originalComponent; c != nullptr && c != panel.getComponent(); c = c->getParentComponent())
            if (dynamic_cast<juce::Button*> (c) != nullptr || dynamic_cast<juce::Slider*> (c) != nullptr
                || dynamic_cast<SliderStereoGroup*> (c) != nullptr || dynamic_cast<juce::MenuBarComponent*> (c) != nullptr)
                return;

        auto menu = panel->getMenuForIndex (-1, {});
        menu.setLookAndFeel (panel->menuLookAndFeel.get());

        juce::Component::SafePointer<MainComponent> target (panel);
        menu.showMenuAsync (juce::PopupMenu::Options()
                                .withTargetScreenArea (juce::Rectangle<int> (e.getScreenX(), e.getScreenY(), 1, 1)),
                            [target] (int id)
                            {
                                if (id != 0 && target != nullptr)
                                    target->menuItemSelected (id, -1);
                            });
    }

private:
    juce::Component::SafePointer<MainComponent> panel;
};

//==============================================================================
QuibraApplication::MainWindow::MainWindow (const juce::String& name)
    : juce::DocumentWindow (name, juce::Colours::lightgrey, juce::DocumentWindow::allButtons, true)
{
    setUsingNativeTitleBar (true);

    auto* panel = new MainComponent();
    setContentOwned (panel, true);
    routingMenuOpener = std::make_unique<RoutingMenuOpener> (*panel);

    constrainer = std::make_unique<BorderBoundsConstrainer>();
    setConstrainer (constrainer.get());
    constrainer->topInset = panel->menuBarHeight;
    if (auto* peer = getPeer())
        if (const auto frame = peer->getFrameSizeIfPresent())
            constrainer->frameBorder = *frame;
    constrainer->setFixedAspectRatio (aspectRatio);
    constrainer->setSizeLimits (minWidth, minHeight, maxWidth, maxHeight);
}

QuibraApplication::MainWindow::~MainWindow()
{
    routingMenuOpener = nullptr;

    // The panel goes while the window is whole; the constrainer goes before
    // the window base is torn down.
    clearContentComponent();
    constrainer = nullptr;
}

MainComponent* QuibraApplication::MainWindow::getPanel() const
{
    return dynamic_cast<MainComponent*> (getContentComponent());
}

void QuibraApplication::MainWindow::closeButtonPressed()
{
    if (auto* panel = getPanel())
        panel->savedWindowPosition (getWindowStateAsString());

    if (auto* app = juce::JUCEApplication::getInstance())
        app->systemRequestedQuit();
}

void QuibraApplication::MainWindow::centreAtDefaultSize()
{
    const int inset = constrainer != nullptr ? constrainer->topInset : 0;
    setSize (defaultWidth, defaultHeight + inset);
    centreWithSize (defaultWidth, defaultHeight + inset);
}

bool QuibraApplication::MainWindow::sizeNeedsCorrection() const
{
    if (constrainer == nullptr || isFullScreen() || isMinimised())
        return false;

    const int w = getWidth();
    const int h = getHeight() - constrainer->topInset;

    if (w < minWidth || w > maxWidth || h < minHeight || h > maxHeight)
        return true;

    // The ratio, allowing for the rounding of whole pixels.
    return std::abs (w - h * aspectRatio) > 1.0 && std::abs (h - w / aspectRatio) > 1.0;
}

void QuibraApplication::MainWindow::resized()
{
    juce::DocumentWindow::resized();

    // A window manager keeps the user's frame drags within the size hints,
    // but nothing keeps the ratio, and without a window manager a resize from
    // outside is not checked at all: bring any such size back within the
    // constrainer's rules, once the resize has been handled.
    if (correctionPending || ! isOnDesktop() || ! sizeNeedsCorrection())
        return;

    correctionPending = true;
    juce::Component::SafePointer<MainWindow> self (this);
    juce::MessageManager::callAsync ([self]
    {
        if (self == nullptr)
            return;
        self->correctionPending = false;
        if (self->sizeNeedsCorrection())
            self->constrainer->checkComponentBounds (self.getComponent());
    });
}

//==============================================================================
QuibraApplication::QuibraApplication() = default;

QuibraApplication::~QuibraApplication()
{
    mainWindow = nullptr;
}

const juce::String QuibraApplication::getApplicationName()    { return "Quibra"; }
const juce::String QuibraApplication::getApplicationVersion() { return "2.0.0.0"; }
bool QuibraApplication::moreThanOneInstanceAllowed()          { return false; }

bool QuibraApplication::isDefaultsMode (const juce::String& commandLine)
{
    return commandLine.equalsIgnoreCase ("/default") || commandLine.equalsIgnoreCase ("/defaults");
}

bool QuibraApplication::isRestorableWindowState (const juce::String& state)
{
    // The framework's format: ["fs"] x y w h ["frame" top left bottom right].
    juce::StringArray tokens;
    tokens.addTokens (state, false);
    tokens.removeEmptyStrings();
    tokens.trim();

    const int first = tokens[0].startsWithIgnoreCase ("fs") ? 1 : 0;
    const bool hasFrame = tokens[first + 4] == "frame";
    if (tokens.size() != first + (hasFrame ? 9 : 4))
        return false;

    for (int i = first; i < tokens.size(); ++i)
    {
        if (i == first + 4)
            continue;

        const auto& t = tokens[i];
        const auto digits = t.startsWithChar ('-') ? t.substring (1) : t;
        if (digits.isEmpty() || digits.length() > 6 || ! digits.containsOnly ("0123456789"))
            return false;

        const int value = t.getIntValue();
        const bool isSize = i == first + 2 || i == first + 3;
        if (value < (isSize ? 1 : -32768) || value > 32767)
            return false;
    }
    return true;
}

juce::String QuibraApplication::positionTraceLines (juce::Point<int> position)
{
    const int x = position.x, y = position.y;
    const int correctedX = x < 0 ? 0 : x;
    const int correctedY = y > 0 ? y : 30;
    return "POS: " + juce::String (x) + " " + juce::String (y) + "\n"
         + "POS: Korr: " + juce::String (correctedX) + " " + juce::String (correctedY) + "\n";
}

bool QuibraApplication::initialiseApp()
{
    if (! moreThanOneInstanceAllowed())
    {
        instanceGuard = std::make_unique<SingleInstance>();

        switch (instanceGuard->claimOrHandOff (getCommandLineParameters()))
        {
            case SingleInstance::Result::primary:
                instanceGuard->onCommandLine = [this] (const juce::String& commandLine)
                {
                    anotherInstanceStarted (commandLine);
                };
                break;

            case SingleInstance::Result::handedOff:
                instanceGuard = nullptr;
                return false;

            case SingleInstance::Result::noAnswer:
                writeStderrTrace ("Quibra: another instance holds the instance lock but does not answer; ending.\n");
                instanceGuard = nullptr;
                setApplicationReturnValue (1);
                return false;

            case SingleInstance::Result::refused:
                writeStderrTrace ("Quibra: another instance is running, but this command line cannot be handed to it "
                                  "(longer than " + juce::String (SingleInstance::maxMessageBytes)
                                  + " bytes, or not UTF-8 text); ending.\n");
                instanceGuard = nullptr;
                setApplicationReturnValue (1);
                return false;

            case SingleInstance::Result::failed:
                writeStderrTrace ("Quibra: no single-instance folder available; running without the instance guard.\n");
                instanceGuard = nullptr;
                break;
        }
    }

    initialise (getCommandLineParameters());
    return ! juce::MessageManager::getInstance()->hasStopMessageBeenSent();
}

void QuibraApplication::initialise (const juce::String& commandLine)
{
    const bool defaultsMode = isDefaultsMode (commandLine);

    auto window = std::make_unique<MainWindow> (getApplicationName() + " v" + getApplicationVersion());
    auto* panel = window->getPanel();

    if (defaultsMode && panel != nullptr)
        panel->savedWindowPosition ({});

    juce::String stored;
    if (panel != nullptr)
        if (auto* settings = panel->appProperties.getUserSettings())
            stored = settings->getValue ("WindowPosition", {});

    window->setResizable (true, true);

    if (defaultsMode || ! isRestorableWindowState (stored) || ! window->restoreWindowStateFromString (stored))
        window->centreAtDefaultSize();

    window->setVisible (true);
    mainWindow = std::move (window);

    if (panel == nullptr)
        return;

    if (defaultsMode)
    {
        panel->setFactoryDefaults();
        panel->savedWindowPosition ({});
    }
    else
    {
        writeStderrTrace (positionTraceLines (panel->getScreenPosition()));
    }
}

void QuibraApplication::shutdown()
{
    if (mainWindow != nullptr)
    {
        const auto state = mainWindow->getWindowStateAsString();
        if (auto* panel = mainWindow->getPanel())
            panel->savedWindowPosition (state);
        mainWindow = nullptr;
    }

    instanceGuard = nullptr;
}

void QuibraApplication::anotherInstanceStarted (const juce::String& commandLine)
{
    if (mainWindow == nullptr)
        return;

    auto* panel = mainWindow->getPanel();
    if (panel == nullptr)
        return;

    if (isDefaultsMode (commandLine))
    {
        panel->setFactoryDefaults();
        panel->savedWindowPosition ({});
        // Start-up in this mode centres the window; so does a later launch.
        mainWindow->centreAtDefaultSize();
    }

    panel->setVisible (true);
    mainWindow->setVisible (true);

    if (! juce::SystemStats::isRunningInAppExtensionSandbox())
    {
        if (mainWindow->isMinimised())
            mainWindow->setMinimised (false);
        raiseToFront (*mainWindow);
    }
}

void QuibraApplication::systemRequestedQuit()
{
    juce::MessageManager::getInstance()->stopDispatchLoop();
}
