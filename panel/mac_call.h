// The script runner: runs the one-line "tell application ... to activate"
// scripts of the panel's menu.
//
// This desktop has no script host, so the runner understands exactly that one
// form: it reads the application name out of the script and starts the
// desktop's audio settings program in its place. The program is the command
// in $QUIBRA_AUDIO_SETTINGS_PROGRAM when that is set (a program name or path,
// optionally followed by arguments), else the first of pavucontrol,
// pavucontrol-qt, "gnome-control-center sound", "xfce4-mixer" and
// "mate-volume-control" found on $PATH. The program is started detached (it
// outlives the panel and leaves no zombie); the run counts as a success when
// the program could be started.
#pragma once

#include <juce_core/juce_core.h>

namespace mac_call
{
// The script that brings up the system's audio settings.
juce::String audioSettingsScript();

// The application named by a script of the form
//     tell application "<name>" to activate
// (blanks between the words may vary); empty for any other script.
juce::String applicationNamedIn (const juce::String& script);

// The command that stands in for activating the named application here:
// program and arguments, or an empty array when none is installed.
juce::StringArray audioSettingsCommand();

// Runs the script synchronously; true when it ran (the program started).
// Only the application "Audio MIDI Setup" is known; any other script fails.
bool runScript (const juce::String& script);

// The "macOS Audio Settings" menu command: runs audioSettingsScript() and
// writes "Call Audio MIDI Setup: OK" or "... not OK" to standard error.
bool callAudioMidiSetup();
} // namespace mac_call
