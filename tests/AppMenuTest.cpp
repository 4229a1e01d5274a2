// The panel's menu model and menu commands, on a panel in a real window with
// the simulated interface present.
#include "PanelTestSupport.h"
#include "panel/AboutWindow.h"
#include "panel/FlexroutePreset.h"
#include "panel/MenuPlacement.h"
#include "platform/SimulatedInterface.h"
#include "routing/DeviceMixerState.h"
#include "routing/FRDialog.h"

#include <sys/stat.h>

using paneltest::PanelWindow;

namespace
{
struct Item
{
    int id;
    juce::String text;
    bool ticked, enabled, separator, hasSubMenu;
};

std::vector<Item> itemsOf (const juce::PopupMenu& menu)
{
    std::vector<Item> items;
    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
    {
        auto& i = it.getItem();
        items.push_back ({ i.itemID, i.text, i.isTicked, i.isEnabled, i.isSeparator, i.subMenu != nullptr });
    }
    return items;
}

const juce::PopupMenu* subMenuOf (const juce::PopupMenu& menu, const juce::String& name)
{
    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
        if (it.getItem().text == name)
            return it.getItem().subMenu.get();
    return nullptr;
}

// Ticked items' ids of a menu.
std::vector<int> tickedIds (const juce::PopupMenu& menu)
{
    std::vector<int> ids;
    for (auto& i : itemsOf (menu))
        if (i.ticked)
            ids.push_back (i.id);
    return ids;
}

struct ChangeCounter : juce::MenuBarModel::Listener
{
    void menuBarItemsChanged (juce::MenuBarModel*) override { ++count; }
    void menuCommandInvoked (juce::MenuBarModel*, const juce::ApplicationCommandTarget::InvocationInfo&) override {}
    int count = 0;
};

// A panel in a window, with the interface arrived and the controls enabled.
struct LivePanel
{
    LivePanel()
    {
        sim::reset();
        window = std::make_unique<PanelWindow>();
        EXPECT_TRUE (testsupport::pumpUntil ([&] { return panel().rateButton48->isEnabled()
                                                          && panel().rateButton48->getToggleState(); }, 15000))
            << "the simulated interface did not arrive";
    }
    ~LivePanel()
    {
        juce::PopupMenu::dismissAllActiveMenus();
        window = nullptr;
        sim::reset();
    }
    MainComponent& panel() { return *window->panel; }
    std::unique_ptr<PanelWindow> window;
};

void closeAlertWindows()
{
    for (int i = juce::Desktop::getInstance().getNumComponents(); --i >= 0;)
        if (auto* alert = dynamic_cast<juce::AlertWindow*> (juce::Desktop::getInstance().getComponent (i)))
            alert->exitModalState (0);
    testsupport::pumpFor (50);
}

juce::AlertWindow* findAlertWindow()
{
    for (int i = 0; i < juce::Desktop::getInstance().getNumComponents(); ++i)
        if (auto* alert = dynamic_cast<juce::AlertWindow*> (juce::Desktop::getInstance().getComponent (i)))
            return alert;
    return nullptr;
}

// The preset chooser that a menu command opened, and the file browser in it;
// either is null when it did not appear.
struct OpenChooser
{
    juce::FileChooserDialogBox* box = nullptr;
    juce::FileBrowserComponent* browser = nullptr;
};

OpenChooser waitForChooser()
{
    OpenChooser chooser;
    testsupport::pumpUntil ([&]
    {
        for (int i = 0; i < juce::Desktop::getInstance().getNumComponents(); ++i)
            if ((chooser.box = dynamic_cast<juce::FileChooserDialogBox*> (juce::Desktop::getInstance().getComponent (i))))
                return true;
        return false;
    });

    std::function<void (juce::Component&)> find = [&] (juce::Component& c)
    {
        if (auto* b = dynamic_cast<juce::FileBrowserComponent*> (&c))
            chooser.browser = b;
        for (auto* child : c.getChildren())
            find (*child);
    };
    if (chooser.box != nullptr)
        find (*chooser.box);
    return chooser;
}

} // namespace

