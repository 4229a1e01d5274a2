// FlexROUTE preset files: round trip through a file, refusal of anything
// that is not a complete preset, writes that never leave a partial file.
#include "panel/FlexroutePreset.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace
{
FlexroutePreset samplePreset()
{
    FlexroutePreset p;
    p.wires = { { "PhysicIn1", "ASIOin3" }, { "WDMout6", "WDMin1" }, { "ASIOout2", "ASIOin3" }, { "PhysicIn2", "WDMin6" } };
    p.toggles = { true, false, false, true };
    return p;
}
} // namespace

TEST (AppPreset, RoundTripThroughAFile)
{
    testsupport::TempFolder temp ("quibra-preset-test");
    const auto& dir = temp.folder;
    const auto file = dir.getChildFile ("mine.QuibraFlexroute");
    const auto preset = samplePreset();

    juce::String error;
    ASSERT_TRUE (preset.writeFile (file, error)) << error;

    FlexroutePreset back;
    ASSERT_TRUE (FlexroutePreset::readFile (file, back, error)) << error;
    EXPECT_EQ (back, preset);

    // Empty routing, all toggles off, also survives (and differs).
    FlexroutePreset empty;
    ASSERT_TRUE (empty.writeFile (file, error)) << error;
    ASSERT_TRUE (FlexroutePreset::readFile (file, back, error)) << error;
    EXPECT_EQ (back, empty);
    EXPECT_NE (back, preset);

    // Nothing but the file itself is left in the folder (no temporary).
    EXPECT_EQ (dir.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 1);
}

TEST (AppPreset, ReadsTheDocumentedFormatLeniently)
{
    const char* text = "# a comment\r\n\r\n  QuibraFlexroute\t1 \r\n"
                       "wire   WDMout2 WDMin2\r\n"
                       "# another\n"
                       "toggle muteASIO 1\n"
                       "end\n\n# trailing comment\n";
    FlexroutePreset p;
    juce::String error;
    ASSERT_TRUE (FlexroutePreset::parse (juce::String (text), p, error)) << error;
    ASSERT_EQ (p.wires.size(), 1u);
    EXPECT_EQ (p.wires[0].source, "WDMout2");
    EXPECT_EQ (p.wires[0].destination, "WDMin2");
    EXPECT_EQ (p.toggles, (std::array<bool, 4> { false, true, false, false }));
}

TEST (AppPreset, RefusesTruncatedForeignAndMalformedFiles)
{
    const auto full = samplePreset().toText();
    const auto before = samplePreset();

    struct Case { juce::String name, text; };
    std::vector<Case> cases = {
        { "cut before end", full.upToLastOccurrenceOf ("end", false, false) },
        { "cut in the middle", full.substring (0, full.length() / 2) },
        { "empty", "" },
        { "comments only", "# nothing\n" },
        { "foreign text", "<?xml version=\"1.0\"?>\n<PROPERTIES/>\n" },
        { "other version", "QuibraFlexroute 2\nend\n" },
        { "unknown source", "QuibraFlexroute 1\nwire PhysicIn3 WDMin1\nend\n" },
        { "destination as source", "QuibraFlexroute 1\nwire WDMin1 WDMin2\nend\n" },
        { "source as destination", "QuibraFlexroute 1\nwire WDMout1 ASIOout2\nend\n" },
        { "source wired twice", "QuibraFlexroute 1\nwire WDMout1 WDMin1\nwire WDMout1 WDMin2\nend\n" },
        { "channel 0", "QuibraFlexroute 1\nwire WDMout0 WDMin1\nend\n" },
        { "wrong word count", "QuibraFlexroute 1\nwire WDMout1\nend\n" },
        { "unknown toggle", "QuibraFlexroute 1\ntoggle muteAll 1\nend\n" },
        { "toggle twice", "QuibraFlexroute 1\ntoggle muteWDM 1\ntoggle muteWDM 0\nend\n" },
        { "toggle value", "QuibraFlexroute 1\ntoggle muteWDM yes\nend\n" },
        { "text after end", "QuibraFlexroute 1\nend\nwire WDMout1 WDMin1\n" },
        { "unknown keyword", "QuibraFlexroute 1\nroute WDMout1 WDMin1\nend\n" },
    };

    for (auto& c : cases)
    {
        FlexroutePreset p = before;
        juce::String error;
        EXPECT_FALSE (FlexroutePreset::parse (c.text, p, error)) << c.name;
        EXPECT_TRUE (error.isNotEmpty()) << c.name;
        EXPECT_EQ (p, before) << c.name << ": a refused file must change nothing";
    }

    // A hostile word is not echoed whole into the message the user sees.
    {
        FlexroutePreset p = before;
        juce::String error;
        const auto longWord = juce::String::repeatedString ("X", 20000);
        for (auto& text : { "QuibraFlexroute 1\nwire " + longWord + " WDMin1\nend\n",
                            "QuibraFlexroute 1\ntoggle " + longWord + " 1\nend\n",
                            "QuibraFlexroute " + juce::String::repeatedString ("9", 20000) + "\nend\n" })
        {
            EXPECT_FALSE (FlexroutePreset::parse (text, p, error));
            EXPECT_GT (error.length(), 10);
            EXPECT_LT (error.length(), 200) << error.substring (0, 100);
        }
        EXPECT_EQ (p, before);
    }

    // Binary data and text that is not UTF-8.
    const char binary[] = { 'Q', 'u', 'i', 'b', 0, 1, 2, 3 };
    const unsigned char latin1[] = { 'Q', 'u', 'i', 'b', 'r', 'a', 0xe4, '\n' };
    FlexroutePreset p = before;
    juce::String error;
    EXPECT_FALSE (FlexroutePreset::parse (binary, sizeof (binary), p, error));
    EXPECT_FALSE (FlexroutePreset::parse (latin1, sizeof (latin1), p, error));
    EXPECT_EQ (p, before);
}

