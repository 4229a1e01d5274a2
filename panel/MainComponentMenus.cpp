// The panel's menus: the menu bar model ("File", "Config", "Help", and the
// routing menu of index -1) and the commands of their items.
#include "panel/MainComponent.h"
#include "panel/AboutWindow.h"
#include "panel/FlexroutePreset.h"
#include "panel/MenuPlacement.h"
#include "panel/RaiseWindow.h"
#include "panel/mac_call.h"
#include "device/hw_sendFlexroute.h"
#include "routing/FRDialog.h"

namespace
{
enum MenuIds
{
    idAlwaysOnTop = 8192,
    idAudioSettings = 8193,
    idClose = 8194,
    idFactoryDefaults = 8195,
    idFlexroute = 8196,
    idAbout = 8197,
    idRate44 = 8448,
    idRate48 = 8449,
    idRate88 = 8450,
    idRate96 = 8451,
    idRate176 = 8452,
    idRate192 = 8453,
    idPresetLoad = 9216,
    idPresetSave = 9217,
    idRoutingReset = 9218
};

const char* const lastPresetPathKey = "LastFRSettingsFilePath";

juce::File settingsFolder()
{
    return juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory).getChildFile ("Quibra");
}

void refusePreset (const juce::String& title, const juce::String& message)
{
    juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::WarningIcon, title, message);
}

// The chooser starts next to the preset saved or loaded last.
void rememberPresetPath (MainComponent& panel, const juce::File& file)
{
    if (auto* settings = panel.appProperties.getUserSettings())
        settings->setValue (lastPresetPathKey, file.getFullPathName());
}

// Places a dialog window at bounds (its content area), then moves it the least
// distance that keeps it, with the frame its window manager gave it, on the
// usable area of the monitor nearest to it: a window opened off the screen
// could be neither seen nor moved back.
void placeOnMonitor (juce::Component& window, juce::Rectangle<int> bounds)
{
    const auto& displays = juce::Desktop::getInstance().getDisplays();
    if (const auto* display = displays.getDisplayForPoint (bounds.getCentre()))
    {
        auto area = display->userArea;
        if (auto* peer = window.getPeer())
            if (const auto frame = peer->getFrameSizeIfPresent())
                area = frame->subtractedFrom (area);

        bounds = MenuPlacement::keptInside (bounds, area);
    }

    window.setBounds (bounds);
}

juce::StringArray topMenuNames()
{
    return { "File", "Config", "Help" };
}
} // namespace

//==============================================================================
juce::StringArray MainComponent::getMenuBarNames()
{
    return topMenuNames();
}

juce::String MainComponent::textShownWhenBuilt()
{
    return topMenuNames().joinIntoString (" ") + levelText (-63.5) + "0123456789";
}

juce::PopupMenu MainComponent::getMenuForIndex (int topLevelMenuIndex, const juce::String&)
{
    juce::PopupMenu menu;

    switch (topLevelMenuIndex)
    {
        case 0:
        {
            auto* parent = getParentComponent();
            menu.addItem (idAlwaysOnTop, "Always on top", true, parent != nullptr && parent->isAlwaysOnTop());
            menu.addSeparator();
            menu.addItem (idAudioSettings, "macOS Audio Settings");
            menu.addSeparator();
            menu.addItem (idClose, "Close");
            break;
        }

        case 1:
        {
            menu.addItem (idFactoryDefaults, "Factory Defaults");
            menu.addSeparator();

            juce::PopupMenu rates;
            rates.addItem (idRate44, "44100  Hz", true, rateButton44->getToggleState());
            rates.addItem (idRate48, "48000  Hz", true, rateButton48->getToggleState());
            rates.addItem (idRate88, "88200  Hz", true, rateButton88->getToggleState());
            rates.addItem (idRate96, "96000  Hz", true, rateButton96->getToggleState());
            rates.addItem (idRate176, "176400 Hz", true, rateButton176->getToggleState());
            rates.addItem (idRate192, "192000 Hz", true, rateButton192->getToggleState());
            menu.addSubMenu ("Sample rate", rates);
            break;
        }

        case 2:
            menu.addItem (idAbout, "About");
            break;

        case -1:
        {
            menu.addItem (idFlexroute, "FlexROUTE");
            menu.addSeparator();

            juce::PopupMenu presets;
            presets.addItem (idPresetLoad, "FlexROUTE preset");
            menu.addSubMenu ("Load", presets);
            presets.clear();
            menu.addSeparator();
            presets.addItem (idPresetSave, "FlexROUTE preset");
            menu.addSubMenu ("Save", presets);
            menu.addSeparator();
            menu.addItem (idRoutingReset, "Reset");
            break;
        }

        default:
            break;
    }

    return menu;
}

