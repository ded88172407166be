#include "cachebrowser/Utf8Text.h"

#include <cstdint>
#include <cstring>
#include <locale.h>
#include <wctype.h>

namespace brimlow::utf8 {

namespace {

// The character tables of the C library, whatever locale the process runs in.
locale_t UnicodeCtype()
{
    static const locale_t loc = [] {
        locale_t l = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        return l ? l : ::newlocale(LC_CTYPE_MASK, "en_US.UTF-8", static_cast<locale_t>(0));
    }();
    return loc;
}

void Append(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

}  // namespace

Char DecodeAt(std::string_view text, std::size_t pos)
{
    const auto b0 = static_cast<unsigned char>(text[pos]);
    if (b0 < 0x80)
        return {b0, 1, true};
    std::size_t len;
    char32_t cp;
    char32_t min;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return {b0, 1, false};
    }
    if (text.size() - pos < len)
        return {b0, 1, false};
    for (std::size_t i = 1; i < len; ++i) {
        const auto b = static_cast<unsigned char>(text[pos + i]);
        if ((b & 0xC0) != 0x80)
            return {b0, 1, false};
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return {b0, 1, false};
    return {cp, len, true};
}

Char DecodeBefore(std::string_view text, std::size_t pos)
{
    // A sequence is at most four bytes: try the starts from the nearest back.
    for (std::size_t back = 1; back <= 4 && back <= pos; ++back) {
        const auto b = static_cast<unsigned char>(text[pos - back]);
        if ((b & 0xC0) != 0x80 || back == 4 || back == pos) {
            const Char c = DecodeAt(text, pos - back);
            if (c.valid && c.len == back)
                return c;
            break;
        }
    }
    return {static_cast<unsigned char>(text[pos - 1]), 1, false};
}

char32_t Fold(char32_t c)
{
    if (c < 0x80)
        return c >= 'A' && c <= 'Z' ? c + 0x20 : c;
    const locale_t loc = UnicodeCtype();
    if (!loc)
        return c;
    // Lower case of the upper case: also joins the forms that have no capital of their own
    // (final sigma, long s) with their ordinary letter.
    return static_cast<char32_t>(::towlower_l(::towupper_l(static_cast<wint_t>(c), loc), loc));
}

bool IsWordChar(char32_t c)
{
    if (c < 0x80)
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    const locale_t loc = UnicodeCtype();
    return loc && ::iswalnum_l(static_cast<wint_t>(c), loc);
}

std::string FoldText(std::string_view text, std::vector<std::size_t>* starts)
{
    std::string out;
    out.reserve(text.size());
    if (starts) {
        starts->clear();
        starts->reserve(text.size() + 1);
    }
    for (std::size_t pos = 0; pos < text.size();) {
        const Char c = DecodeAt(text, pos);
        const std::size_t before = out.size();
        if (c.valid)
            Append(out, Fold(c.cp));
        else
            out.push_back(text[pos]);
        if (starts)
            starts->insert(starts->end(), out.size() - before, pos);
        pos += c.len;
    }
    if (starts)
        starts->push_back(text.size());
    return out;
}

bool IsAscii(std::string_view text)
{
    const char* p = text.data();
    std::size_t n = text.size();
    for (; n >= 8; p += 8, n -= 8) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        if (w & 0x8080808080808080ull)
            return false;
    }
    for (; n > 0; ++p, --n)
        if (static_cast<unsigned char>(*p) & 0x80)
            return false;
    return true;
}

}  // namespace brimlow::utf8
