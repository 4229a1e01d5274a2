// Action messages to the panel, its change guard, and the dB label texts.
#include "PanelTestSupport.h"
#include "routing/DeviceMixerState.h"

#include <clocale>
#include <cstdio>
#include <locale>

using paneltest::PanelWindow;

namespace
{
// Sends a message through the fader pair's broadcaster, as the faders do,
// and lets the message loop deliver it.
void sendFromFaders (MainComponent& p, const juce::String& message)
{
    p.sliderGroup->sendActionMessage (message);
    testsupport::pumpFor (20);
}

// Switches the process's number formatting to German for the scope.
struct GermanNumbers
{
    GermanNumbers()
    {
        if (const char* current = std::setlocale (LC_NUMERIC, nullptr))
            previous = current;

        active = std::setlocale (LC_NUMERIC, "de_DE.UTF-8") != nullptr;

        if (active)
        {
            try
            {
                previousGlobal = std::locale::global (std::locale ("de_DE.UTF-8"));
            }
            catch (...)
            {
            }
        }
    }

    ~GermanNumbers()
    {
        std::setlocale (LC_NUMERIC, previous.c_str());
        std::locale::global (previousGlobal);
    }

    std::string previous = "C";
    std::locale previousGlobal = std::locale::classic();
    bool active = false;
};
} // namespace

TEST (PanelMessages, OnlyTheExactVolumeTextSetsTheGuard)
{
    PanelWindow w;
    auto& p = *w.panel;
    p.enabledButtons (true);

    for (auto text : { "Volume_update", "volume_update ", "volume_update+", "volume_update-",
                       "volume_updateLeftsliderOutGroup", "" })
    {
        p.sliderGroup->sendActionMessage (text);
        EXPECT_FALSE (paneltest::probeAfterPostedMessages ([&] {
            return p.changeGuard || p.isTimerRunning (MainComponent::timerChangeGuard);
        })) << text;
    }

    p.sliderGroup->sendActionMessage ("volume_update");
    ASSERT_TRUE (paneltest::probeAfterPostedMessages ([&] { return p.changeGuard; }));
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return ! p.changeGuard; }));
    EXPECT_FALSE (p.isTimerRunning (MainComponent::timerChangeGuard));
}

TEST (PanelMessages, SecondVolumeMessageKeepsTheGuard)
{
    PanelWindow w;
    auto& p = *w.panel;
    p.enabledButtons (true);

    // Messages 30 ms apart. Without the restart the guard would clear about
    // 20 ms after the second; with it, not before 50 ms after.
    bool checked = false;
    for (int attempt = 0; attempt < 5 && ! checked; ++attempt)
    {
        testsupport::pumpUntil ([&] { return ! p.changeGuard; });
        p.sliderGroup->sendActionMessage ("volume_update");
        ASSERT_TRUE (paneltest::probeAfterPostedMessages ([&] { return p.changeGuard; }));
        const auto first = juce::Time::getMillisecondCounter();
        testsupport::pumpUntil ([&] { return juce::Time::getMillisecondCounter() - first >= 30; });

        if (! p.changeGuard)
            continue; // the machine was too slow to send the second one in time

        const auto second = juce::Time::getMillisecondCounter();
        p.sliderGroup->sendActionMessage ("volume_update");
        ASSERT_TRUE (paneltest::probeAfterPostedMessages ([&] { return p.changeGuard; }));

        ASSERT_TRUE (testsupport::pumpUntil ([&] { return ! p.changeGuard; }));
        EXPECT_GE (juce::Time::getMillisecondCounter() - second, 49u);
        checked = true;
    }
    EXPECT_TRUE (checked);
}

TEST (PanelMessages, FlexrouteUpdateAlternatesTheRoutingRecord)
{
    PanelWindow w;
    auto& p = *w.panel;

    sendFromFaders (p, "flexroute_update");
    const bool firstClear = isMixerStateClear (MyDeviceMixer);
    sendFromFaders (p, "flexroute_update");
    const bool secondClear = isMixerStateClear (MyDeviceMixer);
    EXPECT_NE (firstClear, secondClear);
    sendFromFaders (p, "flexroute_update");
    EXPECT_EQ (isMixerStateClear (MyDeviceMixer), firstClear);
}

TEST (PanelMessages, TryIconShowsOrRaisesTheMainWindow)
{
    PanelWindow w;
    auto& p = *w.panel;

    w.window->setVisible (false);
    sendFromFaders (p, "try_icon_clicked");
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return w.window->isVisible(); }));
    EXPECT_TRUE (p.isVisible());

    // Already shown: stays shown (raised).
    sendFromFaders (p, "try_icon_clicked");
    EXPECT_TRUE (w.window->isVisible());
}

TEST (PanelLabels, TextsIgnoreTheUsersLocale)
{
    PanelWindow w;
    auto& p = *w.panel;
    p.enabledButtons (true);

    GermanNumbers german;
    ASSERT_TRUE (german.active) << "the de_DE.UTF-8 locale is needed (package locales-all)";
    char buffer[32];
    std::snprintf (buffer, sizeof (buffer), "%g", -63.5);
    ASSERT_STREQ (buffer, "-63,5"); // the locale really is in force

    // Free values, not whole dB, straight into the faders.
    for (auto* s : { &p.sliderGroup->leftSlider, &p.sliderGroup->rightSlider })
        s->setRange (-64.0, 0.0, 0.0);

    const std::pair<double, const char*> cases[] = {
        { -63.5, "-63.5 dB" }, { 0.0, "0 dB" }, { -10.0, "-10 dB" }, { -12.25, "-12.25 dB" }, { -7.123456, "-7.12346 dB" }
    };

    for (auto [value, text] : cases)
    {
        p.sliderGroup->leftSlider.setValue (value, juce::dontSendNotification);
        p.sliderGroup->rightSlider.setValue (-1.5, juce::dontSendNotification);
        p.setLevelLabels();
        EXPECT_EQ (p.leftLevelLabel->getText(), text);
        EXPECT_EQ (p.rightLevelLabel->getText(), "-1.5 dB");
    }
}

TEST (PanelLabels, UnchangedWhileTheFadersAreDisabled)
{
    PanelWindow w;
    auto& p = *w.panel;
    p.sliderGroup->leftSlider.setValue (-20.0, juce::dontSendNotification);

    p.setLevelLabels(); // pair disabled since construction
    EXPECT_TRUE (p.leftLevelLabel->getText().isEmpty());

    p.enabledButtons (true);
    p.setLevelLabels();
    EXPECT_EQ (p.leftLevelLabel->getText(), "-20 dB");

    // Disabled through its parent.
    p.sliderGroup->leftSlider.setValue (-30.0, juce::dontSendNotification);
    p.setEnabled (false);
    p.setLevelLabels();
    EXPECT_EQ (p.leftLevelLabel->getText(), "-20 dB");
    p.setEnabled (true);
}
