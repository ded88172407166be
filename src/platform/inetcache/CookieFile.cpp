#include "platform/inetcache/CookieFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Platform.h"
#include "platform/inetcache/InetCache.h"
#include "platform/inetcache/Store.h"

namespace brimlow::inetcache::detail {

namespace fs = std::filesystem;

std::string SourceUrl(const std::string& user, const Cookie& c)
{
    return "Cookie:" + user + "@" + c.domain + c.path;
}

std::vector<Cookie> ReadCookieFile(const fs::path& file, std::string_view domain, std::string_view path,
                                   CookieFileRead* outcome)
{
    std::vector<Cookie> cookies;
    CookieFileRead result = CookieFileRead::Read;
    std::string text;
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    if (fd < 0) {
        result = errno == ENOENT || errno == ENOTDIR ? CookieFileRead::Gone : CookieFileRead::Unreadable;
    } else if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        result = CookieFileRead::Unreadable;
    } else {
        char buf[16384];
        ssize_t n;
        while ((n = ::read(fd, buf, sizeof buf)) != 0) {
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                result = CookieFileRead::Unreadable;
                break;
            }
            text.append(buf, static_cast<std::size_t>(n));
        }
    }
    if (fd >= 0)
        ::close(fd);
    if (outcome)
        *outcome = result;
    if (result != CookieFileRead::Read)
        return cookies;

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

namespace {

constexpr char kHex[] = "0123456789ABCDEF";
constexpr std::size_t kVersionLength = 6;  // the XXXXXX of mkostemp

bool IsNameByte(unsigned char ch) noexcept
{
    return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || IsDigit(static_cast<char>(ch)) || ch == '.' ||
           ch == '@' || ch == '_' || ch == '-';
}

}  // namespace

fs::path WriteNewCookieFile(const fs::path& folder, const std::string& stem, const std::string& text, FileCalls& calls,
                            bool sync)
{
    std::string pattern = (folder / (stem + "." + std::string(kVersionLength, 'X'))).string();
    const int fd = calls.MakeTemporary(pattern.data());
    if (fd < 0)
        ThrowErrno("cannot create " + pattern);
    const fs::path file(pattern);
    const auto fail = [&](const char* what) {
        const int e = errno;
        calls.Close(fd);
        calls.Unlink(file.c_str());
        errno = e;
        ThrowErrno(std::string(what) + " " + file.string());
    };
    for (std::size_t done = 0; done < text.size();) {
        const long n = calls.Pwrite(fd, text.data() + done, text.size() - done, static_cast<std::int64_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            fail("cannot write");
        }
        done += static_cast<std::size_t>(n);
    }
    if (sync && calls.Fdatasync(fd) != 0)
        fail("cannot write");
    if (calls.Close(fd) != 0) {
        const int e = errno;
        calls.Unlink(file.c_str());
        errno = e;
        ThrowErrno("cannot write " + file.string());
    }
    return file;
}

std::string CookieFileStem(const std::string& user, const Cookie& c)
{
    std::string name;
    const std::string source = user + "@" + c.domain + (c.path == "/" ? std::string() : c.path);
    for (unsigned char ch : source) {
        if (IsNameByte(ch)) {
            name += static_cast<char>(ch);
        } else {
            name += '%';
            name += kHex[ch >> 4];
            name += kHex[ch & 15];
        }
    }
    if (name.size() > 200) {
        std::uint64_t h = 1469598103934665603ull;
        for (unsigned char ch : source)
            h = (h ^ ch) * 1099511628211ull;
        std::string tail;
        for (int i = 0; i < 16; ++i)
            tail += kHex[(h >> (60 - 4 * i)) & 15];
        name = name.substr(0, 150) + "~" + tail;
    }
    return name;
}

bool IsStoreCookieFileName(std::string_view name) noexcept
{
    // Versions "<user>@<host...>.<version>", and the files of older stores
    // "<user>@<host...>.txt". Older stores' temporary files: ".<file name>.tmp<pid>".
    const auto isVersion = [&] {
        if (name.size() <= kVersionLength + 1 || name[name.size() - kVersionLength - 1] != '.')
            return false;
        for (char c : name.substr(name.size() - kVersionLength))
            if (!IsNameByte(static_cast<unsigned char>(c)) || c == '.' || c == '@' || c == '_' || c == '-')
                return false;
        return true;
    };
    const bool cookieFile = !name.empty() && name.front() != '.' && name.find('@') != std::string_view::npos &&
                            ((name.size() > 4 && name.substr(name.size() - 4) == ".txt") || isVersion());
    const bool oldTemporary = name.size() > 1 && name.front() == '.' && name.find(".txt.tmp") != std::string_view::npos;
    return cookieFile || oldTemporary;
}

void SplitSource(std::string_view rest, std::string& domain, std::string& path)
{
    const std::size_t slash = rest.find('/');
    domain = std::string(rest.substr(0, slash));
    path = slash == std::string_view::npos ? "/" : std::string(rest.substr(slash));
}

}  // namespace brimlow::inetcache::detail
