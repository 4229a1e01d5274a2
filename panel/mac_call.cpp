#include "panel/mac_call.h"
#include "panel/StderrTrace.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{
juce::File findOnPath (const juce::String& program)
{
    if (program.containsChar ('/'))
    {
        juce::File f (juce::File::getCurrentWorkingDirectory().getChildFile (program));
        return f.existsAsFile() ? f : juce::File();
    }

    juce::StringArray dirs;
    dirs.addTokens (juce::String (::getenv ("PATH")), ":", "");
    for (auto& d : dirs)
    {
        if (d.isEmpty() || ! juce::File::isAbsolutePath (d))
            continue;
        auto f = juce::File (d).getChildFile (program);
        if (f.existsAsFile() && ::access (f.getFullPathName().toRawUTF8(), X_OK) == 0)
            return f;
    }
    return {};
}

// Starts argv detached (double fork, new session, output to /dev/null).
// True when the program was executed; a failed exec is reported back through
// a close-on-exec pipe.
bool startDetached (const juce::StringArray& command)
{
    std::vector<std::string> args;
    for (auto& a : command)
        args.push_back (a.toStdString());
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back (a.data());
    argv.push_back (nullptr);

    int report[2];
    if (::pipe2 (report, O_CLOEXEC) != 0)
        return false;

    const pid_t child = ::fork();
    if (child < 0)
    {
        ::close (report[0]);
        ::close (report[1]);
        return false;
    }

    if (child == 0)
    {
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild < 0)
        {
            // No program will run: say so, or the closed pipe reads as success.
            const int err = errno;
            [[maybe_unused]] auto n = ::write (report[1], &err, sizeof (err));
            ::_exit (127);
        }
        if (grandchild > 0)
            ::_exit (0); // the grandchild is adopted by init: no zombie here

        // The program gets none of the panel's descriptors (X connection,
        // sockets, settings files), only the report pipe until it execs.
        ::close_range (3, (unsigned) report[1] - 1, 0);
        ::close_range ((unsigned) report[1] + 1, ~0u, 0);

        const int devNull = ::open ("/dev/null", O_RDWR);
        if (devNull >= 0)
        {
            ::dup2 (devNull, 0);
            ::dup2 (devNull, 1);
            ::dup2 (devNull, 2);
            if (devNull > 2)
                ::close (devNull);
        }
        ::execv (argv[0], argv.data());
        const int err = errno;
        [[maybe_unused]] auto n = ::write (report[1], &err, sizeof (err));
        ::_exit (127);
    }

    ::close (report[1]);
    int status = 0;
    while (::waitpid (child, &status, 0) < 0 && errno == EINTR) {}

    int err = 0;
    ssize_t n;
    while ((n = ::read (report[0], &err, sizeof (err))) < 0 && errno == EINTR) {}
    ::close (report[0]);

    // Nothing read: the pipe closed on a successful exec.
    return n == 0;
}
} // namespace

namespace mac_call
{
juce::String audioSettingsScript()
{
    return "tell application \"Audio MIDI Setup\" to activate";
}

juce::String applicationNamedIn (const juce::String& script)
{
    auto s = script.trim();
    if (! s.startsWith ("tell"))
        return {};
    s = s.substring (4);
    if (! juce::CharacterFunctions::isWhitespace (s[0]))
        return {};
    s = s.trimStart();
    if (! s.startsWith ("application"))
        return {};
    s = s.substring (11).trimStart();
    if (! s.startsWithChar ('"'))
        return {};
    const auto close = s.indexOfChar (1, '"');
    if (close < 2)
        return {};
    const auto name = s.substring (1, close);
    auto rest = s.substring (close + 1);
    if (! juce::CharacterFunctions::isWhitespace (rest[0]))
        return {};
    rest = rest.trimStart();
    if (! rest.startsWith ("to"))
        return {};
    rest = rest.substring (2);
    if (! juce::CharacterFunctions::isWhitespace (rest[0]) || rest.trim() != "activate")
        return {};
    return name;
}

juce::StringArray audioSettingsCommand()
{
    juce::StringArray command;

    if (const char* chosen = ::getenv ("QUIBRA_AUDIO_SETTINGS_PROGRAM"))
    {
        command.addTokens (juce::String (chosen), " ", "\"'");
        command.removeEmptyStrings();
        for (auto& c : command)
            c = c.unquoted();
    }
    else
    {
        static const char* const candidates[] = { "pavucontrol", "pavucontrol-qt", "gnome-control-center sound",
                                                   "xfce4-mixer", "mate-volume-control" };
        for (auto* candidate : candidates)
        {
            juce::StringArray c;
            c.addTokens (candidate, " ", "");
            if (findOnPath (c[0]) != juce::File())
            {
                command = c;
                break;
            }
        }
    }

    if (command.isEmpty())
        return {};

    const auto program = findOnPath (command[0]);
    if (program == juce::File())
        return {};
    command.set (0, program.getFullPathName());
    return command;
}

bool runScript (const juce::String& script)
{
    // The audio settings program is the one application known here.
    if (applicationNamedIn (script) != "Audio MIDI Setup")
        return false;

    const auto command = audioSettingsCommand();
    return command.size() > 0 && startDetached (command);
}

bool callAudioMidiSetup()
{
    const bool ok = runScript (audioSettingsScript());
    writeStderrTrace (juce::String ("Call Audio MIDI Setup: ") + (ok ? "OK" : "not OK") + "\n");
    return ok;
}
} // namespace mac_call
