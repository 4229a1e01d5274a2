// Application entry point: the framework's standard start, with the arguments
// made well-formed UTF-8 first (the framework reads them as such, and a
// malformed argument would make it overrun its string buffers).
#include "panel/QuibraApplication.h"
#include "panel/Utf8Text.h"

#include <string>
#include <vector>

static juce::JUCEApplicationBase* juce_CreateApplication() { return new QuibraApplication(); }

int main (int argc, char* argv[])
{
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i)
        arguments.push_back (Utf8Text::makeValid (argv[i]));

    std::vector<const char*> validArgv;
    for (const auto& a : arguments)
        validArgv.push_back (a.c_str());
    validArgv.push_back (nullptr);

    juce::JUCEApplicationBase::createInstance = &juce_CreateApplication;
    return juce::JUCEApplicationBase::main (argc, validArgv.data());
}
