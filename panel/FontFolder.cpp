#include "panel/FontFolder.h"

#include <juce_graphics/juce_graphics.h>

#include <system_error>

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

//==============================================================================
struct TypefacePrefetch::Look : juce::LookAndFeel_V4
{
    explicit Look (juce::Typeface::Ptr t) : typeface (std::move (t)) {}

    juce::Typeface::Ptr getTypefaceForFont (const juce::Font& font) override
    {
        // The fonts that the toolkit would give this face as well: the
        // default family in the face's own style, or in a style the family
        // lacks ("Regular" and "<Regular>", where the family says "Book").
        // Bold, italic and other families are found as before.
        if (typeface != nullptr && font.getTypefaceName() == juce::Font::getDefaultSansSerifFontName())
        {
            const auto style = font.getTypefaceStyle();
            if (style == typeface->getStyle() || ! juce::Font::findAllTypefaceStyles (typeface->getName()).contains (style))
                return typeface;
        }

        return LookAndFeel_V4::getTypefaceForFont (font);
    }

    juce::Typeface::Ptr typeface;
};

TypefacePrefetch::TypefacePrefetch (const juce::String& text)
{
    const auto load = [text]
    {
        // The typeface the default look would make for plain default text.
        auto typeface = juce::Font::getDefaultTypefaceForFont (juce::Font());
        if (typeface != nullptr)
            typeface->getStringWidth (text);
        return typeface;
    };

    try
    {
        loaded = std::async (std::launch::async, load);
    }
    catch (const std::system_error&)
    {
        // No thread to be had: nothing is loaded ahead.
    }
}

TypefacePrefetch::~TypefacePrefetch()
{
    uninstall();
    if (loaded.valid())
        loaded.wait();
}

void TypefacePrefetch::install()
{
    if (! loaded.valid() || look != nullptr)
        return;

    auto typeface = loaded.get();
    if (typeface == nullptr)
        return;

    look = std::make_unique<Look> (std::move (typeface));
    juce::Desktop::getInstance().setDefaultLookAndFeel (look.get());
    // A typeface found before now is not handed out again.
    juce::Typeface::clearTypefaceCache();
}

void TypefacePrefetch::uninstall()
{
    if (look == nullptr)
        return;

    if (&juce::LookAndFeel::getDefaultLookAndFeel() == look.get())
        juce::Desktop::getInstance().setDefaultLookAndFeel (nullptr);

    juce::Typeface::clearTypefaceCache();
    look = nullptr;
}
