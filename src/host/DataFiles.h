#pragma once
// The data files in the working folder, named once for every part of the program. The
// leading "\" is the folder separator as the names are written; textfile::InFolder joins
// them to a folder, and the names match without regard to letter case.
#include <array>

namespace brimlow {

// The dumps UrlHound writes (and the cookie editor and the quick clean-up read).
inline constexpr const char* kVisitedDumpName = "\\OrlinVisited.dat";
inline constexpr const char* kCookieDumpName = "\\OrlinCookie.dat";
inline constexpr const char* kAllDumpName = "\\OrlinAll.dat";
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