//==============================================================================
void MainComponent::menuItemSelected (int menuItemID, int)
{
    sendChangeMessage();

    switch (menuItemID)
    {
        case idAlwaysOnTop:
            if (auto* parent = getParentComponent())
                parent->setAlwaysOnTop (! parent->isAlwaysOnTop());
            break;

        case idAudioSettings:
            mac_call::callAudioMidiSetup();
            break;

        case idClose:
            if (auto* app = juce::JUCEApplication::getInstance())
                app->systemRequestedQuit();
            break;

        case idFactoryDefaults:
            setFactoryDefaults();
            break;

        case idFlexroute:
            if (flexrouteDialog != nullptr)
                flexrouteDialog->clearFRConnections();
            hw_sendFlexroute (nullptr);

            if (flexrouteWindow != nullptr)
            {
                // Placed before it is shown, as About is: a window manager
                // takes the place of a window it is mapping, while a shown
                // window moved at once may land by its frame's width off it.
                const auto monitor = getParentMonitorArea();
                placeOnMonitor (*flexrouteWindow, MenuPlacement::routingWindowBounds (
                    getScreenPosition(), getWidth(), monitor.getWidth(),
                    { flexrouteWindow->getWidth(), flexrouteWindow->getHeight() }));
                raiseToFront (*flexrouteWindow);
            }
            break;

        case idAbout:
            if (aboutDialogWindow != nullptr)
            {
                placeOnMonitor (*aboutDialogWindow, MenuPlacement::aboutWindowBounds (
                    getScreenBounds(), { aboutDialogWindow->getWidth(), aboutDialogWindow->getHeight() }));
                // Already so since its construction; making it so again
                // would rebuild its native window.
                if (aboutDialogWindow->isResizable())
                    aboutDialogWindow->setResizable (false, false);

                raiseToFront (*aboutDialogWindow);
            }
            break;

        case idRate44:  rateButton44->triggerClick();  break;
        case idRate48:  rateButton48->triggerClick();  break;
        case idRate88:  rateButton88->triggerClick();  break;
        case idRate96:  rateButton96->triggerClick();  break;
        case idRate176: rateButton176->triggerClick(); break;
        case idRate192: rateButton192->triggerClick(); break;

        case idPresetLoad:
        case idPresetSave:
            PresetCommands::choose (*this, menuItemID == idPresetSave);
            break;

        case idRoutingReset:
            if (flexrouteDialog != nullptr)
                flexrouteDialog->clearFRConnections();
            hw_sendFlexroute (nullptr);
            break;

        default:
            break;
    }

    menuItemsChanged();
}

//==============================================================================
namespace PresetCommands
{
juce::File lastFolder (MainComponent& panel)
{
    juce::String stored = settingsFolder().getFullPathName();
    if (auto* settings = panel.appProperties.getUserSettings())
        stored = settings->getValue (lastPresetPathKey, stored);

    auto f = juce::File::isAbsolutePath (stored) ? juce::File (stored) : settingsFolder();
    while (! f.isDirectory() && f.getParentDirectory() != f)
        f = f.getParentDirectory();
    return f;
}

void choose (MainComponent& panel, bool save)
{
    // One chooser at a time.
    if (panel.flexrouteDialog == nullptr || panel.presetChooser != nullptr)
        return;

    const auto title = save ? juce::String ("Select or create file to save the settings")
                            : juce::String ("Select preset file");
    panel.presetChooser = std::make_unique<juce::FileChooser> (title, lastFolder (panel),
                                                               FlexroutePreset::filePattern, false);

    const int flags = save ? juce::FileBrowserComponent::saveMode | juce::FileBrowserComponent::canSelectFiles
                                 | juce::FileBrowserComponent::warnAboutOverwriting
                           : juce::FileBrowserComponent::openMode | juce::FileBrowserComponent::canSelectFiles;

    juce::Component::SafePointer<MainComponent> target (&panel);
    panel.presetChooser->launchAsync (flags, [target, save] (const juce::FileChooser& chooser)
    {
        const auto file = chooser.getResult();
        if (target == nullptr)
            return;

        // The chooser is released once this call has returned.
        juce::MessageManager::callAsync ([target]
        {
            if (target != nullptr)
                target->presetChooser = nullptr;
        });

        if (file == juce::File())
            return;

        if (! save)
        {
            PresetCommands::load (*target, file);
            return;
        }

        // A name typed without the suffix gets it (added, so "studio.v2"
        // stays "studio.v2"). The chooser only warned about the name as
        // typed, so replacing a preset under the completed name is asked for.
        const auto presetFile = file.hasFileExtension (FlexroutePreset::fileSuffix)
                                    ? file
                                    : file.getSiblingFile (file.getFileName() + FlexroutePreset::fileSuffix);
        if (presetFile == file || ! presetFile.exists())
        {
            PresetCommands::save (*target, presetFile);
            return;
        }

        juce::AlertWindow::showOkCancelBox (juce::MessageBoxIconType::QuestionIcon, "Replace FlexROUTE preset?",
                                            presetFile.getFileName() + " already exists. Do you want to replace it?",
                                            "Replace", "Cancel", nullptr,
                                            juce::ModalCallbackFunction::create ([target, presetFile] (int result)
                                            {
                                                if (result != 0 && target != nullptr)
                                                    PresetCommands::save (*target, presetFile);
                                            }));
    });
}

bool save (MainComponent& panel, const juce::File& file)
{
    if (panel.flexrouteDialog == nullptr)
        return false;

    juce::String error;
    if (! FlexroutePreset::fromEditor (*panel.flexrouteDialog).writeFile (file, error))
    {
        refusePreset ("FlexROUTE preset not saved", error);
        return false;
    }

    rememberPresetPath (panel, file);
    return true;
}

bool load (MainComponent& panel, const juce::File& file)
{
    if (panel.flexrouteDialog == nullptr)
        return false;

    FlexroutePreset preset;
    juce::String error;
    if (! FlexroutePreset::readFile (file, preset, error) || ! preset.applyTo (*panel.flexrouteDialog, error))
    {
        refusePreset ("FlexROUTE preset not loaded", file.getFileName() + ": " + error);
        return false;
    }

    rememberPresetPath (panel, file);
    return true;
}
} // namespace PresetCommands
