// A deterministic random-mutation fuzzer for the FlexROUTE preset reader.
//
//     quibra_preset_fuzz RUNS [SEED]
//
// Each run takes a valid preset text (random wires and toggles), mutates its
// bytes a few times (flips, cuts, repeats, inserted words of the format,
// zero bytes, broken UTF-8, long lines) and reads the result. The reader must
// never crash (run it in a sanitizer build to see memory faults too), must
// leave the preset untouched and give a reason when it refuses, and what it
// accepts must be valid and survive writing and reading again unchanged.
// Prints one line of figures; exits 1 at the first broken rule.
#include "panel/FlexroutePreset.h"

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace
{
std::mt19937 random32;

size_t below (size_t n) { return n == 0 ? 0 : random32() % n; }

FlexroutePreset randomPreset()
{
    FlexroutePreset preset;
    const int kinds[] = { 3, 0, 2 };   // sources: physical inputs, WDM, ASIO
    for (int wires = (int) below (8); wires > 0; --wires)
    {
        const int kind = kinds[below (3)];
        const auto source = FlexroutePreset::nodeName (kind, (int) below (kind == 3 ? 2 : 6), false);
        bool taken = false;
        for (auto& w : preset.wires)
            taken = taken || w.source == source;
        if (! taken)
            preset.wires.push_back ({ source, FlexroutePreset::nodeName (below (2) == 0 ? 0 : 2, (int) below (6), true) });
    }
    for (auto& t : preset.toggles)
        t = below (2) == 0;
    return preset;
}

const char* const words[] = { "wire", "toggle", "end", "QuibraFlexroute", "1", "2", "0", "-1", "#", "\n", "\r\n", "\r",
                              " ", "\t", "PhysicIn1", "PhysicIn3", "WDMout6", "ASIOout0", "WDMin1", "ASIOin6",
                              "muteWDM", "mixVirtual34", "99999999999999999999", "\xc3\xa9", "\xe2\x80\xa8",
                              "\xff", "\xc3", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xef\xbb\xbf" };

void mutate (std::string& text)
{
    for (int n = 1 + (int) below (4); n > 0; --n)
    {
        const size_t at = below (text.size() + 1);
        switch (below (7))
        {
            case 0: if (! text.empty()) text[below (text.size())] ^= (char) (1 << below (8)); break;
            case 1: text.erase (at, below (16)); break;
            case 2: text.insert (at, words[below (sizeof (words) / sizeof (words[0]))]); break;
            case 3: text.insert (at, text.substr (below (text.size() + 1), below (64))); break;
            case 4: text.insert (at, 1, (char) below (256)); break;
            case 5: text.insert (at, below (32) == 0 ? 70000 : below (300), (char) ("aw \n"[below (4)])); break;
            default: text.resize (below (text.size() + 1)); break;
        }
    }
}

[[noreturn]] void broken (long run, const char* rule, const std::string& text)
{
    std::fprintf (stderr, "run %ld: %s\ninput (%zu bytes):\n%s\n", run, rule, text.size(), text.substr (0, 2000).c_str());
    std::exit (1);
}
} // namespace

int main (int argc, char** argv)
{
    const long runs = argc > 1 ? std::atol (argv[1]) : 0;
    if (runs <= 0)
    {
        std::fprintf (stderr, "usage: %s RUNS [SEED]\n", argv[0]);
        return 2;
    }
    random32.seed (argc > 2 ? (unsigned) std::atol (argv[2]) : 1u);

    const auto start = juce::Time::getMillisecondCounterHiRes();
    long accepted = 0;
    for (long run = 0; run < runs; ++run)
    {
        const auto original = randomPreset();
        std::string text = original.toText().toStdString();
        if (run % 8 != 0)   // now and then the valid text itself
            mutate (text);

        auto out = original;
        juce::String error;
        if (! FlexroutePreset::parse (text.data(), text.size(), out, error))
        {
            if (out != original)
                broken (run, "a refused preset changed the result", text);
            if (error.isEmpty())
                broken (run, "refused without a reason", text);
            continue;
        }

        ++accepted;
        if (! out.isValid())
            broken (run, "accepted a preset that is not valid", text);
        FlexroutePreset again;
        if (! FlexroutePreset::parse (out.toText(), again, error) || again != out)
            broken (run, "an accepted preset does not survive writing and reading", text);
    }

    std::printf ("preset fuzz: %ld runs, %ld accepted, %ld refused; %.1f s\n", runs, accepted, runs - accepted,
                 (juce::Time::getMillisecondCounterHiRes() - start) / 1000.0);
    return 0;
}
