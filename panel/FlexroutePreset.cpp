#include "panel/FlexroutePreset.h"
#include "routing/DeviceMixerState.h"
#include "routing/FRDialog.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
bool isNodeName (const juce::String& name, const char* prefix, int channels)
{
    if (! name.startsWith (prefix))
        return false;
    const auto number = name.substring ((int) std::strlen (prefix));
    return number.length() == 1 && number[0] >= '1' && number[0] < (juce::juce_wchar) ('1' + channels);
}

// A word of the file as quoted in a message: long words are cut short, so a
// hostile file cannot fill the message box.
juce::String quoted (const juce::String& word)
{
    return "\"" + (word.length() > 40 ? word.substring (0, 40) + "..." : word) + "\"";
}

struct NodeFamily
{
    const char* prefix;
    int kind;
    int channels;
    bool destination;
};

// The routing editor's port nodes: two physical inputs, six WDM and six ASIO
// channels each way.
constexpr NodeFamily nodeFamilies[] = {
    { "PhysicIn", kindPhysicalInput, 2, false }, { "WDMout", kindWdm, 6, false }, { "ASIOout", kindAsio, 6, false },
    { "WDMin", kindWdm, 6, true },               { "ASIOin", kindAsio, 6, true },
};

juce::StringArray wordsOf (const juce::String& line)
{
    juce::StringArray words;
    words.addTokens (line, " \t", "");
    words.removeEmptyStrings();
    return words;
}
} // namespace

const juce::StringArray& FlexroutePreset::toggleNames()
{
    static const juce::StringArray names { "muteWDM", "muteASIO", "mixVirtual12", "mixVirtual34" };
    return names;
}

bool FlexroutePreset::isSourceNode (const juce::String& name)
{
    int kind = 0, channel = 0;
    bool destination = true;
    return portOf (name, kind, channel, destination) && ! destination;
}

bool FlexroutePreset::isDestinationNode (const juce::String& name)
{
    int kind = 0, channel = 0;
    bool destination = false;
    return portOf (name, kind, channel, destination) && destination;
}

bool FlexroutePreset::isValid (juce::String* whyNot) const
{
    juce::StringArray sources;
    for (auto& w : wires)
    {
        juce::String problem;
        if (! isSourceNode (w.source))
            problem = quoted (w.source) + " is not a source node";
        else if (! isDestinationNode (w.destination))
            problem = quoted (w.destination) + " is not a destination node";
        else if (sources.contains (w.source))
            problem = "source " + quoted (w.source) + " carries more than one wire";

        if (problem.isNotEmpty())
        {
            if (whyNot != nullptr)
                *whyNot = problem;
            return false;
        }
        sources.add (w.source);
    }
    return true;
}

juce::String FlexroutePreset::toText() const
{
    juce::String text;
    text << "# Quibra FlexROUTE preset\n"
         << "QuibraFlexroute " << formatVersion << "\n";
    for (auto& w : wires)
        text << "wire " << w.source << " " << w.destination << "\n";
    for (int i = 0; i < (int) toggles.size(); ++i)
        text << "toggle " << toggleNames()[i] << " " << (toggles[(size_t) i] ? "1" : "0") << "\n";
    text << "end\n";
    return text;
}

bool FlexroutePreset::parse (const void* data, size_t size, FlexroutePreset& out, juce::String& error)
{
    if (size > (size_t) maxFileBytes)
    {
        error = "The file is too large to be a FlexROUTE preset.";
        return false;
    }

    const auto* bytes = static_cast<const char*> (data);
    for (size_t i = 0; i < size; ++i)
    {
        if (bytes[i] == 0)
        {
            error = "The file is not a FlexROUTE preset (it holds binary data).";
            return false;
        }
    }

    juce::MemoryBlock copy (data, size);
    copy.append ("", 1); // zero end for the UTF-8 check
    if (! juce::CharPointer_UTF8::isValidString (static_cast<const char*> (copy.getData()), (int) size))
    {
        error = "The file is not a FlexROUTE preset (it is not UTF-8 text).";
        return false;
    }

    return parse (juce::String::fromUTF8 (bytes, (int) size), out, error);
}

bool FlexroutePreset::parse (const juce::String& text, FlexroutePreset& out, juce::String& error)
{
    if (text.length() > maxFileBytes)
    {
        error = "The file is too large to be a FlexROUTE preset.";
        return false;
    }

    juce::StringArray lines;
    lines.addLines (text);

    FlexroutePreset result;
    std::array<bool, 4> toggleSeen {};
    bool headerSeen = false, endSeen = false;

    for (int n = 0; n < lines.size(); ++n)
    {
        const auto line = lines[n].trim();
        if (line.isEmpty() || line.startsWithChar ('#'))
            continue;

        const auto where = "Line " + juce::String (n + 1) + ": ";
        const auto words = wordsOf (line);

        if (endSeen)
        {
            error = where + "text after \"end\".";
            return false;
        }

        if (! headerSeen)
        {
            if (words.size() != 2 || words[0] != "QuibraFlexroute" || ! words[1].containsOnly ("0123456789"))
            {
                error = "The file is not a FlexROUTE preset.";
                return false;
            }
            if (words[1].length() > 6 || words[1].getIntValue() != formatVersion)
            {
                error = "The preset was written in format version " + quoted (words[1]).unquoted()
                        + ", this program reads version " + juce::String (formatVersion) + ".";
                return false;
            }
            headerSeen = true;
            continue;
        }

        if (words[0] == "wire" && words.size() == 3)
        {
            result.wires.push_back ({ words[1], words[2] });
            juce::String why;
            if (! result.isValid (&why))
            {
                error = where + why + ".";
                return false;
            }
        }
        else if (words[0] == "toggle" && words.size() == 3)
        {
            const auto index = toggleNames().indexOf (words[1]);
            if (index < 0)
            {
                error = where + "unknown toggle " + quoted (words[1]) + ".";
                return false;
            }
            if (toggleSeen[(size_t) index])
            {
                error = where + "toggle " + quoted (words[1]) + " is listed twice.";
                return false;
            }
            if (words[2] != "0" && words[2] != "1")
            {
                error = where + "a toggle is 0 or 1.";
                return false;
            }
            toggleSeen[(size_t) index] = true;
            result.toggles[(size_t) index] = words[2] == "1";
        }
        else if (words[0] == "end" && words.size() == 1)
        {
            endSeen = true;
        }
        else
        {
            error = where + quoted (line) + " is not understood.";
            return false;
        }
    }

    if (! headerSeen)
    {
        error = "The file is not a FlexROUTE preset.";
        return false;
    }
    if (! endSeen)
    {
        error = "The preset is incomplete (the file was cut short).";
        return false;
    }

    out = std::move (result);
    return true;
}

