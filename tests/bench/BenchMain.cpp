// quibra_bench: the measurements behind scripts/bench.sh.
//   quibra_bench launch ...   one launch of a program, watched through the X server
//   quibra_bench resize       the panel's resized() at the picture sizes and between them
#include "BenchCommon.h"

#include <cstring>

int main (int argc, char** argv)
{
    if (argc >= 2 && std::strcmp (argv[1], "launch") == 0)
        return runLaunch (argc - 2, argv + 2);
    if (argc >= 2 && std::strcmp (argv[1], "resize") == 0)
        return runResize (argc - 2, argv + 2);

    std::fprintf (stderr, "usage: quibra_bench launch|resize ...\n");
    return 2;
}
