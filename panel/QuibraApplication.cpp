#include "panel/QuibraApplication.h"
#include "panel/FontFolder.h"
#include "panel/MainComponent.h"
#include "panel/RaiseWindow.h"
#include "panel/StderrTrace.h"

//==============================================================================
// Offers the routing menu (the menu model's index -1) on a right-click anywhere
// on the panel, its controls included, and on a left click on the printed
// "FLEXROUTE" legend, where the pointer turns into a hand. The menu bar keeps
// its own clicks. The menu opens on the press and is modal: the control under
// the pointer is released at once and never sees the rest of the click, so a
// right-click presses, toggles or drags nothing. The chosen item goes to the
// model like a menu-bar item.
class QuibraApplication::MainWindow::RoutingMenuOpener final : public juce::MouseListener
{
public:
    explicit RoutingMenuOpener (MainComponent& p) : panel (&p) { p.addMouseListener (this, true); }

    ~RoutingMenuOpener() override
    {
        if (panel != nullptr)
            panel->removeMouseListener (this);
    }

    void mouseMove (const juce::MouseEvent& e) override
    {
        if (panel != nullptr && e.originalComponent == panel.getComponent())
            panel->setMouseCursor (onLegend (e) ? juce::MouseCursor::PointingHandCursor
                                                : juce::MouseCursor::NormalCursor);
    }

    void mouseDown (const juce::MouseEvent& e) override
    {
        if (panel == nullptr)
            return;

        if (e.mods.isPopupMenu())
        {
            for (auto* c = e.originalComponent; c != nullptr && c != panel.getComponent(); c = c->getParentComponent())
                if (dynamic_cast<juce::MenuBarComponent*> (c) != nullptr)
                    return;
        }
        else if (! (e.mods.isLeftButtonDown() && e.originalComponent == panel.getComponent() && onLegend (e)))
        {
            return;
        }

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
    bool onLegend (const juce::MouseEvent& e) const
    {
        return panel->routingLegendArea().contains (e.getEventRelativeTo (panel.getComponent()).getPosition());
    }

    juce::Component::SafePointer<MainComponent> panel;
};

//==============================================================================
QuibraApplication::MainWindow::MainWindow (const juce::String& name)
    : juce::DocumentWindow (name, juce::Colours::lightgrey, juce::DocumentWindow::allButtons, false)
{
    // Every setting that makes the toolkit rebuild the native window comes
    // before the window goes on the desktop, so only one native window is made.
    setUsingNativeTitleBar (true);

    auto* panel = new MainComponent();
    setContentOwned (panel, true);
    routingMenuOpener = std::make_unique<RoutingMenuOpener> (*panel);

    constrainer = std::make_unique<BorderBoundsConstrainer>();
    setConstrainer (constrainer.get());
    constrainer->topInset = panel->menuBarHeight;
    constrainer->setFixedAspectRatio (aspectRatio);
    constrainer->setSizeLimits (minWidth, minHeight, maxWidth, maxHeight);
    setResizable (true, true);

    keeper = std::make_unique<WindowKeeper> (*this, WindowSizeRules { minWidth, minHeight, maxWidth, maxHeight,
                                                                        minWidth, minHeight, panel->menuBarHeight });
    addToDesktop();

    if (auto* peer = getPeer())
        if (const auto frame = peer->getFrameSizeIfPresent())
            constrainer->frameBorder = *frame;
}

QuibraApplication::MainWindow::~MainWindow()
{
    routingMenuOpener = nullptr;
    keeper = nullptr;

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

void QuibraApplication::MainWindow::paint (juce::Graphics& g)
{
    juce::DocumentWindow::paint (g);
    if (keeper != nullptr)
        keeper->windowPainted();
}

//==============================================================================
QuibraApplication::QuibraApplication()
{
    FontFolder::useOwnFolder();
}

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

    // The panel's pictures are decoded, and the glyphs of its first frame
    // loaded, on other threads while the toolkit opens its display connection
    // (with the desktop) and the windows are built.
    const PicturePrefetch pictures (MainComponent::picturesDecodedWhenBuilt());
    glyphs = std::make_unique<TypefacePrefetch> (MainComponent::textShownWhenBuilt());
    juce::Desktop::getInstance();
    glyphs->install();

    auto window = std::make_unique<MainWindow> (getApplicationName() + " v" + getApplicationVersion());
    queuedXEvents = std::make_unique<QueuedXEventDispatcher> (*window);
    auto* panel = window->getPanel();

    if (defaultsMode && panel != nullptr)
        panel->savedWindowPosition ({});

    juce::String stored;
    if (panel != nullptr)
        if (auto* settings = panel->appProperties.getUserSettings())
            stored = settings->getValue ("WindowPosition", {});

    // A state that cannot be a window is not restored at all. Its ending is the
    // window manager's frame of the last run, which the toolkit would take off
    // the position before the window is framed again; the window keeps its own
    // place once framed, so the frame stays out.
    const bool restorable = isRestorableWindowState (stored);
    stored = stored.upToFirstOccurrenceOf (" frame ", false, false);

    if (defaultsMode || ! restorable || ! window->restoreWindowStateFromString (stored))
        window->centreAtDefaultSize();

    window->setVisible (true);
    mainWindow = std::move (window);

    if (panel == nullptr)
        return;

    if (defaultsMode)
    {
        // The device link finds the interface on the message loop, after this.
        panel->setFactoryDefaultsOnceFound();
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
        queuedXEvents = nullptr;
        mainWindow = nullptr;
    }

    queuedXEvents = nullptr;
    glyphs = nullptr;
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
