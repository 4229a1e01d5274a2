// The script runner: which scripts it understands, which program it starts,
// and the outcome line on standard error.
#include "panel/mac_call.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
juce::File makeProgram (const juce::File& dir, const juce::String& name, const juce::File& marker)
{
    auto f = dir.getChildFile (name);
    f.replaceWithText ("#!/bin/sh\necho \"started $*\" > '" + marker.getFullPathName() + "'\n", false, false, "\n");
    ::chmod (f.getFullPathName().toRawUTF8(), 0755);
    return f;
}
} // namespace

TEST (AppMacCall, UnderstandsOnlyTheActivateScript)
{
    EXPECT_EQ (mac_call::audioSettingsScript(), "tell application \"Audio MIDI Setup\" to activate");
    EXPECT_EQ (mac_call::applicationNamedIn (mac_call::audioSettingsScript()), "Audio MIDI Setup");
    EXPECT_EQ (mac_call::applicationNamedIn ("  tell  application \"Finder\"   to activate \n"), "Finder");

    for (auto* script : { "", "tell application \"\" to activate", "tell application \"X\" to quit",
                          "tell application \"X\" to activate now", "tell application \"X to activate",
                          "tellapplication \"X\" to activate", "tell application \"X\"to activate",
                          "do shell script \"rm -rf /\"" })
        EXPECT_EQ (mac_call::applicationNamedIn (script), juce::String()) << script;

    // A well-formed script for another application does not start anything.
    EXPECT_FALSE (mac_call::runScript ("tell application \"Finder\" to activate"));
}

TEST (AppMacCall, StartsTheChosenProgramAndReportsOk)
{
    testsupport::TempFolder temp;
    const auto& dir = temp.folder;
    const auto marker = dir.getChildFile ("marker");
    const auto program = makeProgram (dir, "settings-tool", marker);

    testsupport::ScopedEnv chosen ("QUIBRA_AUDIO_SETTINGS_PROGRAM", program.getFullPathName() + " sound 'two words'");
    const auto command = mac_call::audioSettingsCommand();
    ASSERT_EQ (command.size(), 3);
    EXPECT_EQ (command[0], program.getFullPathName());
    EXPECT_EQ (command[2], "two words");

    testing::internal::CaptureStderr();
    EXPECT_TRUE (mac_call::callAudioMidiSetup());
    EXPECT_EQ (testing::internal::GetCapturedStderr(), "Call Audio MIDI Setup: OK\n");

    // The program runs on its own; it was really started with its arguments.
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return marker.loadFileAsString().isNotEmpty(); }, 10000));
    EXPECT_EQ (marker.loadFileAsString().trim(), "started sound two words");
}

TEST (AppMacCall, MissingOrBrokenProgramReportsNotOk)
{
    testsupport::TempFolder temp;
    const auto& dir = temp.folder;

    {
        testsupport::ScopedEnv chosen ("QUIBRA_AUDIO_SETTINGS_PROGRAM", dir.getChildFile ("no-such-program").getFullPathName());
        testing::internal::CaptureStderr();
        EXPECT_FALSE (mac_call::callAudioMidiSetup());
        EXPECT_EQ (testing::internal::GetCapturedStderr(), "Call Audio MIDI Setup: not OK\n");
    }
    {
        // Present but not executable as a program: exec fails, and says so.
        auto bad = dir.getChildFile ("broken");
        bad.replaceWithText ("not a program");
        ::chmod (bad.getFullPathName().toRawUTF8(), 0755);
        testsupport::ScopedEnv chosen ("QUIBRA_AUDIO_SETTINGS_PROGRAM", bad.getFullPathName());
        EXPECT_FALSE (mac_call::runScript (mac_call::audioSettingsScript()));
    }
    {
        // Nothing chosen and none of the known programs on the search path.
        testsupport::ScopedEnv chosen ("QUIBRA_AUDIO_SETTINGS_PROGRAM", nullptr);
        testsupport::ScopedEnv path ("PATH", dir.getFullPathName());
        EXPECT_TRUE (mac_call::audioSettingsCommand().isEmpty());
        EXPECT_FALSE (mac_call::runScript (mac_call::audioSettingsScript()));
    }
    {
        // One of them installed: found through the search path.
        const auto marker = dir.getChildFile ("marker2");
        makeProgram (dir, "pavucontrol", marker);
        testsupport::ScopedEnv chosen ("QUIBRA_AUDIO_SETTINGS_PROGRAM", nullptr);
        testsupport::ScopedEnv path ("PATH", "/nonexistent:" + dir.getFullPathName());
        const auto command = mac_call::audioSettingsCommand();
        ASSERT_EQ (command.size(), 1);
        EXPECT_EQ (command[0], dir.getChildFile ("pavucontrol").getFullPathName());
        EXPECT_TRUE (mac_call::runScript (mac_call::audioSettingsScript()));
        EXPECT_TRUE (testsupport::pumpUntil ([&] { return marker.existsAsFile(); }, 10000));
    }
}

TEST (AppMacCall, TheProgramInheritsNoDescriptorsOfThePanel)
{
    testsupport::TempFolder temp;
    const auto& dir = temp.folder;
    const auto marker = dir.getChildFile ("fds");

    // A descriptor the panel holds without close-on-exec (as the toolkit's
    // display connection is), well above any the shell uses itself.
    const int opened = ::open ("/dev/null", O_RDONLY);
    ASSERT_GE (opened, 0);
    const int held = ::fcntl (opened, F_DUPFD, 60);
    ::close (opened);
    ASSERT_GE (held, 60);

    auto program = dir.getChildFile ("fd-check");
    program.replaceWithText ("#!/bin/sh\nif [ -e /proc/$$/fd/" + juce::String (held) + " ]; then r=leaked; else r=clean; fi\n"
                             "echo $r > '" + marker.getFullPathName() + "'\n", false, false, "\n");
    ::chmod (program.getFullPathName().toRawUTF8(), 0755);

    testsupport::ScopedEnv chosen ("QUIBRA_AUDIO_SETTINGS_PROGRAM", program.getFullPathName());
    EXPECT_TRUE (mac_call::runScript (mac_call::audioSettingsScript()));
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return marker.loadFileAsString().isNotEmpty(); }, 10000));
    EXPECT_EQ (marker.loadFileAsString().trim(), "clean");

    ::close (held);
}
