// Test entry point: one JUCE GUI initialiser for the whole process, an X error
// handler of our own (outside a JUCE application, JUCE installs none and Xlib
// would exit on the first harmless error of a bare X server), a folder of the
// process's own for everything it writes, and a clean interface for every test.
#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>
#include <X11/Xlib.h>

#include "device/RegisterDeviceCallBacksMac.h"
#include "panel/FontFolder.h"
#include "platform/SimulatedInterface.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ftw.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
int ignoreXError (Display*, XErrorEvent*) { return 0; }

// The process's own folder under the temporary folder ($TMPDIR, else /tmp):
// HOME, the runtime folder (locks, sockets) and the tests' temporary files
// live in it, so nothing touches the real user's files, and it goes with
// everything in it when the process ends, whether its tests passed or not.
// (A process killed outright cannot remove it; under ctest, TMPDIR is a folder
// of the run that the run removes at its end.)
std::string processFolder;
pid_t folderOwner = 0;

int removeEntry (const char* path, const struct stat*, int, FTW*) { return ::remove (path); }

void removeProcessFolder()
{
    // Not in a child that inherited the name (a forked test process).
    if (! processFolder.empty() && ::getpid() == folderOwner)
        ::nftw (processFolder.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

bool makeProcessFolder()
{
    const char* tmp = ::getenv ("TMPDIR");
    const std::string parent = tmp != nullptr && *tmp != 0 ? tmp : "/tmp";
    if (::mkdir (parent.c_str(), 0700) != 0 && errno != EEXIST)
        return false;

    std::string pattern = parent + "/quibra-test-XXXXXX";
    if (::mkdtemp (pattern.data()) == nullptr)
        return false;
    processFolder = pattern;
    folderOwner = ::getpid();
    std::atexit (removeProcessFolder);

    const auto home = processFolder + "/home", run = processFolder + "/run";
    if (::mkdir (home.c_str(), 0700) != 0 || ::mkdir (run.c_str(), 0700) != 0)
        return false;
    ::setenv ("HOME", home.c_str(), 1);
    ::setenv ("XDG_RUNTIME_DIR", run.c_str(), 1);
    ::setenv ("TMPDIR", processFolder.c_str(), 1);
    return true;
}

// Every reset of the simulated interface puts the device link back as at
// program start: nothing registered, nothing found.
void resetDeviceLink()
{
    gInAudioObjectID = 0;
    gOutAudioObjectID = 0;
    // The owner is read on other threads: cleared the way the panel clears it.
    releaseOwner (mydeviceStruct, currentOwner (mydeviceStruct));
    mydeviceStruct.vendorId = mydeviceStruct.productId = 0;
    mydeviceStruct.productName = mydeviceStruct.deviceName = mydeviceStruct.manufacturerName = nullptr;
    mydeviceStruct.eventCallback = nullptr;
    root_port = 0;
}

// Every test starts with the simulated interface in its default state.
struct CleanInterface : ::testing::EmptyTestEventListener
{
    void OnTestStart (const ::testing::TestInfo&) override { sim::reset(); }
};
} // namespace

int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);

    if (::testing::GTEST_FLAG (list_tests))
        return RUN_ALL_TESTS();

    if (! makeProcessFolder())
    {
        std::perror ("quibra_tests: no folder of its own under the temporary folder");
        removeProcessFolder();
        return 2;
    }
    FontFolder::useOwnFolder(); // the fonts the application lists
    XInitThreads();
    XSetErrorHandler (ignoreXError);

    int result;
    {
        juce::ScopedJuceInitialiser_GUI gui;
        sim::setResetHook (resetDeviceLink);
        ::testing::UnitTest::GetInstance()->listeners().Append (new CleanInterface);
        result = RUN_ALL_TESTS();
    }
    removeProcessFolder();
    return result;
}
