// FlexROUTE preset files ("*.QuibraFlexroute"): the wires and the four toggles
// of the routing editor, kept as a small text file.
//
// Format, version 1 (UTF-8 text, lines end in LF; CR LF is read too; at most
// 64 KiB):
//
//     # Quibra FlexROUTE preset          <- lines starting with '#' and blank
//     QuibraFlexroute 1                  <- lines are ignored everywhere
//     wire PhysicIn1 ASIOin3
//     wire WDMout2 WDMin2
//     toggle muteWDM 0
//     toggle muteASIO 1
//     toggle mixVirtual12 0
//     toggle mixVirtual34 0
//     end
//
// - The first line that counts is the header "QuibraFlexroute" and the format
//   version, a decimal integer; only version 1 is read.
// - "wire <source> <destination>": one wire, from a source node ("PhysicIn1"
//   to "PhysicIn2", "WDMout1" to "WDMout6", "ASIOout1" to "ASIOout6") to a
//   destination node ("WDMin1" to "WDMin6", "ASIOin1" to "ASIOin6"). A source
//   carries at most one wire; a destination may take several. The wires are
//   listed in the order they were drawn.
// - "toggle <name> <0|1>": one of the editor's toggles "muteWDM", "muteASIO",
//   "mixVirtual12", "mixVirtual34", off (0) or on (1); each name at most once;
//   a toggle that is not listed is off.
// - "end" closes the preset; after it only blank and comment lines may follow.
//   A file without it is taken as cut short.
// Words are separated by blanks or tabs. Anything else (an unknown keyword or
// node, a wrong word count, a second wire on a source, a zero byte, text that
// is not UTF-8) makes the whole file invalid: nothing of it is used.
#pragma once

#include <juce_core/juce_core.h>
#include <array>
#include <vector>

class FlexrouteDialog;
class MainComponent;

struct FlexroutePreset
{
    struct Wire
    {
        juce::String source, destination;
        bool operator== (const Wire& o) const { return source == o.source && destination == o.destination; }
        bool operator!= (const Wire& o) const { return ! operator== (o); }
    };

    static constexpr int formatVersion = 1;
    static constexpr juce::int64 maxFileBytes = 64 * 1024;
    static constexpr const char* fileSuffix = ".QuibraFlexroute";
    static constexpr const char* filePattern = "*.QuibraFlexroute";

    std::vector<Wire> wires;        // in drawing order
    std::array<bool, 4> toggles {}; // in the order of toggleNames()

    bool operator== (const FlexroutePreset& o) const { return wires == o.wires && toggles == o.toggles; }
    bool operator!= (const FlexroutePreset& o) const { return ! operator== (o); }

    // "muteWDM", "muteASIO", "mixVirtual12", "mixVirtual34".
    static const juce::StringArray& toggleNames();
    static bool isSourceNode (const juce::String& name);
    static bool isDestinationNode (const juce::String& name);

    // True when the wires and toggles obey the rules above.
    bool isValid (juce::String* whyNot = nullptr) const;

    // The file text of this preset (always valid to parse when isValid()).
    juce::String toText() const;

    // Reads a preset from the file's bytes. On failure returns false, leaves
    // out unchanged and says why in error.
    static bool parse (const void* data, size_t size, FlexroutePreset& out, juce::String& error);
    static bool parse (const juce::String& text, FlexroutePreset& out, juce::String& error);

    // Reads a plain file (never blocks on a pipe or device); files larger
    // than maxFileBytes are refused unread.
    static bool readFile (const juce::File& file, FlexroutePreset& out, juce::String& error);

    // Writes the file through a temporary file beside it, so the target is
    // either the old file or the complete new one.
    bool writeFile (const juce::File& file, juce::String& error) const;

    // Node names and ports: "WDMout3" is kind 0, channel 2, a source.
    static juce::String nodeName (int kind, int channel, bool destination);
    static bool portOf (const juce::String& name, int& kind, int& channel, bool& destination);

    // The routing editor's wires and toggles.
    static FlexroutePreset fromEditor (const FlexrouteDialog& editor);
    // Replaces the editor's wires and toggles and rebuilds its record. A
    // preset that is not valid is refused first and changes nothing.
    bool applyTo (FlexrouteDialog& editor, juce::String& error) const;
};

// The "Load" and "Save" commands of the routing menu (with the panel's
// settings store and routing editor).
namespace PresetCommands
{
// The folder a chooser starts in: that of "LastFRSettingsFilePath" (or the
// nearest existing folder above it), by default the settings folder.
juce::File lastFolder (MainComponent& panel);

// Opens the file chooser ("Select preset file" / "Select or create file to
// save the settings", "*.QuibraFlexroute") and loads or saves the chosen file.
void choose (MainComponent& panel, bool save);

// Save / load one file; on success remembers it under
// "LastFRSettingsFilePath", on failure tells the user (an alert) and changes
// nothing.
bool save (MainComponent& panel, const juce::File& file);
bool load (MainComponent& panel, const juce::File& file);
} // namespace PresetCommands
