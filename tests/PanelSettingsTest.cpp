// The panel's settings store: where the file lies, when it is written.
#include "PanelTestSupport.h"

using paneltest::PanelWindow;

namespace
{
juce::File settingsFile()
{
    return juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory)
        .getChildFile ("Quibra")
        .getChildFile ("Quibra.settings");
}

// The stored "WindowPosition" of the file, or "<missing>".
juce::String storedWindowPosition()
{
    if (auto xml = juce::parseXML (settingsFile()))
    {
        if (! xml->hasTagName ("PROPERTIES"))
            return "<bad root>";

        for (auto* value : xml->getChildWithTagNameIterator ("VALUE"))
            if (value->getStringAttribute ("name") == "WindowPosition")
                return value->getStringAttribute ("val");
    }
    return "<missing>";
}

struct PanelSettings : ::testing::Test
{
    void SetUp() override { settingsFile().deleteFile(); }
    void TearDown() override { settingsFile().deleteFile(); }
};
} // namespace

TEST_F (PanelSettings, PendingChangeReachesTheFileWhenThePanelGoes)
{
    PanelWindow w;
    ASSERT_NE (w.panel->appProperties.getUserSettings(), nullptr);
    EXPECT_EQ (w.panel->appProperties.getUserSettings()->getFile(), settingsFile());

    w.panel->savedWindowPosition ("cs 40 40 438 580");
    EXPECT_FALSE (settingsFile().existsAsFile()); // the store waits before saving
    w.destroy();

    EXPECT_EQ (storedWindowPosition(), "cs 40 40 438 580");
}

TEST_F (PanelSettings, SavedAfterTheDelay)
{
    PanelWindow w;
    const auto start = juce::Time::getMillisecondCounter();
    w.panel->savedWindowPosition ("cs 1 2 329 435");

    ASSERT_TRUE (testsupport::pumpUntil ([] { return settingsFile().existsAsFile(); }, 20000));
    EXPECT_GE (juce::Time::getMillisecondCounter() - start, 2500u);
    EXPECT_EQ (storedWindowPosition(), "cs 1 2 329 435");
}

TEST_F (PanelSettings, SameStateTwiceWritesNothingNewAndEmptyReplaces)
{
    {
        PanelWindow w;
        w.panel->savedWindowPosition ("cs 5 6 219 290");
    }
    ASSERT_EQ (storedWindowPosition(), "cs 5 6 219 290");

    const juce::Time old (2001, 0, 1, 12, 0);
    ASSERT_TRUE (settingsFile().setLastModificationTime (old));

    {
        PanelWindow w;
        w.panel->savedWindowPosition ("cs 5 6 219 290");
        w.panel->savedWindowPosition ("cs 5 6 219 290");
        testsupport::pumpFor (50);
    }
    EXPECT_EQ (settingsFile().getLastModificationTime(), old);

    {
        PanelWindow w;
        w.panel->savedWindowPosition ("cs 7 8 219 290");
        w.panel->savedWindowPosition ("");
    }
    EXPECT_NE (settingsFile().getLastModificationTime(), old);
    EXPECT_EQ (storedWindowPosition(), "");
}
