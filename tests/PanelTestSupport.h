// Helpers for the panel's tests: the panel inside a real window on the
// desktop, as the application shows it.
#pragma once

#include <gtest/gtest.h>
#include "TestSupport.h"
#include "panel/MainComponent.h"

#include <memory>
#include <optional>

namespace paneltest
{
// What the X server holds for a window's native window: whether it is
// mapped, and its size hints (WM_NORMAL_HINTS; flags 0 when it has none).
struct ServerView
{
    bool mapped = false;
    long flags = 0;
    int minW = 0, minH = 0, maxW = 0, maxH = 0, aspectW = 0, aspectH = 0, baseH = 0;
};
ServerView serverView (juce::Component& window);

// A desktop window whose owned content is a freshly built panel.
struct PanelWindow
{
    // resizeToFit: the window follows the panel's size (as in the application).
    explicit PanelWindow (bool resizeToFit = true)
    {
        window = std::make_unique<juce::DocumentWindow> ("Quibra test", juce::Colours::lightgrey,
                                                         juce::DocumentWindow::allButtons);
        window->setUsingNativeTitleBar (true);
        panel = new MainComponent();
        window->setContentOwned (panel, resizeToFit);
        window->setTopLeftPosition (40, 40);
        window->setVisible (true);
    }

    ~PanelWindow() { destroy(); }

    // Deletes the window and with it the panel.
    void destroy()
    {
        window = nullptr;
        panel = nullptr;
    }

    // Sets the panel's picture area to width x height (the menu bar comes on top).
    void setContentSize (int width, int height)
    {
        panel->setSize (width, height + panel->menuBarHeight);
    }

    std::unique_ptr<juce::DocumentWindow> window;
    MainComponent* panel = nullptr;
};

// Lets the message loop deliver every message posted so far, and returns what
// probe() gives right after the last of them, before any later message (a
// timer's, say) can change it.
inline bool probeAfterPostedMessages (const std::function<bool()>& probe)
{
    auto result = std::make_shared<std::optional<bool>>();
    juce::MessageManager::callAsync ([result, probe] { *result = probe(); });
    testsupport::pumpUntil ([result] { return result->has_value(); }, 20000);
    return result->value_or (false);
}

inline juce::Array<juce::ImageButton*> allButtons (MainComponent& p)
{
    return { p.rateButton44.get(), p.rateButton48.get(), p.rateButton88.get(), p.rateButton96.get(),
             p.rateButton176.get(), p.rateButton192.get(), p.muteButton.get() };
}

// The rate whose button is ticked, 0 for none; -1 when more than one is.
inline int tickedRate (MainComponent& p)
{
    const std::pair<juce::ImageButton*, int> rates[] = {
        { p.rateButton44.get(), 44100 }, { p.rateButton48.get(), 48000 }, { p.rateButton88.get(), 88200 },
        { p.rateButton96.get(), 96000 }, { p.rateButton176.get(), 176400 }, { p.rateButton192.get(), 192000 }
    };
    int found = 0;
    for (auto& [button, rate] : rates)
        if (button->getToggleState())
            found = found == 0 ? rate : -1;
    return found;
}
} // namespace paneltest
