// Test entry point: one JUCE GUI initialiser for the whole process, and an X
// error handler of our own (outside a JUCE application, JUCE installs none and
// Xlib would exit on the first harmless error of a bare X server).
#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>
#include <X11/Xlib.h>
#include <cstdlib>

namespace
{
int ignoreXError (Display*, XErrorEvent*) { return 0; }

// Every test process gets a home of its own, so that settings files and
// locks never touch the real user's; it is removed when the tests end.
juce::String useTemporaryHome()
{
    char pattern[] = "/tmp/quibra-test-home-XXXXXX";
    if (const char* dir = ::mkdtemp (pattern))
    {
        ::setenv ("HOME", dir, 1);
        return dir;
    }
    return {};
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

    juce::ScopedJuceInitialiser_GUI gui;
    const int result = RUN_ALL_TESTS();
    if (home.isNotEmpty())
        juce::File (home).deleteRecursively();
    return result;
}
