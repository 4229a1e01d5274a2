// Helpers shared by the tests: running JUCE's message loop until something
// has happened, with generous limits for a loaded machine.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include <functional>

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
} // namespace testsupport
