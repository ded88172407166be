#pragma once
// The cookie editor's model: the cookie dump (one CookieEntry per cookie source, in file
// order), the cookies written in one source's cookie file, the live cookies that the store
// hands out for its URL, and the write path that sets or expires one cookie. Qt-free; the
// Cookie Editor page only shows what lives here and drives it.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/DataFiles.h"
#include "platform/Platform.h"
#include "platform/inetcache/InetCache.h"

namespace brimlow {

// Views of the loaded cookie dump's bytes (or of the texts an update of the entry brought),
// good until the next load: 25,000 sources cost no string of their own.
struct CookieEntry {
    std::string_view Source;    // "Cookie:" user "@" domain and path, as in the dump
    std::string_view FileName;  // the source's cookie text file, or "N\A"
    std::string_view Expires;   // M/D/YYYY; "12/31/9999" when the dump's text is no date
    std::string_view Accessed;  // M/D/YYYY as the dump tool wrote it
};

// The dump's text for a source without a local file.
inline constexpr const char* kNoLocalFile = "N\\A";
// What an expiry line that is no date becomes.
inline constexpr const char* kNoExpiryDate = "12/31/9999";
// What GetCookie answers when the store hands out nothing for a URL.
inline constexpr const char* kCookieErrorText =
    "Error:  Cookies with expiriation dates before today can not be viewed.";

struct CalendarDate {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;    // 1..31
};

// The dump's dates: month "/" day "/" four-digit year, leading zeros allowed, and a day
// that exists in that month. Anything else is no date.
std::optional<CalendarDate> RecognizeDumpDate(std::string_view text);

// ---- the cookie dump ----

enum class DumpLoad {
    Complete,
    Missing,     // no dump file: no sources
    Unreadable,  // the file could not be opened or read: no sources
    Truncated,   // the file ends inside a record: the complete records before it
};

// Replaces the loaded sources by those of the cookie dump of the working folder (the name
// matches without regard to letter case). It does not run UrlHound. Never throws for the
// file's sake.
DumpLoad LoadCookieDump(const Platform& platform);
// The sources of the same dump, read for a list of their own: the loaded sources stay as
// they are (the Cookie Editor's lists show those).
std::vector<std::string> ReadCookieDumpSources(const Platform& platform, DumpLoad* outcome = nullptr);
const std::vector<CookieEntry>& CookieEntries();
std::size_t iCookieCount();
// Drops one loaded source (one the store no longer holds); an index past the end drops none.
void ForgetCookieEntry(std::size_t index);
// The loaded source at `index` as the store holds it now (its file and dates as a dump of
// the store would give them); an index past the end changes none.
void UpdateCookieEntry(std::size_t index, const inetcache::CacheEntry& stored);

// ---- cookie files ----

struct FileCookie {
    std::string Name;
    std::string Value;
    std::uint64_t Expiry = 0;  // FILETIME; 0 when the record does not say
};

// The cookies of a cookie text file's bytes: per record a name line, a value line, then
// lines up to one that is exactly "*" (the value line counts: a value "*" ends the record).
// A record cut short by the end keeps what it holds. A record of the store's nine lines
// gives its expiry (its fifth and sixth lines, the low and high words).
std::vector<FileCookie> ParseCookieFileText(std::string_view bytes);

// Replaces the file cookie table by the cookies of the file at Path; a missing or
// unreadable file leaves it empty.
void LoadCookieFile(const std::filesystem::path& Path);
const std::vector<FileCookie>& FileCookies();

// ---- live cookies ----

struct LiveCookie {
    std::string Name;
    std::string Value;
};

struct LiveCookieTable {
    std::vector<LiveCookie> entries;
    // The views look at entries [0, scanned) only: after the error text the table has three
    // entries of which the first two are looked at.
    std::size_t scanned = 0;
};

// The live cookie text for Url as the store hands it out, sized from the store's answer,
// or kCookieErrorText when it hands out nothing.
std::string GetCookie(const Platform& platform, std::string_view Url, std::string_view Name);

// Splits a trimmed live cookie text into the live cookie table: one slot per ";"-separated
// part, name before the first "=" and value after it, each trimmed of blanks. The error
// text gives its three entries; the empty text an empty table.
LiveCookieTable SplitCookieString(std::string_view text);
// Replaces the live cookie table by SplitCookieString(text).
void ParseCookieString(std::string_view text);
const LiveCookieTable& LiveCookies();

// Leading and trailing blanks removed (blanks only, as the callers of GetCookie trim).
std::string_view TrimBlanks(std::string_view text);

// Empties the dump, file and live cookie tables (at exit).
void ReleaseCookieTables();

// ---- setting and expiring cookies ----

// The day-name expiry text of a date: "Tue,5-Mar-2002 00:00:00 GMT".
std::string ExpiryText(const CalendarDate& date);

// "http://" and the source's text after its first "@" (the whole text when it has none),
// ended by "/" unless it already ends so.
std::string CookieUrl(std::string_view source);

// The data a cookie is set with: its value, "; expires = " and the expiry text.
std::string CookieData(std::string_view value, std::string_view expiryText);

// The user part of a "Cookie:" source (between "Cookie:" and the first "@" after it), and
// its path (from the first "/" after the "@"; "/" when it has none). Empty for a text
// that is no "Cookie:" source.
std::string_view CookieSourceUser(std::string_view source);
std::string_view CookieSourcePath(std::string_view source);

// The data a cookie of the source is set with: CookieData, and for a source whose path
// does not end in "/" that path as the cookie's, since the URL of such a source names the
// folder below it.
std::string SourceCookieData(std::string_view source, std::string_view value, std::string_view expiryText);

// The URL whose live cookies are those of the source: CookieUrl's, asked as a secure
// request, so that the source's Secure cookies count among them.
std::string LiveCookieUrl(std::string_view source);

// What a set call did, as SetCookie logs it.
enum class SetOutcome {
    Set,           // the store took it: "Source: ", "Name: " and "Value: " lines
    Refused,       // under "ERROR SETTING COOKIE:"
    NothingFound,  // a removal of a cookie the store did not hold, under kNothingRemovedLog
};

inline constexpr const char* kNothingRemovedLog = "COOKIE NOT IN THE STORE - nothing removed:\r\n";
// After the lines of a change whose old cookie file could not be removed.
inline constexpr const char* kFileLeftLog = "ERROR: the old cookie file could not be removed: ";

// Sets the cookie in the store for the user part `sourceUser` (this user's own when it is
// not "anyuser") and logs the outcome in the activity log. A change that left its old
// cookie file behind adds a kFileLeftLog line with the file's path and the reason.
SetOutcome SetCookie(const Platform& platform, std::string_view Url, std::string_view Name, std::string_view Data,
                     std::string_view sourceUser = {});

// True when this user may change the source: it holds no "Cookie:", or its user part is
// "anyuser" or the lower-cased login name. A "Cookie:" source without "@" after the user
// part names no user and is refused.
bool IsOwnCookie(const Platform& platform, std::string_view Source);

inline constexpr const char* kNotOwnCookieLog = "COOKIE does not belong to this user - ABORTING process.\r\n";
// Before the source's text, when a deletion finds that the store no longer holds it.
inline constexpr const char* kSourceGoneLog = "Cookie source already gone from the store - skipped: ";
// Before the source's text, when a deletion finds the source without its cookie file and
// removes it from the store.
inline constexpr const char* kSourceWithoutFileLog = "Cookie source without its cookie file - removed: ";

}  // namespace brimlow
