#pragma once
// Inside the store: the cookie text file that a source's entry names (nine lines per cookie:
// name, value, domain+path, flags, expiry low/high, creation low/high, "*"), the entry's url
// and the names of its files.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/inetcache/Cookie.h"

namespace brimlow {
class FileCalls;
}

namespace brimlow::inetcache::detail {

// The folder of the store that holds the cookie files.
inline constexpr const char* kCookieFolder = "Cookies";

// "Cookie:<user>@<domain><path>"
std::string SourceUrl(const std::string& user, const Cookie& c);
// The domain and path of a source, from what follows its "<user>@".
void SplitSource(std::string_view rest, std::string& domain, std::string& path);

// How a cookie file read went.
enum class CookieFileRead {
    Read,
    Gone,        // no file at that path (the source has lost its file)
    Unreadable,  // a file is there but cannot be read, or is no regular file
};

// The cookies of a file, each given the source's domain and path. A file that cannot be
// read holds none (and *outcome says why); a record cut short at the end of the file is
// dropped. Opened without blocking: a FIFO in its place is refused, not waited on.
std::vector<Cookie> ReadCookieFile(const std::filesystem::path& file, std::string_view domain, std::string_view path,
                                   CookieFileRead* outcome = nullptr);
std::string CookieFileText(const std::vector<Cookie>& cookies);

// The stem of a source's cookie file names: its text with every byte outside
// [A-Za-z0-9.@_-] as %XX, so two sources never share a stem.
std::string CookieFileStem(const std::string& user, const Cookie& c);

// Every change of a source writes its cookies into a new file, "<stem>.<version>", which
// the index's commit then names in place of the old one: the commit is the one moment the
// change happens, so a kill at any call leaves the entry naming either its old file or its
// new one, each whole. The file is made as mkostemp makes it (six random letters and
// digits, O_EXCL, 0600), so no file there is ever written through. The data reaches the
// disk before the call returns when `sync`. Returns the new file's path; throws
// StoreError, removing what it began.
std::filesystem::path WriteNewCookieFile(const std::filesystem::path& folder, const std::string& stem,
                                         const std::string& text, FileCalls& calls, bool sync);

// Whether a file name in Cookies/ is of the store's making: a cookie file version (or a
// cookie file of an older version of the store), or a temporary file of an older version.
// Only such files are removed when no entry names them.
bool IsStoreCookieFileName(std::string_view name) noexcept;

// Throws the StoreError of errno: 5 for an access problem, else 1359.
[[noreturn]] void ThrowErrno(const std::string& what);

}  // namespace brimlow::inetcache::detail
