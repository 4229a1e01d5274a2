#include "panel/SingleInstance.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

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
// message can be told apart), or until the deadline; gives up early when
// the given thread is asked to stop.
bool readAll (int fd, juce::MemoryBlock& out, size_t limit, juce::uint32 deadline,
              const juce::Thread* thread = nullptr)
{
    char buffer[4096];
    for (;;)
    {
        if (thread != nullptr && thread->threadShouldExit())
            return false;
        const int left = msLeft (deadline);
        pollfd p { fd, POLLIN, 0 };
        const auto r = ::poll (&p, 1, thread != nullptr ? juce::jmin (left, 100) : left);
        if (r == 0 && left > 100 && thread != nullptr)
            continue;
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
// Accepts later launches on the primary's socket, one at a time.
class SingleInstance::Listener final : public juce::Thread
{
public:
    Listener (int fdToUse, std::weak_ptr<int> tokenToUse, SingleInstance& ownerToUse)
        : juce::Thread ("Quibra instance listener"), fd (fdToUse), token (std::move (tokenToUse)), owner (ownerToUse)
    {
    }

    ~Listener() override { stopThread (4000); }

    void run() override
    {
        while (! threadShouldExit())
        {
            pollfd p { fd, POLLIN, 0 };
            if (::poll (&p, 1, 100) <= 0)
                continue;

            const int client = ::accept4 (fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                continue;

            serve (client);
            ::close (client);
        }
    }

private:
    void serve (int client)
    {
        const auto deadline = juce::Time::getMillisecondCounter() + 3000;
        juce::MemoryBlock data;
        if (! readAll (client, data, (size_t) maxMessageBytes, deadline, this) || data.getSize() > (size_t) maxMessageBytes)
            return;

        // Only UTF-8 text without zero bytes is a command line; anything
        // else gets no acknowledgement.
        const auto* bytes = static_cast<const char*> (data.getData());
        const auto size = data.getSize();
        if ((size > 0 && std::memchr (bytes, 0, size) != nullptr) || ! juce::CharPointer_UTF8::isValidString (bytes, (int) size))
            return;

        auto commandLine = juce::String::fromUTF8 (bytes, (int) size);
        static const char ack[] = "OK\n";
        writeAll (client, ack, sizeof (ack) - 1, deadline);

        auto weakToken = token;
        auto* target = &owner;
        juce::MessageManager::callAsync ([weakToken, target, commandLine]
        {
            // The owner lives on the message thread; its token dies with it.
            if (weakToken.lock() != nullptr && target->onCommandLine)
                target->onCommandLine (commandLine);
        });
    }

    int fd;
    std::weak_ptr<int> token;
    SingleInstance& owner;
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

    const int fd = ::socket (AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
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
    listener->startThread();
    return true;
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
        if (sendTo (socketPath.c_str(), commandLine, juce::jmax (200, msLeft (deadline))))
        {
            releaseAll();
            return Result::handedOff;
        }

        if (msLeft (deadline) == 0)
        {
            releaseAll();
            return Result::noAnswer;
        }

        juce::Thread::sleep (50);
    }
}

bool SingleInstance::sendTo (const char* socketPath, const juce::String& commandLine, int timeoutMs)
{
    sockaddr_un addr;
    if (! fillAddress (addr, socketPath))
        return false;

    // Non-blocking: a listener whose queue is full refuses at once (EAGAIN)
    // instead of keeping connect() waiting for as long as it stays stuck.
    const int fd = ::socket (AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;

    const auto deadline = juce::Time::getMillisecondCounter() + (juce::uint32) juce::jmax (0, timeoutMs);
    bool ok = false;

    if (::connect (fd, reinterpret_cast<sockaddr*> (&addr), sizeof (addr)) == 0)
    {
        const auto utf8 = commandLine.toStdString();
        if (utf8.size() <= (size_t) maxMessageBytes
            && writeAll (fd, utf8.data(), utf8.size(), deadline)
            && ::shutdown (fd, SHUT_WR) == 0)
        {
            juce::MemoryBlock reply;
            ok = readAll (fd, reply, 16, deadline) && reply.toString().startsWith ("OK");
        }
    }

    ::close (fd);
    return ok;
}
