// The panel's trace lines on standard error: written as given and flushed at
// once, so they stay in order with the output of programs the panel starts.
#pragma once

#include <juce_core/juce_core.h>
#include <cstdio>

inline void writeStderrTrace (const juce::String& text)
{
    std::fputs (text.toRawUTF8(), stderr);
    std::fflush (stderr);
}
