// The control panel: the main window's content. It owns every widget of the
// panel, the routing editor window, the About window, the settings store and
// the looks of its widgets, it is the model of the application's menu bar, and
// it receives the device link's events.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include <juce_data_structures/juce_data_structures.h>

#include "device/RegisterDeviceCallBacksMac.h"
#include "controls/VelkLabel.h"
#include "controls/LevelMeter2.h"
#include "controls/PicturePrefetch.h"
#include "controls/PopupMenuLookAndFeel.h"
#include "controls/SliderLookAndFeel.h"
#include "controls/SliderStereoGroup.h"

class FlexrouteDialog;
class AboutWindow;

// The command manager shared by the panel and the application. The panel
// creates it on first use and releases it when it goes away.
extern std::unique_ptr<juce::ApplicationCommandManager> applicationCommandManager;

class MainComponent : public juce::Component,
                      public juce::Button::Listener,
                      public juce::MenuBarModel,
                      public juce::ChangeBroadcaster,
                      private juce::ActionListener,
                      public juce::MultiTimer
{
public:
    MainComponent();
    ~MainComponent() override;

    void visibilityChanged() override;
    void paint (juce::Graphics&) override;
    void resized() override;
    void buttonClicked (juce::Button*) override;
    void timerCallback (int timerID) override;

    // Menu bar model (the menus and their commands live in MainComponentMenus.cpp).
    juce::StringArray getMenuBarNames() override;
    juce::PopupMenu getMenuForIndex (int topLevelMenuIndex, const juce::String& menuName) override;
    void menuBarActivated (bool isActive) override;
    void menuItemSelected (int menuItemID, int topLevelMenuIndex) override;

    // Enables the controls (interface present) or disables and clears them.
    void enabledButtons (bool enable);

    // The device link's event sink; may be called on the audio notification thread.
    static void OnApiCallback (void* owner, void* reserved, Velk_CallbackEvent event);

    // Mute off, 48000 Hz, 0 dB on both sides, then the controls read back.
    void setFactoryDefaults();
    // Factory defaults now when the interface has been found, else once it arrives.
    void setFactoryDefaultsOnceFound();
    // Writes both dB labels from the faders.
    void setLevelLabels();
    // Ticks the rate button of a rate (never notifies); other rates change nothing.
    void initSamplerateButtons (double rate, juce::NotificationType notification);
    // Stores the main window's state string under "WindowPosition".
    void savedWindowPosition (juce::String state);

    // Where the panel picture prints "FLEXROUTE": a left click there opens the
    // routing menu, like a right-click anywhere on the panel.
    juce::Rectangle<int> routingLegendArea() const;

    // The pictures a panel decodes while it is built, the slowest first: a
    // start-up decodes them on other threads meanwhile (PicturePrefetch).
    static std::vector<PicturePrefetch::Source> picturesDecodedWhenBuilt();

    // The characters a newly built panel shows (the menu names and the dB
    // labels): a start-up loads their glyphs ahead (TypefacePrefetch).
    static juce::String textShownWhenBuilt();

    // Formats a fader value for a dB label: "-63.5 dB", "0 dB" (locale-free).
    static juce::String levelText (double value);

    enum TimerIds
    {
        timerChangeGuard = 4096,
        timerRefreshFromDevice = 4100
    };

    // Members; declaration order is release order in reverse.
    VelkdBLabelLookAndFeel dbLabelLookAndFeel;
    juce::ApplicationProperties appProperties;

    std::unique_ptr<juce::ImageButton> rateButton44, rateButton48, rateButton88,
                                       rateButton96, rateButton176, rateButton192;
    std::unique_ptr<juce::ImageButton> muteButton;
    std::unique_ptr<SliderStereoGroup> sliderGroup;
    std::unique_ptr<juce::Label> leftLevelLabel, rightLevelLabel;
    std::unique_ptr<LevelMeter2> levelMeter1, levelMeter2;
    std::unique_ptr<juce::MenuBarComponent> menuBar;
    std::unique_ptr<PopupMenuLookandFeel> menuLookAndFeel;

    std::unique_ptr<juce::DialogWindow> flexrouteWindow;
    std::unique_ptr<FlexrouteDialog> flexrouteDialog;
    std::unique_ptr<juce::DialogWindow> aboutDialogWindow;
    std::unique_ptr<AboutWindow> aboutWindow;

    int menuBarHeight = 0;
    VelkSliderLookAndFeel faderLookAndFeel;
    juce::Image backgroundNormal, backgroundDown;
    bool changeGuard = false;
    // Set: the next arrival of the interface applies the factory defaults.
    bool factoryDefaultsOnArrival = false;
    double backgroundDesignWidth = 0.0, backgroundDesignHeight = 0.0;

    // The routing preset file chooser while one is open (MainComponentMenus.cpp).
    std::unique_ptr<juce::FileChooser> presetChooser;

private:
    void actionListenerCallback (const juce::String& message) override;

    void buildDialogWindows();
    // Renames a settings file the store must not read or replace to a backup
    // beside it ("<name>.unreadable") and says so on standard error.
    static void keepSettingsFileAside (const juce::File& file);
    juce::Array<juce::ImageButton*> panelButtons() const;

    // Device values.
    void synchroniseSampleRate();
    void readVolumesFromDevice();
    void readMuteFromDevice();
    void writeVolumesToDevice();
    // Sets changeGuard until 50 ms after this call.
    void startChangeGuard();
    // (Re)starts the one refresh from the device, delayMs from now.
    void startRefresh (int delayMs);

    // When the last user change (re)started the guard.
    juce::uint32 changeGuardStartMs = 0;
    // When the pending refresh was (re)started, and its delay.
    juce::uint32 refreshStartMs = 0;
    int refreshDelayMs = 0;
    // A refresh left the volumes, mute and labels alone under the guard; they
    // are read back when the guard ends.
    bool readBackAfterGuard = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainComponent)
};