TEST (AppMenuModel, NamesLabelsIdsAndSeparators)
{
    PanelWindow w;
    auto& p = *w.panel;

    EXPECT_EQ (p.getMenuBarNames(), juce::StringArray ({ "File", "Config", "Help" }));

    const auto file = itemsOf (p.getMenuForIndex (0, "File"));
    ASSERT_EQ (file.size(), 5u);
    EXPECT_EQ (file[0].id, 8192);
    EXPECT_EQ (file[0].text, "Always on top");
    EXPECT_TRUE (file[1].separator);
    EXPECT_EQ (file[2].id, 8193);
    EXPECT_EQ (file[2].text, "macOS Audio Settings");
    EXPECT_TRUE (file[3].separator);
    EXPECT_EQ (file[4].id, 8194);
    EXPECT_EQ (file[4].text, "Close");

    const auto configMenu = p.getMenuForIndex (1, "Config");
    const auto config = itemsOf (configMenu);
    ASSERT_EQ (config.size(), 3u);
    EXPECT_EQ (config[0].id, 8195);
    EXPECT_EQ (config[0].text, "Factory Defaults");
    EXPECT_TRUE (config[1].separator);
    EXPECT_EQ (config[2].text, "Sample rate");
    EXPECT_TRUE (config[2].hasSubMenu);
    EXPECT_TRUE (config[2].enabled);

    const auto* rates = subMenuOf (configMenu, "Sample rate");
    ASSERT_NE (rates, nullptr);
    const auto rateItems = itemsOf (*rates);
    const std::pair<int, const char*> expectedRates[] = { { 8448, "44100  Hz" }, { 8449, "48000  Hz" },
                                                          { 8450, "88200  Hz" }, { 8451, "96000  Hz" },
                                                          { 8452, "176400 Hz" }, { 8453, "192000 Hz" } };
    ASSERT_EQ (rateItems.size(), 6u);
    for (size_t i = 0; i < 6; ++i)
    {
        EXPECT_EQ (rateItems[i].id, expectedRates[i].first);
        EXPECT_EQ (rateItems[i].text, expectedRates[i].second);
        EXPECT_EQ (rateItems[i].text.length(), 9);
        EXPECT_TRUE (rateItems[i].enabled);
    }

    const auto help = itemsOf (p.getMenuForIndex (2, "Help"));
    ASSERT_EQ (help.size(), 1u);
    EXPECT_EQ (help[0].id, 8197);
    EXPECT_EQ (help[0].text, "About");

    const auto routingMenu = p.getMenuForIndex (-1, {});
    const auto routing = itemsOf (routingMenu);
    ASSERT_EQ (routing.size(), 7u);
    EXPECT_EQ (routing[0].id, 8196);
    EXPECT_EQ (routing[0].text, "FlexROUTE");
    EXPECT_TRUE (routing[1].separator);
    EXPECT_EQ (routing[2].text, "Load");
    EXPECT_TRUE (routing[3].separator);
    EXPECT_EQ (routing[4].text, "Save");
    EXPECT_TRUE (routing[5].separator);
    EXPECT_EQ (routing[6].id, 9218);
    EXPECT_EQ (routing[6].text, "Reset");

    for (auto [name, id] : { std::pair<const char*, int> { "Load", 9216 }, { "Save", 9217 } })
    {
        const auto* sub = subMenuOf (routingMenu, name);
        ASSERT_NE (sub, nullptr) << name;
        const auto subItems = itemsOf (*sub);
        ASSERT_EQ (subItems.size(), 1u) << name;
        EXPECT_EQ (subItems[0].id, id);
        EXPECT_EQ (subItems[0].text, "FlexROUTE preset");
    }

    for (int other : { 3, -2, 100 })
        EXPECT_EQ (p.getMenuForIndex (other, {}).getNumItems(), 0) << other;
}

TEST (AppMenuModel, TicksFollowTheRateButtonsAndTheWindow)
{
    PanelWindow w;
    auto& p = *w.panel;
    auto rateTicks = [&]
    {
        const auto config = p.getMenuForIndex (1, {});
        return tickedIds (*subMenuOf (config, "Sample rate"));
    };

    // No button on: no tick.
    for (auto* b : paneltest::allButtons (p))
        b->setToggleState (false, juce::dontSendNotification);
    EXPECT_TRUE (rateTicks().empty());

    // The tick follows the button, whichever it is.
    p.rateButton176->setToggleState (true, juce::dontSendNotification);
    EXPECT_EQ (rateTicks(), std::vector<int> { 8452 });
    p.rateButton44->setToggleState (true, juce::dontSendNotification);
    EXPECT_EQ (rateTicks(), std::vector<int> { 8448 });

    // "Always on top" follows the window; without a parent, unticked.
    EXPECT_TRUE (tickedIds (p.getMenuForIndex (0, {})).empty());
    w.window->setAlwaysOnTop (true);
    EXPECT_EQ (tickedIds (p.getMenuForIndex (0, {})), std::vector<int> { 8192 });
    w.window->setAlwaysOnTop (false);
}