TEST (AppPreset, OversizedFilesAreRefusedBeforeParsing)
{
    testsupport::TempFolder temp ("quibra-preset-test");
    const auto& dir = temp.folder;
    const auto file = dir.getChildFile ("big.QuibraFlexroute");

    // A valid preset padded with comments past the limit.
    auto text = samplePreset().toText();
    while (text.getNumBytesAsUTF8() <= (size_t) FlexroutePreset::maxFileBytes)
        text = "# padding padding padding padding padding padding padding padding\n" + text;
    ASSERT_TRUE (file.replaceWithText (text));

    FlexroutePreset p;
    juce::String error;
    EXPECT_FALSE (FlexroutePreset::readFile (file, p, error));
    EXPECT_TRUE (error.contains ("too large"));
    EXPECT_EQ (p, FlexroutePreset());

    // The same text within the limit is fine.
    ASSERT_TRUE (file.replaceWithText (samplePreset().toText()));
    EXPECT_TRUE (FlexroutePreset::readFile (file, p, error)) << error;
    EXPECT_EQ (p, samplePreset());

    EXPECT_FALSE (FlexroutePreset::readFile (dir.getChildFile ("missing.QuibraFlexroute"), p, error));
    EXPECT_TRUE (error.contains ("does not exist")) << error;

    // A pipe or a folder under a preset's name is refused at once (reading a
    // pipe nobody writes to would never end).
    const auto fifo = dir.getChildFile ("pipe.QuibraFlexroute");
    ASSERT_EQ (::mkfifo (fifo.getFullPathName().toRawUTF8(), 0600), 0);
    EXPECT_FALSE (FlexroutePreset::readFile (fifo, p, error));
    EXPECT_TRUE (error.contains ("not a plain file")) << error;
    const auto folder = dir.getChildFile ("folder.QuibraFlexroute");
    ASSERT_TRUE (folder.createDirectory());
    EXPECT_FALSE (FlexroutePreset::readFile (folder, p, error));
    EXPECT_EQ (p, samplePreset());
}

TEST (AppPreset, FailedOrRefusedSaveLeavesTheOldFileWhole)
{
    testsupport::TempFolder temp ("quibra-preset-test");
    const auto& dir = temp.folder;
    const auto file = dir.getChildFile ("keep.QuibraFlexroute");
    juce::String error;
    ASSERT_TRUE (samplePreset().writeFile (file, error)) << error;
    const auto original = file.loadFileAsString();

    // An invalid routing is not written at all.
    FlexroutePreset bad;
    bad.wires = { { "WDMout1", "WDMin1" }, { "WDMout1", "WDMin2" } };
    EXPECT_FALSE (bad.writeFile (file, error));
    EXPECT_EQ (file.loadFileAsString(), original);

    // A folder that cannot be written: the old file stays as it was.
    ::chmod (dir.getFullPathName().toRawUTF8(), 0500);
    if (::access (dir.getFullPathName().toRawUTF8(), W_OK) != 0) // root writes anyway
    {
        FlexroutePreset other;
        EXPECT_FALSE (other.writeFile (file, error));
        EXPECT_FALSE (error.isEmpty());
        EXPECT_EQ (file.loadFileAsString(), original);
    }
    ::chmod (dir.getFullPathName().toRawUTF8(), 0700);
}
