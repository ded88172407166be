// UrlHound: dumps the Internet cache index into the dump files of its current directory.
// It prints nothing; the dump files and the exit code are its only signals.
#include "cachedump/DumpUrlCache.h"

int main(int argc, char** argv)
{
    try {
        return brimlow::DumpUrlCache(argc > 1 ? brimlow::DumpModeFromArgument(argv[1]) : 0);
    } catch (...) {
        return 1;
    }
}
