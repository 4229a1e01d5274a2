// The application object and its main window.
//
// One instance runs per user and X display: a later launch hands its command
// line to the running instance (SingleInstance) and ends. The framework's own
// guard is not used on this platform: it never delivers the command line here,
// and its lock is one for the whole machine (a file in /var/tmp), which would
// stop the same user's panel on a second display and, depending on the lock
// file's mode, let a second user's start or not.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include "controls/VelkBorderBoundsConstrainer.h"
#include "panel/FontFolder.h"
#include "panel/SingleInstance.h"
#include "panel/WindowSizeRules.h"

class MainComponent;

class QuibraApplication : public juce::JUCEApplication
{
public:
    class MainWindow : public juce::DocumentWindow
    {
    public:
        explicit MainWindow (const juce::String& name);
        ~MainWindow() override;

        void closeButtonPressed() override;
        void paint (juce::Graphics&) override;

        // The panel, when the window holds it.
        MainComponent* getPanel() const;

        // Size limits and aspect ratio of the panel picture (the content
        // below the menu bar).
        static constexpr int minWidth = 219, minHeight = 290, maxWidth = 438, maxHeight = 580;
        static constexpr int defaultWidth = 329, defaultHeight = 435;
        static constexpr double aspectRatio = 219.0 / 290.0;

        // Sets the window to the default picture size, centred on the main display.
        void centreAtDefaultSize();

        std::unique_ptr<BorderBoundsConstrainer> constrainer;

    private:
        class RoutingMenuOpener;
        std::unique_ptr<RoutingMenuOpener> routingMenuOpener;
        // Publishes the size rules to the window manager and brings back
        // sizes imposed from outside.
        std::unique_ptr<WindowKeeper> keeper;

        JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainWindow)
    };

    QuibraApplication();
    ~QuibraApplication() override;

    const juce::String getApplicationName() override;
    const juce::String getApplicationVersion() override;
    bool moreThanOneInstanceAllowed() override;
    void initialise (const juce::String& commandLine) override;
    void shutdown() override;
    void anotherInstanceStarted (const juce::String& commandLine) override;
    void systemRequestedQuit() override;

    // Our own single-instance guard in place of the framework's (see above).
    bool initialiseApp() override;

    // True when the whole command line is "/default" or "/defaults", in any
    // letter case.
    static bool isDefaultsMode (const juce::String& commandLine);

    // False for a stored window state whose numbers cannot describe a window
    // on any screen (not whole numbers, or beyond the window system's 16-bit
    // coordinates); the framework's restore would overflow on them.
    static bool isRestorableWindowState (const juce::String& state);

    // The "POS: " and "POS: Korr: " lines for a panel at position.
    static juce::String positionTraceLines (juce::Point<int> position);

    std::unique_ptr<MainWindow> mainWindow;

private:
    std::unique_ptr<SingleInstance> instanceGuard;
    std::unique_ptr<QueuedXEventDispatcher> queuedXEvents;
    std::unique_ptr<TypefacePrefetch> glyphs;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QuibraApplication)
};
