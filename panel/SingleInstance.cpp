#include "panel/SingleInstance.h"
#include "panel/Utf8Text.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace
{
bool fillAddress (sockaddr_un& addr, const char* path)
{
    std::memset (&addr, 0, sizeof (addr));
    addr.sun_family = AF_UNIX;
    const auto len = std::strlen (path);
    if (len == 0 || len >= sizeof (addr.sun_path))
        return false;
    std::memcpy (addr.sun_path, path, len);
    return true;
}

// Milliseconds left until deadline (a juce::Time::getMillisecondCounter value).
int msLeft (juce::uint32 deadline)
{
    const auto now = juce::Time::getMillisecondCounter();
    return now >= deadline ? 0 : (int) (deadline - now);
}

bool writeAll (int fd, const char* data, size_t size, juce::uint32 deadline)
{
    while (size > 0)
    {
        pollfd p { fd, POLLOUT, 0 };
        if (::poll (&p, 1, msLeft (deadline)) <= 0)
            return false;
        const auto n = ::send (fd, data, size, MSG_NOSIGNAL);
        if (n < 0)
        {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return false;
        }
        data += n;
        size -= (size_t) n;
    }
    return true;
}

// Reads until end of stream, at most limit + 1 bytes (so an oversized
// message can be told apart), or until the deadline.
bool readAll (int fd, juce::MemoryBlock& out, size_t limit, juce::uint32 deadline)
{
    char buffer[4096];
    for (;;)
    {
        pollfd p { fd, POLLIN, 0 };
        const auto r = ::poll (&p, 1, msLeft (deadline));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        const auto n = ::recv (fd, buffer, sizeof (buffer), 0);
        if (n < 0)
        {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return false;
        }
        if (n == 0)
            return true;
        out.append (buffer, (size_t) n);
        if (out.getSize() > limit)
            return true;
    }
}

bool isPrivateFolder (const char* path)
{
    struct stat st {};
    if (::lstat (path, &st) != 0)
        return false;
    return S_ISDIR (st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
}
} // namespace

//==============================================================================
// Serves later launches on the primary's socket: one poll() over the socket,
// a wake-up event and every open connection, so that all peers are served at
// once, each within its own time limit. With nobody connected it sleeps until
// a peer connects or it is told to stop.
class SingleInstance::Listener final : public juce::Thread
{
public:
    Listener (int fdToUse, std::weak_ptr<int> tokenToUse, SingleInstance& ownerToUse)
        // (A thread name of more than 15 characters is dropped by the system.)
        : juce::Thread ("Quibra listener"), listenFd (fdToUse), token (std::move (tokenToUse)), owner (ownerToUse),
          wakeFd (::eventfd (0, EFD_CLOEXEC | EFD_NONBLOCK))
    {
    }

    ~Listener() override
    {
        signalThreadShouldExit();
        if (wakeFd >= 0)
        {
            const uint64_t one = 1;
            [[maybe_unused]] const auto n = ::write (wakeFd, &one, sizeof (one));
        }
        stopThread (4000);

        for (auto& peer : peers)
            ::close (peer.fd);
        if (wakeFd >= 0)
            ::close (wakeFd);
    }

    bool canRun() const noexcept { return wakeFd >= 0; }

    // Time a peer has to send its command line and take the answer.
    static constexpr int peerTimeoutMs = 3000;
    // Connections served at once; more wait in the socket's queue.
    static constexpr size_t maxPeers = 32;

    void run() override
    {
        std::vector<pollfd> fds;

        while (! threadShouldExit())
        {
            fds.clear();
            fds.push_back ({ wakeFd, POLLIN, 0 });
            const int pause = msLeft (acceptPausedUntil);
            fds.push_back ({ peers.size() < maxPeers && pause == 0 ? listenFd : -1, POLLIN, 0 });

            int timeout = pause > 0 ? pause : -1;
            for (const auto& peer : peers)
            {
                fds.push_back ({ peer.fd, (short) (peer.reply.empty() ? POLLIN : POLLOUT), 0 });
                const int left = msLeft (peer.deadline);
                timeout = timeout < 0 ? left : juce::jmin (timeout, left);
            }

            if (::poll (fds.data(), (nfds_t) fds.size(), timeout) < 0 && errno != EINTR)
                return;

            if (threadShouldExit())
                return;

            for (size_t i = peers.size(); i-- > 0;)
            {
                const auto events = fds[i + 2].revents;
                if ((events == 0 || serve (peers[i])) && msLeft (peers[i].deadline) > 0)
                    continue;

                ::close (peers[i].fd);
                peers.erase (peers.begin() + (std::ptrdiff_t) i);
            }

            if ((fds[1].revents & POLLIN) != 0)
                acceptPeers();
        }
    }

private:
    struct Peer
    {
        int fd;
        juce::uint32 deadline;
        std::string received, reply;
        size_t sent = 0;
    };

    void acceptPeers()
    {
        while (peers.size() < maxPeers)
        {
            const int fd = ::accept4 (listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd < 0)
            {
                if (errno == EINTR || errno == ECONNABORTED)
                    continue;
                // Out of descriptors or the like: the connection stays queued
                // and the socket readable, so wait a little before trying again
                // rather than spin.
                if (errno != EAGAIN && errno != EWOULDBLOCK)
                    acceptPausedUntil = juce::Time::getMillisecondCounter() + 100;
                return;
            }
            peers.push_back ({ fd, juce::Time::getMillisecondCounter() + (juce::uint32) peerTimeoutMs, {}, {} });
        }
    }

    // Reads what the peer has sent, or writes it the answer; false when the
    // peer is done with or has failed.
    bool serve (Peer& peer)
    {
        char buffer[4096];
        while (peer.reply.empty())
        {
            const auto n = ::recv (peer.fd, buffer, sizeof (buffer), 0);
            if (n > 0)
            {
                peer.received.append (buffer, (size_t) n);
                if (peer.received.size() > (size_t) maxMessageBytes)
                    peer.reply = "NO\n";
            }
            else if (n == 0)
            {
                peer.reply = accept (peer.received) ? "OK\n" : "NO\n";
            }
            else if (errno == EAGAIN || errno == EWOULDBLOCK)
            {
                return true;
            }
            else if (errno != EINTR)
            {
                return false;
            }
        }

        while (peer.sent < peer.reply.size())
        {
            const auto n = ::send (peer.fd, peer.reply.data() + peer.sent, peer.reply.size() - peer.sent, MSG_NOSIGNAL);
            if (n > 0)
                peer.sent += (size_t) n;
            else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return true;
            else if (n == 0 || errno != EINTR)
                return false;
        }
        return false;
    }

    // Hands a whole message to the message thread when it is a command line.
    bool accept (const std::string& message)
    {
        if (! isAcceptableMessage (message.data(), message.size()))
            return false;

        auto commandLine = juce::String::fromUTF8 (message.data(), (int) message.size());
        auto weakToken = token;
        auto* target = &owner;
        juce::MessageManager::callAsync ([weakToken, target, commandLine]
        {
            // The owner lives on the message thread; its token dies with it.
            if (weakToken.lock() != nullptr && target->onCommandLine)
                target->onCommandLine (commandLine);
        });
        return true;
    }

    const int listenFd;
    std::weak_ptr<int> token;
    SingleInstance& owner;
    const int wakeFd;
    std::vector<Peer> peers;
    juce::uint32 acceptPausedUntil = 0;
};

//==============================================================================
SingleInstance::SingleInstance (juce::String name, juce::String dir)
    : folder (dir.isNotEmpty() ? dir : defaultFolder()),
      baseName (name.isNotEmpty() ? name : defaultName())
{
}

SingleInstance::~SingleInstance()
{
    releaseAll();
}

juce::String SingleInstance::defaultFolder()
{
    if (const char* runtime = ::getenv ("XDG_RUNTIME_DIR"))
        if (*runtime != 0 && isPrivateFolder (runtime))
            return juce::String (runtime);

    return "/tmp/quibra-" + juce::String ((int) ::getuid());
}

juce::String SingleInstance::defaultName()
{
    juce::String display (::getenv ("DISPLAY"));

    // ":1.0" and ":1" are the same X server: the screen number is dropped.
    const auto colon = display.lastIndexOfChar (':');
    if (colon >= 0)
    {
        const auto dot = display.indexOfChar (colon, '.');
        if (dot > colon)
            display = display.substring (0, dot);
    }
    if (display.isEmpty())
        display = "none";

    juce::String safe;
    for (auto c : display)
        safe << (juce::CharacterFunctions::isLetterOrDigit (c) ? juce::String::charToString (c) : juce::String ("_"));

    return "Quibra-" + safe;
}

juce::File SingleInstance::getSocketFile() const { return juce::File (folder).getChildFile (baseName + ".sock"); }
juce::File SingleInstance::getLockFile() const   { return juce::File (folder).getChildFile (baseName + ".lock"); }
bool SingleInstance::isPrimary() const noexcept  { return listenFd >= 0; }

bool SingleInstance::makeFolder() const
{
    const auto path = folder.toStdString();
    if (::mkdir (path.c_str(), 0700) != 0 && errno != EEXIST)
        return false;

    // Someone else's folder, a link, or a folder others can write into is
    // never used: anyone there could pose as the running instance.
    return isPrivateFolder (path.c_str());
}

bool SingleInstance::takeLock()
{
    if (lockFd < 0)
    {
        const auto path = getLockFile().getFullPathName().toStdString();
        lockFd = ::open (path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (lockFd < 0)
            return false;
    }

    for (;;)
    {
        if (::flock (lockFd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
        {
            // No locking here at all (not "held by another"): give the file
            // up, so the caller runs without the guard instead of waiting
            // for an instance that does not exist.
            ::close (lockFd);
            lockFd = -1;
        }
        return false;
    }
}

bool SingleInstance::startListening()
{
    const auto path = getSocketFile().getFullPathName().toStdString();
    sockaddr_un addr;
    if (! fillAddress (addr, path.c_str()))
        return false;

    // We hold the lock, so whatever socket file is there was left behind by
    // an instance that is gone.
    ::unlink (path.c_str());

    const int fd = ::socket (AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;

    if (::bind (fd, reinterpret_cast<sockaddr*> (&addr), sizeof (addr)) != 0
        || ::chmod (path.c_str(), 0600) != 0
        || ::listen (fd, 8) != 0)
    {
        ::close (fd);
        return false;
    }

    listenFd = fd;
    listener = std::make_unique<Listener> (listenFd, aliveToken, *this);
    return listener->canRun() && listener->startThread();
}

void SingleInstance::releaseAll()
{
    listener.reset();

    if (listenFd >= 0)
    {
        ::close (listenFd);
        listenFd = -1;
        ::unlink (getSocketFile().getFullPathName().toRawUTF8());
    }

    if (lockFd >= 0)
    {
        ::close (lockFd); // drops the flock
        lockFd = -1;
    }
}

SingleInstance::Result SingleInstance::claimOrHandOff (const juce::String& commandLine, int timeoutMs)
{
    if (isPrimary())
        return Result::primary;

    if (! makeFolder())
        return Result::failed;

    const auto socketPath = getSocketFile().getFullPathName().toStdString();
    const auto deadline = juce::Time::getMillisecondCounter() + (juce::uint32) juce::jmax (0, timeoutMs);

    for (;;)
    {
        if (takeLock())
        {
            if (startListening())
                return Result::primary;

            releaseAll();
            return Result::failed;
        }

        if (lockFd < 0)
            return Result::failed; // the lock file cannot be opened at all

        // The lock is held: a running instance, or one that is starting up
        // and not listening yet.
        const auto sent = sendTo (socketPath.c_str(), commandLine, juce::jmax (200, msLeft (deadline)));
        if (sent != Result::noAnswer)
        {
            releaseAll();
            return sent;
        }

        if (msLeft (deadline) == 0)
        {
            releaseAll();
            return Result::noAnswer;
        }

        juce::Thread::sleep (50);
    }
}

bool SingleInstance::isAcceptableMessage (const char* bytes, size_t size)
{
    return size <= (size_t) maxMessageBytes && Utf8Text::isValid (bytes, size);
}

SingleInstance::Result SingleInstance::sendTo (const char* socketPath, const juce::String& commandLine, int timeoutMs)
{
    const auto utf8 = commandLine.toStdString();
    if (! isAcceptableMessage (utf8.data(), utf8.size()))
        return Result::refused;

    sockaddr_un addr;
    if (! fillAddress (addr, socketPath))
        return Result::noAnswer;

    // Non-blocking: a listener whose queue is full refuses at once (EAGAIN)
    // instead of keeping connect() waiting for as long as it stays stuck.
    const int fd = ::socket (AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return Result::noAnswer;

    const auto deadline = juce::Time::getMillisecondCounter() + (juce::uint32) juce::jmax (0, timeoutMs);
    auto result = Result::noAnswer;

    if (::connect (fd, reinterpret_cast<sockaddr*> (&addr), sizeof (addr)) == 0
        && writeAll (fd, utf8.data(), utf8.size(), deadline)
        && ::shutdown (fd, SHUT_WR) == 0)
    {
        juce::MemoryBlock reply;
        if (readAll (fd, reply, 16, deadline))
        {
            const auto text = reply.toString();
            if (text.startsWith ("OK"))
                result = Result::handedOff;
            else if (text.startsWith ("NO"))
                result = Result::refused;
        }
    }

    ::close (fd);
    return result;
}
