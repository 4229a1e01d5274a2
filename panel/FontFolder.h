// The folder the framework reads its fonts from.
//
// The panel draws all its text in one typeface family (DejaVu, from Debian's
// fonts-dejavu-core). At the first text measurement the framework opens every
// font file below the folders it is told of, by default all those of the
// machine's font configuration, so without a bound the start-up grows with
// each font package installed. Pointing it at the family's own folder keeps
// the start-up, and the typeface chosen, the same on every machine.
#pragma once

namespace FontFolder
{
// The folder of the family the panel draws with.
inline constexpr const char* path = "/usr/share/fonts/truetype/dejavu";

// Has the framework list its fonts from that folder only, unless
// JUCE_FONT_PATH names folders of the user's choice or the folder is missing.
// Takes effect only when called before any text is measured.
void useOwnFolder();
} // namespace FontFolder
