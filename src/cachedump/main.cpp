// UrlHound: dumps the Internet cache index into the dump files of its current directory.
// It prints nothing while it dumps; when it cannot do its work, one line on standard error
// says what failed and where, and the exit status names the cause (DumpUrlCache.h).
// "--help" and "--version" only print and touch no file; every other argument is a mode.
#include <cstdio>
#include <cstring>
#include <exception>

#include "cachedump/DumpUrlCache.h"
#include "platform/Platform.h"

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs("Usage: UrlHound [MODE]\n"
                   "Writes the Internet cache index into dump files in the current folder.\n"
                   "  (none), 0, 1  OrlinVisited.dat, OrlinCookie.dat and OrlinAll.dat\n"
                   "  2             OrlinVisited.dat and OrlinCookie.dat\n"
                   "  3             OrlinVisited.dat\n"
                   "  4             OrlinCookie.dat\n"
                   "Exit status:\n"
                   "  0  entries were written\n"
                   "  1  the store holds no entry for the mode\n"
                   "  2  there is no store\n"
                   "  3  the store cannot be read by this user\n"
                   "  4  the store is damaged or is not a store\n"
                   "  5  the store was written by a newer version\n"
                   "  6  a dump file could not be written in the current folder\n"
                   "  7  any other failure of the store\n"
                   "The store is the folder $INETCACHE_DIR, else ${XDG_DATA_HOME:-~/.local/share}/inetcache.\n",
                   stdout);
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::fputs("UrlHound " BRIMLOW_VERSION "\n", stdout);
        return 0;
    }
    try {
        const brimlow::DumpOutcome outcome = brimlow::DumpUrlCache(
            argc > 1 ? brimlow::DumpModeFromArgument(argv[1]) : 0, brimlow::DefaultStoreFolder());
        if (!outcome.problem.empty())
            std::fprintf(stderr, "UrlHound: %s\n", outcome.problem.c_str());
        return outcome.status;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "UrlHound: %s\n", e.what());
    } catch (...) {
        std::fputs("UrlHound: the dump failed\n", stderr);
    }
    return brimlow::kDumpStoreFailed;
}
