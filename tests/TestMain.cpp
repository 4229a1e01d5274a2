// Test entry point: one JUCE GUI initialiser for the whole process, and an X
// error handler of our own (outside a JUCE application, JUCE installs none and
// Xlib would exit on the first harmless error of a bare X server).
#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>
#include <X11/Xlib.h>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace
{
int ignoreXError (Display*, XErrorEvent*) { return 0; }

// Every test process gets a home of its own, so that settings files and
// locks never touch the real user's; returns it ("" when none was made).
std::string useTemporaryHome()
{
    char pattern[] = "/tmp/quibra-test-home-XXXXXX";
    const char* dir = ::mkdtemp (pattern);
    if (dir == nullptr)
        return {};

    ::setenv ("HOME", dir, 1);
    return dir;
}
} // namespace

int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);

    if (::testing::GTEST_FLAG (list_tests))
        return RUN_ALL_TESTS();

    const auto home = useTemporaryHome();
    XInitThreads();
    XSetErrorHandler (ignoreXError);

    int result = 0;
    {
        juce::ScopedJuceInitialiser_GUI gui;
        result = RUN_ALL_TESTS();
    }

    // A run leaves nothing behind.
    if (! home.empty())
    {
        std::error_code ignored;
        std::filesystem::remove_all (home, ignored);
    }
    return result;
}
