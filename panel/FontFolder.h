// The fonts the panel draws with.
//
// The panel draws all its text in one typeface family (DejaVu, from Debian's
// fonts-dejavu-core). At the first text measurement the framework opens every
// font file below the folders it is told of, by default all those of the
// machine's font configuration, so without a bound the start-up grows with
// each font package installed. Pointing it at the family's own folder keeps
// the start-up, and the typeface chosen, the same on every machine.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <future>

namespace FontFolder
{
// The folder of the family the panel draws with.
inline constexpr const char* path = "/usr/share/fonts/truetype/dejavu";

// Has the framework list its fonts from that folder only, unless
// JUCE_FONT_PATH names folders of the user's choice or the folder is missing.
// Takes effect only when called before any text is measured.
void useOwnFolder();
} // namespace FontFolder

// The first glyphs, loaded ahead. Loading a glyph of the family is slow (the
// framework reads its kerning against every other character of the font,
// about a third of a millisecond each), and the first frame needs some
// thirty of them. They are loaded on a thread of its own while the toolkit
// opens its display connection; install() then has the plain default
// sans-serif text drawn with that typeface.
//
// Nothing else may measure or draw text between construction and install():
// the typeface is not shared until then.
class TypefacePrefetch
{
public:
    explicit TypefacePrefetch (const juce::String& text);
    ~TypefacePrefetch();

    // Waits for the glyphs; from then on, until this object goes, the default
    // look hands out the prefetched typeface for plain text in the default
    // sans-serif family.
    // Call on the message thread once the desktop exists.
    void install();

private:
    struct Look;

    // Gives the default look back to the toolkit.
    void uninstall();

    std::future<juce::Typeface::Ptr> loaded;
    std::unique_ptr<Look> look;
};