// A panel without a parent: "Always on top" is unticked and its command does
// nothing. (One panel at a time, as in the program: a panel going away
// releases the shared command manager.)
TEST (AppMenuModel, AlwaysOnTopWithoutAWindowDoesNothing)
{
    MainComponent bare;
    EXPECT_TRUE (tickedIds (bare.getMenuForIndex (0, {})).empty());
    bare.menuItemSelected (8192, 0);
    EXPECT_FALSE (bare.isAlwaysOnTop());
}

TEST (AppMenuCommands, AlwaysOnTopTogglesAndEveryCommandRebuildsTheMenus)
{
    PanelWindow w;
    auto& p = *w.panel;
    ChangeCounter counter;
    p.addListener (&counter);

    EXPECT_FALSE (w.window->isAlwaysOnTop());
    p.menuItemSelected (8192, 0);
    EXPECT_TRUE (w.window->isAlwaysOnTop());
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return counter.count >= 1; }));
    EXPECT_EQ (tickedIds (p.getMenuForIndex (0, {})), std::vector<int> { 8192 });

    p.menuItemSelected (8192, 0);
    EXPECT_FALSE (w.window->isAlwaysOnTop());
    EXPECT_TRUE (tickedIds (p.getMenuForIndex (0, {})).empty());

    // Unknown ids only rebuild the menus.
    counter.count = 0;
    p.menuItemSelected (0, 0);
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return counter.count >= 1; }));
    counter.count = 0;
    p.menuItemSelected (12345, 1);
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return counter.count >= 1; }));
    EXPECT_FALSE (w.window->isAlwaysOnTop());

    p.removeListener (&counter);
}

TEST (AppMenuCommands, RateItemsClickTheButtonsAndFactoryDefaultsResets)
{
    LivePanel live;
    auto& p = live.panel();

    // A rate item clicks its button later, through the message loop; the
    // interface follows.
    p.menuItemSelected (8451, 1);
    EXPECT_FALSE (p.rateButton96->getToggleState()); // not yet: the click is posted
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return p.rateButton96->getToggleState(); }));
    EXPECT_EQ (paneltest::tickedRate (p), 96000);
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return tickedIds (*subMenuOf (p.getMenuForIndex (1, {}), "Sample rate"))
                                                      == std::vector<int> { 8451 }; }));

    // The button's click sets the interface's rate.
    const auto out = sim::interfaceOutputDevice();
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return sim::nominalSampleRate (out) == 96000.0; }, 10000));

    p.menuItemSelected (8453, 1);
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return paneltest::tickedRate (p) == 192000; }));
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return sim::nominalSampleRate (out) == 192000.0; }, 10000));

    // Factory defaults: back to 48000 Hz.
    p.menuItemSelected (8195, 1);
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return paneltest::tickedRate (p) == 48000; }));

    // With the controls disabled a posted click is dropped.
    p.enabledButtons (false);
    p.menuItemSelected (8448, 1);
    testsupport::pumpFor (300);
    EXPECT_FALSE (p.rateButton44->getToggleState());
}

