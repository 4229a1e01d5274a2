// The single-instance hand-off: a later process's command line reaches the
// running instance, stale sockets and locks are taken over, unsafe folders
// are refused.
#include "panel/SingleInstance.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
// A fresh folder with the given permissions, removed when it goes.
struct PrivateFolder : testsupport::TempFolder
{
    explicit PrivateFolder (int mode = 0700) : TempFolder ("quibra-si-test")
    {
        ::chmod (folder.getFullPathName().toRawUTF8(), (mode_t) mode);
    }
};

// Runs body in a forked process (it stands for a later launch) and returns
// its pid; the child ends with _exit, so none of this process's exit handlers
// or static destructors run twice.
template <typename Fn>
pid_t forkChild (Fn body)
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit (body());
    return pid;
}

// The child's exit code; a child still running after 30 s is killed (-1).
int waitChild (pid_t pid)
{
    int status = 0;
    for (int i = 0; i < 3000; ++i)
    {
        const auto r = ::waitpid (pid, &status, WNOHANG);
        if (r == pid)
            return WIFEXITED (status) ? WEXITSTATUS (status) : -1;
        if (r < 0 && errno != EINTR)
            return -1;
        juce::Thread::sleep (10);
    }
    ::kill (pid, SIGKILL);
    while (::waitpid (pid, &status, 0) < 0 && errno == EINTR) {}
    return -1;
}

} // namespace

TEST (AppSingleInstance, SecondProcessHandsItsCommandLineToTheFirst)
{
    const PrivateFolder dirHolder;
    const auto& dir = dirHolder.folder;
    juce::StringArray received;
    {
        SingleInstance first ("Quibra-test", dir.getFullPathName());
        first.onCommandLine = [&] (const juce::String& cl) { received.add (cl); };
        ASSERT_EQ (first.claimOrHandOff ("first"), SingleInstance::Result::primary);
        EXPECT_TRUE (first.isPrimary());
        EXPECT_TRUE (first.getSocketFile().exists());

        const juce::String commandLine = juce::String::fromUTF8 ("/defaults \"with blank\" \xc3\xa4");
        const auto child = forkChild ([&]
        {
            SingleInstance second ("Quibra-test", dir.getFullPathName());
            const auto r = second.claimOrHandOff (commandLine, 10000);
            return r == SingleInstance::Result::handedOff ? 0 : 10 + (int) r;
        });

        // The child waits for the acknowledgement, which the listener thread
        // gives; delivery to the callback happens on this message loop.
        EXPECT_TRUE (testsupport::pumpUntil ([&] { return received.size() == 1; }, 15000));
        EXPECT_EQ (waitChild (child), 0);
        ASSERT_EQ (received.size(), 1);
        EXPECT_EQ (received[0], commandLine);

        // A second hand-off from the same process works as well (the empty
        // command line included).
        EXPECT_EQ (SingleInstance::sendTo (first.getSocketFile().getFullPathName().toRawUTF8(), {}, 5000),
                   SingleInstance::Result::handedOff);
        EXPECT_TRUE (testsupport::pumpUntil ([&] { return received.size() == 2; }, 10000));
        EXPECT_EQ (received[1], juce::String());

        // A command line too long to hand over is reported as such at once,
        // not as an instance that does not answer.
        SingleInstance third ("Quibra-test", dir.getFullPathName());
        const auto start = juce::Time::getMillisecondCounter();
        EXPECT_EQ (third.claimOrHandOff (juce::String::repeatedString ("x", SingleInstance::maxMessageBytes + 1), 10000),
                   SingleInstance::Result::refused);
        EXPECT_LT (juce::Time::getMillisecondCounter() - start, 5000u);
        EXPECT_FALSE (third.isPrimary());
    }

    // The primary gone, its socket is removed and a new launch takes over.
    SingleInstance next ("Quibra-test", dir.getFullPathName());
    EXPECT_FALSE (next.getSocketFile().exists());
    EXPECT_EQ (next.claimOrHandOff ("again"), SingleInstance::Result::primary);
}

