// The panel's settings store: where the file lies, when it is written.
#include "PanelTestSupport.h"

#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

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

juce::File backupFile() { return settingsFile().getSiblingFile ("Quibra.settings.unreadable"); }

struct PanelSettings : ::testing::Test
{
    void SetUp() override { TearDown(); }
    void TearDown() override
    {
        settingsFile().deleteFile();
        backupFile().deleteFile();
    }
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

TEST_F (PanelSettings, UnreadableFileIsKeptAsideAndAFifoDoesNotBlock)
{
    // A damaged file: its keys are not lost to the next save.
    const juce::String damaged = "<?xml version=\"1.0\"?>\n<PROPERTIES><VALUE name=\"LastFRSettingsFilePath\" val=\"/x\"/>";
    ASSERT_TRUE (settingsFile().getParentDirectory().createDirectory());
    ASSERT_TRUE (settingsFile().replaceWithText (damaged, false, false, "\n"));
    testing::internal::CaptureStderr();
    {
        PanelWindow w;
        w.panel->savedWindowPosition ("1 2 329 435");
    }
    const auto err = testing::internal::GetCapturedStderr();
    EXPECT_EQ (storedWindowPosition(), "1 2 329 435");
    EXPECT_EQ (backupFile().loadFileAsString(), damaged);
    EXPECT_NE (err.find (backupFile().getFullPathName().toStdString()), std::string::npos) << err;

    // A FIFO in the file's place would block the read until someone writes
    // to it. A helper opens it for writing whenever a reader waits there
    // (which lets that reader go on) and notes that it had to.
    ASSERT_TRUE (settingsFile().deleteFile() && backupFile().deleteFile());
    const auto path = settingsFile().getFullPathName().toStdString();
    ASSERT_EQ (::mkfifo (path.c_str(), 0600), 0);
    std::atomic<bool> done { false }, readerWaited { false };
    std::thread helper ([&]
    {
        while (! done)
        {
            const int fd = ::open (path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            struct stat st {};
            if (fd >= 0 && ::fstat (fd, &st) == 0 && S_ISFIFO (st.st_mode))
                readerWaited = true;
            if (fd >= 0)
                ::close (fd);
            juce::Thread::sleep (20);
        }
    });
    testing::internal::CaptureStderr();
    {
        PanelWindow w;
        w.panel->savedWindowPosition ("3 4 329 435");
    }
    testing::internal::GetCapturedStderr();
    done = true;
    helper.join();

    EXPECT_FALSE (readerWaited);
    EXPECT_EQ (storedWindowPosition(), "3 4 329 435");
    struct stat st {};
    EXPECT_TRUE (::stat (backupFile().getFullPathName().toRawUTF8(), &st) == 0 && S_ISFIFO (st.st_mode));
}