TEST (AppMenuCommands, FlexrouteOpensBesideThePanelAndResetClears)
{
    LivePanel live;
    auto& p = live.panel();
    auto& editor = *p.flexrouteDialog;

    FlexrouteSettings wired;
    wired.wires = { { 3, 0, 2, 2 }, { 0, 1, 0, 4 } };
    wired.muteAsio = true;
    ASSERT_TRUE (editor.applySettings (wired));
    ASSERT_EQ (editor.getSettings().wires.size(), 2u);

    // "Reset" clears the wires, hands the record off and leaves the window
    // hidden. The hand-off alternates between an empty and a one-wire record,
    // so each command's hand-off shows as a change of it.
    p.menuItemSelected (9218, -1);
    EXPECT_TRUE (editor.getSettings().wires.empty());
    EXPECT_FALSE (p.flexrouteWindow->isVisible());
    const bool clearAfterReset = isMixerStateClear (MyDeviceMixer);

    // "FlexROUTE" clears again, shows the window and puts it beside the panel.
    ASSERT_TRUE (editor.applySettings (wired));
    live.window->window->setTopLeftPosition (20, 30);
    testsupport::pumpFor (100);
    const auto size = p.flexrouteWindow->getBounds().getBottomRight() - p.flexrouteWindow->getPosition();
    p.menuItemSelected (8196, -1);
    EXPECT_TRUE (editor.getSettings().wires.empty());
    EXPECT_TRUE (p.flexrouteWindow->isVisible());
    EXPECT_NE (isMixerStateClear (MyDeviceMixer), clearAfterReset);
    const auto expected = MenuPlacement::routingWindowBounds (p.getScreenPosition(), p.getWidth(),
                                                              p.getParentMonitorArea().getWidth(), size);
    EXPECT_EQ (p.flexrouteWindow->getBounds(), expected);
    EXPECT_EQ (expected.getX(), p.getScreenPosition().x + p.getWidth()); // near the left edge: right side
    EXPECT_EQ (expected.getY(), p.getScreenPosition().y);

    // Near the right edge of the monitor it goes to the left.
    const auto monitorWidth = p.getParentMonitorArea().getWidth();
    live.window->window->setTopLeftPosition (monitorWidth - p.getWidth() - 10, 30);
    testsupport::pumpFor (100);
    p.menuItemSelected (8196, -1);
    EXPECT_EQ (p.flexrouteWindow->getX(), p.getScreenPosition().x - size.x);
    EXPECT_EQ (p.flexrouteWindow->getWidth(), size.x);
    EXPECT_EQ (isMixerStateClear (MyDeviceMixer), clearAfterReset);

    // With the panel reaching past the right edge the sum above puts the
    // window off the monitor: it is moved back just inside.
    const auto userArea = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay()->userArea;
    live.window->window->setTopLeftPosition (userArea.getRight() - p.getWidth() + 40, 30);
    testsupport::pumpFor (100);
    p.menuItemSelected (8196, -1);
    EXPECT_EQ (p.flexrouteWindow->getBounds(),
               juce::Rectangle<int> (userArea.getRight() - size.x, p.getScreenY(), size.x, size.y));
    p.flexrouteWindow->setVisible (false);
}

TEST (AppMenuCommands, AboutOpensBelowThePanelCornerClosesAndReopens)
{
    LivePanel live;
    auto& p = live.panel();
    auto& about = *p.aboutDialogWindow;
    const auto size = about.getBounds().getBottomRight() - about.getPosition();

    p.menuItemSelected (8197, 2);
    EXPECT_TRUE (about.isVisible());
    EXPECT_FALSE (about.isResizable());
    EXPECT_EQ (about.getBounds(), juce::Rectangle<int> (p.getScreenX(), p.getScreenY() + 50, size.x, size.y));

    // Its close button closes it...
    p.aboutWindow->closeButton->triggerClick();
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return ! about.isVisible(); }));

    // ... and it opens again, kept on the monitor when the panel sits low;
    // Escape closes it too.
    const auto userArea = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay()->userArea;
    live.window->window->setTopLeftPosition (20, userArea.getBottom() - 100);
    testsupport::pumpFor (100);
    p.menuItemSelected (8197, 2);
    EXPECT_TRUE (about.isVisible());
    EXPECT_EQ (about.getBounds(), juce::Rectangle<int> (p.getScreenX(), userArea.getBottom() - size.y, size.x, size.y));
    EXPECT_TRUE (static_cast<juce::Component&> (about).keyPressed (juce::KeyPress (juce::KeyPress::escapeKey)));
    EXPECT_FALSE (about.isVisible());
}

