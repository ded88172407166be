// The cache search against a plain reading of the search text: groups at " OR ", terms at
// " AND ", trimmed of spaces, and each term looked for by brute force in the record text
// (the six fields joined by CR LF), folded and bounded by words as the options say.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "cachebrowser/MUrlHound.h"
#include "cachebrowser/Utf8Text.h"

using namespace brimlow;

namespace {

std::vector<std::string> Split(const std::string& s, const std::string& sep)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t at; (at = s.find(sep, start)) != std::string::npos; start = at + sep.size())
        out.push_back(s.substr(start, at - start));
    out.push_back(s.substr(start));
    return out;
}

unsigned char Latin1Lower(unsigned char c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return static_cast<unsigned char>(c + 0x20);
    return c;
}

bool Latin1Word(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == 0xAA ||
           c == 0xB5 || c == 0xBA || (c >= 0xC0 && c != 0xD7 && c != 0xF7);
}

bool NaiveFind(const std::string& text, const std::string& rawTerm, MatchOptions o)
{
    const bool utf8 = o.encoding == TextEncoding::Utf8;
    std::vector<std::size_t> starts;
    std::string hay = text;
    std::string term = rawTerm;
    if (!o.matchCase) {
        if (utf8) {
            hay = utf8::FoldText(text, &starts);
            term = utf8::FoldText(rawTerm);
        } else {
            for (auto& c : hay)
                c = static_cast<char>(Latin1Lower(static_cast<unsigned char>(c)));
            for (auto& c : term)
                c = static_cast<char>(Latin1Lower(static_cast<unsigned char>(c)));
        }
    }
    if (starts.empty())
        for (std::size_t i = 0; i <= text.size(); ++i)
            starts.push_back(i);
    for (std::size_t i = 0; i + term.size() <= hay.size(); ++i) {
        if (hay.compare(i, term.size(), term) != 0)
            continue;
        const std::size_t end = i + term.size();
        if (i > 0 && starts[i] == starts[i - 1])
            continue;  // inside a folded character
        if (end < hay.size() && starts[end] == starts[end - 1])
            continue;
        if (!o.wholeWord)
            return true;
        const std::size_t from = starts[i], to = starts[end];
        bool before = false, after = false;
        if (utf8) {
            before = from > 0 && utf8::IsWordChar(utf8::DecodeBefore(text, from).cp);
            after = to < text.size() && utf8::IsWordChar(utf8::DecodeAt(text, to).cp);
        } else {
            before = from > 0 && Latin1Word(static_cast<unsigned char>(text[from - 1]));
            after = to < text.size() && Latin1Word(static_cast<unsigned char>(text[to]));
        }
        if (!before && !after)
            return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const MatchOptions options{(data[0] & 1) != 0, (data[0] & 2) != 0,
                               (data[0] & 4) ? TextEncoding::Utf8 : TextEncoding::Latin1};
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t cut = rest.find('\0');
    const std::string searchText = rest.substr(0, cut);
    const std::string recordText = cut == std::string::npos ? std::string() : rest.substr(cut + 1);
    const auto fields = Split(recordText, "\x01");
    CacheRecord r;
    std::string_view* targets[] = {&r.Source, &r.Location, &r.HitRate, &r.Expires, &r.Accessed, &r.Header};
    for (std::size_t i = 0; i < fields.size() && i < 6; ++i)
        *targets[i] = fields[i];
    std::string joined;
    for (std::size_t i = 0; i < 6; ++i)
        joined.append(*targets[i]).append(i < 5 ? "\r\n" : "");

    bool want = false;
    for (const std::string& group : Split(searchText, " OR ")) {
        std::vector<std::string> terms;
        for (std::string term : Split(group, " AND ")) {
            term.erase(0, term.find_first_not_of(' '));
            term.erase(term.find_last_not_of(' ') + 1);
            if (!term.empty())
                terms.push_back(term);
        }
        if (terms.empty())
            continue;
        bool all = true;
        for (const auto& t : terms)
            all = all && NaiveFind(joined, t, options);
        if (all) {
            want = true;
            break;
        }
    }
    FUZZ_CHECK(CacheSearch(searchText, options).Matches(r) == want);
    return 0;
}