bool FlexroutePreset::readFile (const juce::File& file, FlexroutePreset& out, juce::String& error)
{
    // Opened without blocking and checked on the open descriptor: a pipe or
    // a device under a preset's name would otherwise stall the open or the
    // read for as long as nobody writes to it.
    const int fd = ::open (file.getFullPathName().toRawUTF8(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
    {
        error = errno == ENOENT ? "The file " + file.getFullPathName() + " does not exist."
                                : "The file " + file.getFullPathName() + " cannot be read.";
        return false;
    }

    struct stat st {};
    if (::fstat (fd, &st) != 0 || ! S_ISREG (st.st_mode))
    {
        ::close (fd);
        error = "The file " + file.getFullPathName() + " is not a plain file.";
        return false;
    }
    if (st.st_size > maxFileBytes)
    {
        ::close (fd);
        error = "The file is too large to be a FlexROUTE preset.";
        return false;
    }

    // Read one byte more than allowed, in case the file grew since it was
    // measured.
    juce::HeapBlock<char> data ((size_t) maxFileBytes + 1);
    size_t size = 0;
    while (size < (size_t) maxFileBytes + 1)
    {
        const auto n = ::read (fd, data + size, (size_t) maxFileBytes + 1 - size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
        {
            ::close (fd);
            error = "The file " + file.getFullPathName() + " cannot be read.";
            return false;
        }
        if (n == 0)
            break;
        size += (size_t) n;
    }
    ::close (fd);

    return parse (data.get(), size, out, error);
}

bool FlexroutePreset::writeFile (const juce::File& file, juce::String& error) const
{
    juce::String why;
    if (! isValid (&why))
    {
        error = "The routing cannot be saved: " + why + ".";
        return false;
    }

    juce::TemporaryFile temp (file);
    {
        juce::FileOutputStream out (temp.getFile());
        if (! out.openedOk())
        {
            error = "The file " + file.getFullPathName() + " cannot be written.";
            return false;
        }
        const auto text = toText();
        out.write (text.toRawUTF8(), text.getNumBytesAsUTF8());
        out.flush();
        if (out.getStatus().failed())
        {
            error = "The file " + file.getFullPathName() + " cannot be written: " + out.getStatus().getErrorMessage();
            return false;
        }
    }

    if (! temp.overwriteTargetFileWithTemporary())
    {
        error = "The file " + file.getFullPathName() + " cannot be replaced.";
        return false;
    }
    return true;
}

//==============================================================================
juce::String FlexroutePreset::nodeName (int kind, int channel, bool destination)
{
    for (auto& f : nodeFamilies)
        if (f.kind == kind && f.destination == destination && channel >= 0 && channel < f.channels)
            return f.prefix + juce::String (channel + 1);
    return {};
}

bool FlexroutePreset::portOf (const juce::String& name, int& kind, int& channel, bool& destination)
{
    for (auto& f : nodeFamilies)
    {
        if (isNodeName (name, f.prefix, f.channels))
        {
            kind = f.kind;
            channel = name.getLastCharacter() - '1';
            destination = f.destination;
            return true;
        }
    }
    return false;
}

FlexroutePreset FlexroutePreset::fromEditor (const FlexrouteDialog& editor)
{
    const auto settings = editor.getSettings();
    FlexroutePreset preset;
    for (auto& w : settings.wires)
        preset.wires.push_back ({ nodeName (w.sourceKind, w.sourceChannel, false),
                                  nodeName (w.destinationKind, w.destinationChannel, true) });
    preset.toggles = { settings.muteWdm, settings.muteAsio, settings.mixVirtual12, settings.mixVirtual34 };
    return preset;
}

bool FlexroutePreset::applyTo (FlexrouteDialog& editor, juce::String& error) const
{
    juce::String why;
    if (! isValid (&why))
    {
        error = why + ".";
        return false;
    }

    FlexrouteSettings settings;
    for (auto& w : wires)
    {
        FlexrouteWire wire;
        bool sourceIsDestination = true, destinationIsDestination = false;
        portOf (w.source, wire.sourceKind, wire.sourceChannel, sourceIsDestination);
        portOf (w.destination, wire.destinationKind, wire.destinationChannel, destinationIsDestination);
        settings.wires.push_back (wire);
    }
    settings.muteWdm = toggles[0];
    settings.muteAsio = toggles[1];
    settings.mixVirtual12 = toggles[2];
    settings.mixVirtual34 = toggles[3];

    // The editor takes what it can of a routing; put the old one back if it
    // refused any part, so a refused preset changes nothing.
    const auto previous = editor.getSettings();
    if (! editor.applySettings (settings))
    {
        editor.applySettings (previous);
        error = "The routing editor did not take every wire.";
        return false;
    }
    return true;
}