TEST (AppMenuCommands, AudioSettingsStartsTheProgram)
{
    PanelWindow w;
    testsupport::TempFolder temp;
    const auto& dir = temp.folder;
    const auto marker = dir.getChildFile ("started");
    const auto program = dir.getChildFile ("audio-settings");
    program.replaceWithText ("#!/bin/sh\ntouch '" + marker.getFullPathName() + "'\n", false, false, "\n");
    ::chmod (program.getFullPathName().toRawUTF8(), 0755);

    std::string err;
    {
        testsupport::ScopedEnv chosen ("QUIBRA_AUDIO_SETTINGS_PROGRAM", program.getFullPathName());
        testing::internal::CaptureStderr();
        w.panel->menuItemSelected (8193, 0);
        err = testing::internal::GetCapturedStderr();
    }

    EXPECT_NE (err.find ("Call Audio MIDI Setup: OK\n"), std::string::npos) << err;
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return marker.existsAsFile(); }, 10000));
}

TEST (AppPresetCommands, SaveClearLoadGivesTheSameRoutingAndRemembersThePath)
{
    PanelWindow w;
    auto& p = *w.panel;
    auto& editor = *p.flexrouteDialog;

    FlexrouteSettings wired;
    wired.wires = { { 3, 0, 2, 2 }, { 0, 5, 0, 0 }, { 2, 3, 2, 2 } };
    wired.muteWdm = true;
    wired.mixVirtual34 = true;
    ASSERT_TRUE (editor.applySettings (wired));
    const auto recordBefore = editor.getMixerState();

    testsupport::TempFolder temp ("quibra-presets");
    const auto& folder = temp.folder;
    const auto file = folder.getChildFile ("studio.QuibraFlexroute");

    // Before any save the chooser starts in the settings folder (or the
    // nearest folder above it that exists).
    const auto settingsFolder = juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory).getChildFile ("Quibra");
    EXPECT_TRUE (settingsFolder == PresetCommands::lastFolder (p) || settingsFolder.isAChildOf (PresetCommands::lastFolder (p)));

    ASSERT_TRUE (PresetCommands::save (p, file));
    EXPECT_EQ (p.appProperties.getUserSettings()->getValue ("LastFRSettingsFilePath"), file.getFullPathName());
    EXPECT_EQ (PresetCommands::lastFolder (p), folder);

    editor.clearFRConnections();
    editor.fillUpMixer();
    EXPECT_TRUE (editor.getSettings().wires.empty());

    ASSERT_TRUE (PresetCommands::load (p, file));
    const auto back = editor.getSettings();
    ASSERT_EQ (back.wires.size(), wired.wires.size());
    for (size_t i = 0; i < back.wires.size(); ++i)
        EXPECT_TRUE (back.wires[i] == wired.wires[i]) << i;
    EXPECT_TRUE (back.muteWdm);
    EXPECT_FALSE (back.muteAsio);
    EXPECT_FALSE (back.mixVirtual12);
    EXPECT_TRUE (back.mixVirtual34);
    EXPECT_EQ (std::memcmp (&editor.getMixerState(), &recordBefore, sizeof (recordBefore)), 0);

}

TEST (AppPresetCommands, BadFilesAreRefusedWithAMessageAndChangeNothing)
{
    PanelWindow w;
    auto& p = *w.panel;
    auto& editor = *p.flexrouteDialog;

    FlexrouteSettings wired;
    wired.wires = { { 0, 0, 2, 0 } };
    ASSERT_TRUE (editor.applySettings (wired));

    testsupport::TempFolder temp ("quibra-presets");
    const auto& folder = temp.folder;

    const auto truncated = folder.getChildFile ("cut.QuibraFlexroute");
    truncated.replaceWithText ("QuibraFlexroute 1\nwire PhysicIn1 WDMin1\n");
    const auto foreign = folder.getChildFile ("foreign.QuibraFlexroute");
    foreign.replaceWithText ("<?xml version=\"1.0\"?><PROPERTIES/>");
    const auto huge = folder.getChildFile ("huge.QuibraFlexroute");
    {
        juce::FileOutputStream out (huge);
        out.writeRepeatedByte ('#', 70 * 1024);
    }

    const auto lastPath = p.appProperties.getUserSettings()->getValue ("LastFRSettingsFilePath");

    for (auto& f : { truncated, foreign, huge })
    {
        EXPECT_FALSE (PresetCommands::load (p, f)) << f.getFileName();
        const auto after = editor.getSettings();
        ASSERT_EQ (after.wires.size(), 1u) << f.getFileName();
        EXPECT_TRUE (after.wires[0] == wired.wires[0]);
        EXPECT_EQ (p.appProperties.getUserSettings()->getValue ("LastFRSettingsFilePath"), lastPath);

        // The user is told, in a message box.
        EXPECT_TRUE (testsupport::pumpUntil ([] { return findAlertWindow() != nullptr; }));
        if (auto* alert = findAlertWindow())
        {
            EXPECT_EQ (alert->getName(), "FlexROUTE preset not loaded");
        }
        closeAlertWindows();
    }

}

