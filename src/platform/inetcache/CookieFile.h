#pragma once
// Inside the store: the cookie text file that a source's entry names (nine lines per cookie:
// name, value, domain+path, flags, expiry low/high, creation low/high, "*"), and the entry's
// url and file name.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/inetcache/Cookie.h"

namespace brimlow::inetcache::detail {

// "Cookie:<user>@<domain><path>"
std::string SourceUrl(const std::string& user, const Cookie& c);
// The domain and path of a source, from what follows its "<user>@".
void SplitSource(std::string_view rest, std::string& domain, std::string& path);

// The cookies of a file, each given the source's domain and path. A file that cannot be
// read holds none; a record cut short at the end of the file is dropped.
std::vector<Cookie> ReadCookieFile(const std::filesystem::path& file, std::string_view domain, std::string_view path);
std::string CookieFileText(const std::vector<Cookie>& cookies);

// The file name of a source: its text with every byte outside [A-Za-z0-9.@_-] as %XX, so
// two sources never share a file.
std::string CookieFileName(const std::string& user, const Cookie& c);

// Throws the StoreError of errno: 5 for an access problem, else 1359.
[[noreturn]] void ThrowErrno(const std::string& what);

// Temp file, its data on the disk, rename: a reader, and the disk after a crash, hold the
// old file or the new one, never a part. Throws StoreError.
void WriteFileAtomically(const std::filesystem::path& file, const std::string& text);

}  // namespace brimlow::inetcache::detail
