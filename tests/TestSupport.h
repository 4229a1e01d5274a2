// Helpers shared by the tests: running JUCE's message loop until something
// has happened, with generous limits for a loaded machine.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include <cstdlib>
#include <functional>
#include <string>

namespace testsupport
{
// Runs the message loop until pred() is true or timeoutMs has passed;
// returns pred()'s last value.
inline bool pumpUntil (const std::function<bool()>& pred, int timeoutMs = 5000)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;
    while (! pred())
    {
        if (juce::Time::getMillisecondCounter() >= end)
            return pred();
        juce::MessageManager::getInstance()->runDispatchLoopUntil (5);
    }
    return true;
}

// Runs the message loop for the given time.
inline void pumpFor (int ms)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) ms;
    while (juce::Time::getMillisecondCounter() < end)
        juce::MessageManager::getInstance()->runDispatchLoopUntil (5);
}

// The picture encoded as PNG data (empty when encoding fails).
inline juce::MemoryBlock encodePng (const juce::Image& image)
{
    juce::MemoryBlock block;
    juce::MemoryOutputStream out (block, false);
    juce::PNGImageFormat png;
    png.writeImageToStream (image, out);
    out.flush();
    return block;
}

// A fresh folder under the temporary folder, removed with everything in it
// when the object goes (also when a test ends early).
struct TempFolder
{
    explicit TempFolder (const juce::String& prefix = "quibra-test")
        : folder (juce::File::getSpecialLocation (juce::File::tempDirectory).getNonexistentChildFile (prefix, "", false))
    {
        folder.createDirectory();
    }

    ~TempFolder() { folder.deleteRecursively(); }

    TempFolder (const TempFolder&) = delete;
    TempFolder& operator= (const TempFolder&) = delete;

    const juce::File folder;
};

// Sets (or, for a null value, unsets) an environment variable for the
// lifetime of the object, then puts back what was there before.
struct ScopedEnv
{
    ScopedEnv (const char* nameIn, const char* value) : name (nameIn)
    {
        if (const char* old = ::getenv (name))
            previous = old, hadValue = true;
        if (value != nullptr)
            ::setenv (name, value, 1);
        else
            ::unsetenv (name);
    }

    ScopedEnv (const char* nameIn, const juce::String& value) : ScopedEnv (nameIn, value.toRawUTF8()) {}

    ~ScopedEnv()
    {
        if (hadValue)
            ::setenv (name, previous.c_str(), 1);
        else
            ::unsetenv (name);
    }

    ScopedEnv (const ScopedEnv&) = delete;
    ScopedEnv& operator= (const ScopedEnv&) = delete;

    const char* name;
    std::string previous;
    bool hadValue = false;
};
} // namespace testsupport