TEST (AppPresetCommands, ChooserHasTheTitleAndStartsInTheLastFolder)
{
    PanelWindow w;
    auto& p = *w.panel;

    testsupport::TempFolder temp ("quibra-presets");
    const auto& folder = temp.folder;
    p.appProperties.getUserSettings()->setValue ("LastFRSettingsFilePath",
                                                 folder.getChildFile ("gone.QuibraFlexroute").getFullPathName());

    for (auto [id, title] : { std::pair<int, const char*> { 9216, "Select preset file" },
                              { 9217, "Select or create file to save the settings" } })
    {
        p.menuItemSelected (id, -1);
        const auto chooser = waitForChooser();
        auto* box = chooser.box;
        ASSERT_NE (box, nullptr);
        EXPECT_EQ (box->getName(), title);
        auto* fb = chooser.browser;
        ASSERT_NE (fb, nullptr);
        EXPECT_EQ (fb->getRoot(), folder);

        // Cancelled: nothing is read or written, and the chooser can open again.
        box->exitModalState (0);
        EXPECT_TRUE (testsupport::pumpUntil ([&] { return p.presetChooser == nullptr; }));
    }

}

TEST (AppPresetCommands, SaveAddsTheSuffixAndAsksBeforeReplacingUnderTheCompletedName)
{
    PanelWindow w;
    auto& p = *w.panel;
    FlexrouteSettings wired;
    wired.wires = { { 3, 1, 0, 3 } };
    ASSERT_TRUE (p.flexrouteDialog->applySettings (wired));

    testsupport::TempFolder temp ("quibra-presets");
    const auto& folder = temp.folder;
    p.appProperties.getUserSettings()->setValue ("LastFRSettingsFilePath", folder.getChildFile ("x").getFullPathName());
    const auto existing = folder.getChildFile ("studio.QuibraFlexroute");
    ASSERT_TRUE (existing.replaceWithText ("old"));

    // Chooses "Save", types name and confirms the chooser.
    const auto saveAs = [&] (const juce::String& name)
    {
        p.menuItemSelected (9217, -1);
        const auto chooser = waitForChooser();
        auto* box = chooser.box;
        auto* fb = chooser.browser;
        EXPECT_NE (box, nullptr);
        if (box == nullptr)
            return;
        ASSERT_NE (fb, nullptr);
        fb->setFileName (name);
        box->exitModalState (1);
        EXPECT_TRUE (testsupport::pumpUntil ([&] { return p.presetChooser == nullptr; }));
    };
    const auto savedHere = [] (const juce::File& f)
    {
        FlexroutePreset preset;
        juce::String error;
        return FlexroutePreset::readFile (f, preset, error) && preset.wires.size() == 1
            && preset.wires[0] == FlexroutePreset::Wire { "PhysicIn2", "WDMin4" };
    };

    // A new name: saved at once, the suffix added to the whole name.
    saveAs ("take.v2");
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return savedHere (folder.getChildFile ("take.v2.QuibraFlexroute")); }));
    EXPECT_EQ (findAlertWindow(), nullptr);

    // The name of an existing preset without its suffix: asked first;
    // "Cancel" keeps the old file...
    saveAs ("studio");
    EXPECT_TRUE (testsupport::pumpUntil ([] { return findAlertWindow() != nullptr; }));
    EXPECT_EQ (existing.loadFileAsString(), "old");
    if (auto* alert = findAlertWindow())
        alert->exitModalState (0);
    testsupport::pumpFor (100);
    EXPECT_EQ (existing.loadFileAsString(), "old");

    // ... and "Replace" writes it.
    saveAs ("studio");
    EXPECT_TRUE (testsupport::pumpUntil ([] { return findAlertWindow() != nullptr; }));
    if (auto* alert = findAlertWindow())
        alert->exitModalState (1);
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return savedHere (existing); }));
    EXPECT_EQ (p.appProperties.getUserSettings()->getValue ("LastFRSettingsFilePath"), existing.getFullPathName());

    closeAlertWindows();
}
