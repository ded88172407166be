#pragma once
// The data files in the working folder, named once for every part of the program. The
// leading "\" is the folder separator as the names are written; textfile::InFolder joins
// them to a folder, and the names match without regard to letter case.
#include <array>
#include <string_view>

namespace brimlow {

// The dumps UrlHound writes (and the cookie editor and the quick clean-up read).
inline constexpr const char* kVisitedDumpName = "\\OrlinVisited.dat";
inline constexpr const char* kCookieDumpName = "\\OrlinCookie.dat";
inline constexpr const char* kAllDumpName = "\\OrlinAll.dat";
// A dump is written under its name with this suffix (mkstemp fills in the X's) and renamed
// into place once whole; a run that was killed leaves such a file behind.
inline constexpr const char* kDumpTempSuffix = ".XXXXXX";

// Whether a file name is that of a dump being written: a dump's name as UrlHound writes it,
// "." and six letters or digits.
constexpr bool IsDumpTempName(std::string_view name) noexcept
{
    for (std::string_view dump : {kVisitedDumpName, kCookieDumpName, kAllDumpName}) {
        dump.remove_prefix(1);  // the separator
        if (name.size() != dump.size() + 7 || name.substr(0, dump.size()) != dump || name[dump.size()] != '.')
            continue;
        bool random = true;
        for (const char c : name.substr(dump.size() + 1))
            random = random && ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'));
        if (random)
            return true;
    }
    return false;
}

// The cache search report the Url Hound tab builds for the Activity Report tab.
inline constexpr const char* kSearchReportName = "\\BrimlowTemp.dat";
// The activity log every tab appends to.
inline constexpr const char* kActivityLogName = "\\ActivityReport.dat";

// The cache dump loader spells the same three dumps with ".Dat"; the spelling shows in its
// message about a dump that cannot be opened.
inline constexpr const char* kVisitedDumpLoaderName = "\\OrlinVisited.Dat";
inline constexpr const char* kCookieDumpLoaderName = "\\OrlinCookie.Dat";
inline constexpr const char* kAllDumpLoaderName = "\\OrlinAll.Dat";

// The data files destroyed at every exit, in this order. The activity log goes last, so
// the entry about its own destruction is the only one it holds afterwards.
inline constexpr std::array<const char*, 5> kExitDataFiles{kAllDumpName, kCookieDumpName, kVisitedDumpName,
                                                           kSearchReportName, kActivityLogName};

}  // namespace brimlow
