// One running panel per user and per X display.
//
// The first launch becomes the primary: it holds an advisory lock (flock) on
// "<dir>/<name>.lock" for as long as it lives and listens on the UNIX-domain
// socket "<dir>/<name>.sock". A later launch finds the lock taken, connects to
// the socket, writes its whole command line (UTF-8, then end of stream), waits
// for the primary's "OK" and ends; a command line that is too long or not
// UTF-8 text is answered with "NO". The primary hands each command line it
// accepts to a callback on the message thread. Its listener serves all peers
// at once, each within its own time limit, so no peer holds up another, and
// sleeps while nobody is connected.
//
// <dir> is $XDG_RUNTIME_DIR when that is a folder of ours with mode 0700, else
// /tmp/quibra-<uid>, created with mode 0700 and refused when it belongs to
// someone else or is open to others. <name> is "Quibra-" followed by the X
// display ($DISPLAY without its screen number, with every character other than
// letters and digits replaced by '_').
//
// A crashed primary leaves its socket file behind but not its lock (the kernel
// drops a flock with the process), so the next launch takes the lock, removes
// the stale socket and takes over. A socket that refuses connections while the
// lock is free is stale as well.
#pragma once

#include <juce_events/juce_events.h>
#include <functional>
#include <memory>

class SingleInstance
{
public:
    enum class Result
    {
        primary,          // this process is the running instance now
        handedOff,        // another instance took the command line; end this one
        noAnswer,         // another instance holds the lock but never answered
        refused,          // another instance runs, but this command line cannot
                          // be handed over (too long, or not UTF-8 text)
        failed            // no folder or socket to work with; run on alone
    };

    // dir empty: the default folder described above. name empty: the default
    // name for the current $DISPLAY.
    explicit SingleInstance (juce::String name = {}, juce::String dir = {});
    ~SingleInstance();

    // Becomes the primary, or hands commandLine to the running primary.
    // Waits up to timeoutMs for a primary that holds the lock but does not
    // answer yet (one that is still starting up).
    Result claimOrHandOff (const juce::String& commandLine, int timeoutMs = 5000);

    // The primary's receiver: called on the message thread with each command
    // line that a later launch hands over. Set before or after claiming.
    std::function<void (const juce::String&)> onCommandLine;

    bool isPrimary() const noexcept;
    juce::File getSocketFile() const;
    juce::File getLockFile() const;

    // The default folder and name (see above).
    static juce::String defaultFolder();
    static juce::String defaultName();

    // Largest command line accepted from a later launch, in bytes.
    static constexpr int maxMessageBytes = 64 * 1024;

    // Hands commandLine to whatever listens on socketPath: handedOff when the
    // listener acknowledged it, refused when it cannot be handed over (found
    // here, or answered so by the listener), noAnswer otherwise. Plain POSIX,
    // usable from a forked process.
    static Result sendTo (const char* socketPath, const juce::String& commandLine, int timeoutMs);

    // Whether bytes can travel as a command line: at most maxMessageBytes of
    // UTF-8 text without zero bytes.
    static bool isAcceptableMessage (const char* bytes, size_t size);

private:
    class Listener;

    juce::String folder, baseName;
    int lockFd = -1;
    int listenFd = -1;
    std::unique_ptr<Listener> listener;
    std::shared_ptr<int> aliveToken = std::make_shared<int> (0);

    bool makeFolder() const;
    bool takeLock();
    bool startListening();
    void releaseAll();

    JUCE_DECLARE_NON_COPYABLE (SingleInstance)
};
