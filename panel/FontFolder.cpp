#include "panel/FontFolder.h"

#include <juce_graphics/juce_graphics.h>

#include <cstdlib>
#include <sys/stat.h>

void FontFolder::useOwnFolder()
{
    struct stat info {};
    if (std::getenv ("JUCE_FONT_PATH") != nullptr || ::stat (path, &info) != 0 || ! S_ISDIR (info.st_mode))
        return;

    // The framework reads the variable once, when it first lists the fonts:
    // list them now, then take the variable back so that the programs the
    // panel starts do not inherit it.
    ::setenv ("JUCE_FONT_PATH", path, 1);
    juce::Font::findAllTypefaceNames();
    ::unsetenv ("JUCE_FONT_PATH");
}
