// UrlHound: dumps the Internet cache index into the dump files of its current directory.
// It prints nothing while it dumps; the dump files and the exit code are its signals.
// "--help" and "--version" only print and touch no file; every other argument is a mode.
#include <cstdio>
#include <cstring>

#include "cachedump/DumpUrlCache.h"

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs("Usage: UrlHound [MODE]\n"
                   "Writes the Internet cache index into dump files in the current folder.\n"
                   "  (none), 0, 1  OrlinVisited.dat, OrlinCookie.dat and OrlinAll.dat\n"
                   "  2             OrlinVisited.dat and OrlinCookie.dat\n"
                   "  3             OrlinVisited.dat\n"
                   "  4             OrlinCookie.dat\n"
                   "Exit status: 0 entries were written, 1 the store holds none for the mode.\n",
                   stdout);
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::fputs("UrlHound " BRIMLOW_VERSION "\n", stdout);
        return 0;
    }
    try {
        return brimlow::DumpUrlCache(argc > 1 ? brimlow::DumpModeFromArgument(argv[1]) : 0);
    } catch (...) {
        return 1;
    }
}