TEST (AppSingleInstance, StaleSocketAndLockOfACrashedInstanceAreTakenOver)
{
    const PrivateFolder dirHolder;
    const auto& dir = dirHolder.folder;
    SingleInstance probe ("Quibra-test", dir.getFullPathName());
    const auto socketPath = probe.getSocketFile().getFullPathName().toStdString();

    // What a killed instance leaves: a bound socket file nobody listens on,
    // and its lock file (the lock itself went with the process).
    {
        const int fd = ::socket (AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr {};
        addr.sun_family = AF_UNIX;
        std::strcpy (addr.sun_path, socketPath.c_str());
        ASSERT_EQ (::bind (fd, reinterpret_cast<sockaddr*> (&addr), sizeof (addr)), 0);
        ::close (fd);
    }
    ASSERT_TRUE (probe.getLockFile().replaceWithText ("stale"));
    ASSERT_TRUE (juce::File (socketPath).exists());
    EXPECT_EQ (SingleInstance::sendTo (socketPath.c_str(), "x", 500), SingleInstance::Result::noAnswer);

    juce::StringArray received;
    SingleInstance taker ("Quibra-test", dir.getFullPathName());
    taker.onCommandLine = [&] (const juce::String& cl) { received.add (cl); };
    ASSERT_EQ (taker.claimOrHandOff ("me", 2000), SingleInstance::Result::primary);

    // The new socket answers.
    EXPECT_EQ (SingleInstance::sendTo (socketPath.c_str(), "hello", 5000), SingleInstance::Result::handedOff);
    EXPECT_TRUE (testsupport::pumpUntil ([&] { return received.contains ("hello"); }, 10000));
}

TEST (AppSingleInstance, LockHeldWithoutListenerIsWaitedForThenGivenUp)
{
    // A process that holds the lock but never listens (one that hangs while
    // starting): a later launch waits its time, then reports no answer and
    // does not take over.
    const PrivateFolder dirHolder;
    const auto& dir = dirHolder.folder;
    SingleInstance probe ("Quibra-test", dir.getFullPathName());
    const auto lockPath = probe.getLockFile().getFullPathName().toStdString();

    int ready[2];
    ASSERT_EQ (::pipe (ready), 0);
    const auto child = forkChild ([&]
    {
        const int fd = ::open (lockPath.c_str(), O_RDWR | O_CREAT, 0600);
        if (fd < 0 || ::flock (fd, LOCK_EX) != 0)
            return 2;
        char c = 1;
        [[maybe_unused]] auto n = ::write (ready[1], &c, 1);
        ::sleep (5);
        return 0;
    });
    char c = 0;
    ASSERT_EQ (::read (ready[0], &c, 1), 1);

    const auto start = juce::Time::getMillisecondCounter();
    SingleInstance late ("Quibra-test", dir.getFullPathName());
    EXPECT_EQ (late.claimOrHandOff ("late", 400), SingleInstance::Result::noAnswer);
    EXPECT_GE (juce::Time::getMillisecondCounter() - start, 350u);
    EXPECT_FALSE (late.isPrimary());
    EXPECT_FALSE (late.getSocketFile().exists());

    ::kill (child, SIGKILL);
    waitChild (child);
    ::close (ready[0]);
    ::close (ready[1]);

    // The holder died: its lock went with it.
    EXPECT_EQ (late.claimOrHandOff ("late", 2000), SingleInstance::Result::primary);
}

TEST (AppSingleInstance, FolderOpenToOthersIsRefused)
{
    const PrivateFolder dirHolder (0777);
    const auto& dir = dirHolder.folder;
    SingleInstance s ("Quibra-test", dir.getFullPathName());
    EXPECT_EQ (s.claimOrHandOff ("x", 200), SingleInstance::Result::failed);
    EXPECT_FALSE (s.getSocketFile().exists());
}

TEST (AppSingleInstance, NameAndFolderFollowDisplayAndUser)
{
    {
        testsupport::ScopedEnv display ("DISPLAY", ":99.0");
        EXPECT_EQ (SingleInstance::defaultName(), "Quibra-_99");
    }
    {
        testsupport::ScopedEnv display ("DISPLAY", ":99");
        EXPECT_EQ (SingleInstance::defaultName(), "Quibra-_99");
    }
    {
        testsupport::ScopedEnv display ("DISPLAY", "host.example:1.2");
        EXPECT_EQ (SingleInstance::defaultName(), "Quibra-host_example_1");
    }
    {
        testsupport::ScopedEnv display ("DISPLAY", ":12");
        EXPECT_NE (SingleInstance::defaultName(), "Quibra-_1");
    }

    // No usable runtime folder: a private folder of this user under /tmp.
    {
        testsupport::ScopedEnv runtime ("XDG_RUNTIME_DIR", nullptr);
        EXPECT_EQ (SingleInstance::defaultFolder(), "/tmp/quibra-" + juce::String ((int) ::getuid()));
    }
    {
        const PrivateFolder openHolder (0755);
        const auto& open = openHolder.folder;
        testsupport::ScopedEnv runtime ("XDG_RUNTIME_DIR", open.getFullPathName().toRawUTF8());
        EXPECT_EQ (SingleInstance::defaultFolder(), "/tmp/quibra-" + juce::String ((int) ::getuid()));
    }
    {
        const PrivateFolder mineHolder (0700);
        const auto& mine = mineHolder.folder;
        testsupport::ScopedEnv runtime ("XDG_RUNTIME_DIR", mine.getFullPathName().toRawUTF8());
        EXPECT_EQ (SingleInstance::defaultFolder(), mine.getFullPathName());
    }
}

TEST (AppSingleInstance, HostilePeersAreDroppedAndDoNotBlockLaterLaunches)
{
    const PrivateFolder dirHolder;
    const auto& dir = dirHolder.folder;
    juce::StringArray received;
    SingleInstance first ("Quibra-test", dir.getFullPathName());
    first.onCommandLine = [&] (const juce::String& cl) { received.add (cl); };
    ASSERT_EQ (first.claimOrHandOff ("first"), SingleInstance::Result::primary);
    const auto socketPath = first.getSocketFile().getFullPathName().toStdString();

    const auto connectRaw = [&]
    {
        const int fd = ::socket (AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr {};
        addr.sun_family = AF_UNIX;
        std::strcpy (addr.sun_path, socketPath.c_str());
        EXPECT_EQ (::connect (fd, reinterpret_cast<sockaddr*> (&addr), sizeof (addr)), 0);
        return fd;
    };

    // Sends bytes, ends the stream and returns what the listener answered
    // (empty when it dropped the peer).
    const auto exchange = [&] (const std::string& bytes)
    {
        const int fd = connectRaw();
        size_t done = 0;
        while (done < bytes.size())
        {
            const auto n = ::send (fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            done += (size_t) n;
        }
        ::shutdown (fd, SHUT_WR);
        std::string reply;
        char buffer[16];
        pollfd p { fd, POLLIN, 0 };
        while (::poll (&p, 1, 10000) > 0)
        {
            const auto n = ::recv (fd, buffer, sizeof (buffer), 0);
            if (n <= 0)
                break;
            reply.append (buffer, (size_t) n);
        }
        ::close (fd);
        return reply;
    };

    // Too long, a zero byte, not UTF-8 (an overlong zero among it): refused.
    EXPECT_EQ (exchange (std::string ((size_t) SingleInstance::maxMessageBytes + 1, 'a')), "NO\n");
    EXPECT_EQ (exchange (std::string ("/defaults\0x", 11)), "NO\n");
    EXPECT_EQ (exchange ("/default\xe4"), "NO\n");
    EXPECT_EQ (exchange ("/default\xc0\x80s"), "NO\n");
    // The longest accepted message still goes through.
    EXPECT_EQ (exchange (std::string ((size_t) SingleInstance::maxMessageBytes, 'b')), "OK\n");

    // Peers that connect and then say nothing, and never hang up, do not
    // hold up a later launch: it is answered well within one peer's time.
    const int silent = connectRaw(), silent2 = connectRaw();
    EXPECT_EQ (SingleInstance::sendTo (socketPath.c_str(), "later", 2500), SingleInstance::Result::handedOff);

    EXPECT_TRUE (testsupport::pumpUntil ([&] { return received.contains ("later"); }, 10000));
    ASSERT_EQ (received.size(), 2);
    EXPECT_EQ (received[0], juce::String::repeatedString ("b", SingleInstance::maxMessageBytes));
    EXPECT_EQ (received[1], "later");
    ::close (silent);
    ::close (silent2);
}

TEST (AppSingleInstance, IdleListenerSleepsAndASilentPeerDoesNotHoldUpTheEnd)
{
    const PrivateFolder dirHolder;
    const auto& dir = dirHolder.folder;
    auto first = std::make_unique<SingleInstance> ("Quibra-test", dir.getFullPathName());
    ASSERT_EQ (first->claimOrHandOff ("first"), SingleInstance::Result::primary);

    // With nobody connected the listener thread sleeps: it is not woken
    // (a context switch each time) while a second goes by.
    const auto listenerSwitches = []
    {
        for (const auto& task : juce::File ("/proc/self/task").findChildFiles (juce::File::findDirectories, false))
            if (task.getChildFile ("comm").loadFileAsString().trim() == "Quibra listener")
                for (const auto& line : juce::StringArray::fromLines (task.getChildFile ("status").loadFileAsString()))
                    if (line.startsWith ("voluntary_ctxt_switches:"))
                        return line.fromFirstOccurrenceOf (":", false, false).trim().getIntValue();
        return -1;
    };
    juce::Thread::sleep (100);
    const int before = listenerSwitches();
    ASSERT_GE (before, 0);
    juce::Thread::sleep (1000);
    EXPECT_LE (listenerSwitches() - before, 1);

    // Connected and saying nothing: the listener is busy with it.
    const int silent = ::socket (AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr {};
    addr.sun_family = AF_UNIX;
    std::strcpy (addr.sun_path, first->getSocketFile().getFullPathName().toRawUTF8());
    ASSERT_EQ (::connect (silent, reinterpret_cast<sockaddr*> (&addr), sizeof (addr)), 0);
    juce::Thread::sleep (200);

    // The instance ends (on the message thread, at shutdown) without waiting
    // for the peer's time to run out (3 s).
    const auto start = juce::Time::getMillisecondCounter();
    first = nullptr;
    EXPECT_LT (juce::Time::getMillisecondCounter() - start, 2000u);

    ::close (silent);
}
