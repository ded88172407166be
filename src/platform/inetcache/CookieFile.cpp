#include "platform/inetcache/CookieFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/PosixIo.h"
#include "platform/inetcache/InetCache.h"
#include "platform/inetcache/Store.h"

namespace brimlow::inetcache::detail {

namespace fs = std::filesystem;

std::string SourceUrl(const std::string& user, const Cookie& c)
{
    return "Cookie:" + user + "@" + c.domain + c.path;
}

std::vector<Cookie> ReadCookieFile(const fs::path& file, std::string_view domain, std::string_view path)
{
    std::vector<Cookie> cookies;
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return cookies;
    std::string text;
    char buf[16384];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
        text.append(buf, static_cast<std::size_t>(n));
    ::close(fd);

    std::vector<std::string_view> lines;
    std::string_view rest(text);
    while (!rest.empty()) {
        const std::size_t lf = rest.find('\n');
        std::string_view line = rest.substr(0, lf);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        rest = lf == std::string_view::npos ? std::string_view() : rest.substr(lf + 1);
    }
    auto number = [](std::string_view s) -> std::uint64_t {
        std::uint64_t v = 0;
        for (char c : s) {
            if (!IsDigit(c))
                break;
            v = v * 10 + static_cast<std::uint64_t>(c - '0');
        }
        return v & 0xffffffffull;
    };
    for (std::size_t i = 0; i < lines.size();) {
        // A record is nine lines ending in "*"; a shorter one ends at its first "*" after the
        // value, and one cut short at the end of the file is dropped.
        std::size_t end = i + 8;
        if (end >= lines.size() || lines[end] != "*") {
            end = i + 2;
            while (end < lines.size() && lines[end] != "*")
                ++end;
        }
        if (end >= lines.size())
            break;
        Cookie c;
        c.name = std::string(lines[i]);
        c.value = std::string(lines[i + 1]);
        c.domain = std::string(domain);
        c.path = std::string(path);
        if (end - i == 8) {
            c.flags = static_cast<std::uint32_t>(number(lines[i + 3]));
            c.expiry = number(lines[i + 4]) | (number(lines[i + 5]) << 32);
            c.creation = number(lines[i + 6]) | (number(lines[i + 7]) << 32);
        }
        if (!c.name.empty())
            cookies.push_back(std::move(c));
        i = end + 1;
    }
    return cookies;
}

std::string CookieFileText(const std::vector<Cookie>& cookies)
{
    std::string out;
    for (const Cookie& c : cookies) {
        out += c.name + '\n' + c.value + '\n' + c.domain + c.path + '\n' + std::to_string(c.flags) + '\n' +
               std::to_string(c.expiry & 0xffffffffull) + '\n' + std::to_string(c.expiry >> 32) + '\n' +
               std::to_string(c.creation & 0xffffffffull) + '\n' + std::to_string(c.creation >> 32) + '\n' +
               "*\n";
    }
    return out;
}

[[noreturn]] void ThrowErrno(const std::string& what)
{
    const int e = errno;
    throw StoreError(e == EACCES || e == EPERM || e == EROFS ? kErrorAccessDenied : kErrorInternal, what);
}

// The rename itself is not flushed: like the index's
// last commits, a crash may undo the last change, but it cannot corrupt the file.
void WriteFileAtomically(const fs::path& file, const std::string& text)
{
    const fs::path tmp = file.parent_path() / ("." + file.filename().string() + ".tmp" + std::to_string(::getpid()));
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        ThrowErrno("cannot create " + tmp.string());
    if (!posix::WriteAll(fd, text)) {
        const int e = errno;
        ::close(fd);
        ::unlink(tmp.c_str());
        errno = e;
        ThrowErrno("cannot write " + tmp.string());
    }
    if (::fdatasync(fd) != 0 || ::close(fd) != 0) {
        ::unlink(tmp.c_str());
        ThrowErrno("cannot write " + tmp.string());
    }
    if (::rename(tmp.c_str(), file.c_str()) != 0) {
        ::unlink(tmp.c_str());
        ThrowErrno("cannot replace " + file.string());
    }
}

std::string CookieFileName(const std::string& user, const Cookie& c)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string name;
    const std::string source = user + "@" + c.domain + (c.path == "/" ? std::string() : c.path);
    for (unsigned char ch : source) {
        if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || IsDigit(static_cast<char>(ch)) || ch == '.' ||
            ch == '@' || ch == '_' || ch == '-') {
            name += static_cast<char>(ch);
        } else {
            name += '%';
            name += hex[ch >> 4];
            name += hex[ch & 15];
        }
    }
    if (name.size() > 200) {
        std::uint64_t h = 1469598103934665603ull;
        for (unsigned char ch : source)
            h = (h ^ ch) * 1099511628211ull;
        std::string tail;
        for (int i = 0; i < 16; ++i)
            tail += hex[(h >> (60 - 4 * i)) & 15];
        name = name.substr(0, 150) + "~" + tail;
    }
    return name + ".txt";
}

void SplitSource(std::string_view rest, std::string& domain, std::string& path)
{
    const std::size_t slash = rest.find('/');
    domain = std::string(rest.substr(0, slash));
    path = slash == std::string_view::npos ? "/" : std::string(rest.substr(slash));
}

}  // namespace brimlow::inetcache::detail
