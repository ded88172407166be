#include "platform/SendKeys.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace brimlow {

namespace {

struct Alias {
    std::string_view name;
    std::string_view key;
};

// Names "{NAME}" accepts, with the key each stands for.
constexpr std::array<Alias, 29> kNames{{
    {"BACKSPACE", "BKSP"}, {"BS", "BKSP"},         {"BKSP", "BKSP"},     {"BREAK", "BREAK"},
    {"CAPSLOCK", "CAPSLOCK"}, {"DELETE", "DEL"},   {"DEL", "DEL"},       {"DOWN", "DOWN"},
    {"END", "END"},        {"ENTER", "ENTER"},     {"ESC", "ESC"},       {"HELP", "HELP"},
    {"HOME", "HOME"},      {"INSERT", "INS"},      {"INS", "INS"},       {"LEFT", "LEFT"},
    {"NUMLOCK", "NUMLOCK"}, {"PGDN", "PGDN"},      {"PGUP", "PGUP"},     {"PRTSC", "PRTSC"},
    {"RIGHT", "RIGHT"},    {"SCROLLLOCK", "SCROLLLOCK"}, {"TAB", "TAB"}, {"UP", "UP"},
    {"ADD", "ADD"},        {"SUBTRACT", "SUBTRACT"}, {"MULTIPLY", "MULTIPLY"}, {"DIVIDE", "DIVIDE"},
    {"ESCAPE", "ESC"},
}};

std::string Upper(std::string_view s)
{
    std::string u(s);
    for (char& c : u)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return u;
}

// The key a name stands for, or "" when it is none.
std::string KeyOfName(std::string_view name)
{
    const std::string u = Upper(name);
    for (const Alias& a : kNames)
        if (a.name == u)
            return std::string(a.key);
    if (u.size() >= 2 && u.size() <= 3 && u[0] == 'F' && std::isdigit(static_cast<unsigned char>(u[1]))) {
        const std::string n = u.substr(1);
        if (n.find_first_not_of("0123456789") == std::string::npos && n[0] != '0') {
            const int f = std::stoi(n);
            if (f >= 1 && f <= 16)
                return u;
        }
    }
    return {};
}

// Length of the character at `s` (a whole UTF-8 sequence when it is a valid one).
std::size_t CharLength(std::string_view s)
{
    const auto b = static_cast<unsigned char>(s[0]);
    std::size_t n = b >= 0xF0 && b < 0xF8 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    if (n > s.size())
        return 1;
    for (std::size_t i = 1; i < n; ++i)
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80)
            return 1;
    return n;
}

const char* ModifierOf(char c)
{
    switch (c) {
    case '+': return "SHIFT";
    case '^': return "CTRL";
    case '%': return "ALT";
    default: return nullptr;
    }
}

class Parser {
public:
    std::vector<KeyEvent> events;

    void Prefix(const char* mod) { m_pending.emplace_back(mod); }

    void Key(const std::string& key, std::size_t times = 1)
    {
        const auto pressed = PressPending();
        for (std::size_t i = 0; i < times; ++i) {
            events.push_back({key, true});
            events.push_back({key, false});
        }
        Release(pressed);
    }

    void Skip() { m_pending.clear(); }

    void Open() { m_groups.push_back(PressPending()); }

    void Close()
    {
        TapPending();
        if (m_groups.empty())
            return;  // a stray ")": dropped
        Release(m_groups.back());
        m_groups.pop_back();
    }

    void End()
    {
        TapPending();
        while (!m_groups.empty()) {
            Release(m_groups.back());
            m_groups.pop_back();
        }
    }

private:
    // Presses the pending modifiers that are not held already; returns those it pressed.
    std::vector<std::string> PressPending()
    {
        std::vector<std::string> pressed;
        for (const std::string& m : m_pending) {
            if (std::find(m_held.begin(), m_held.end(), m) != m_held.end())
                continue;
            events.push_back({m, true});
            m_held.push_back(m);
            pressed.push_back(m);
        }
        m_pending.clear();
        return pressed;
    }
    void Release(const std::vector<std::string>& pressed)
    {
        for (auto it = pressed.rbegin(); it != pressed.rend(); ++it) {
            events.push_back({*it, false});
            m_held.erase(std::find(m_held.begin(), m_held.end(), *it));
        }
    }
    // Modifiers with no key after them are tapped.
    void TapPending()
    {
        if (!m_pending.empty())
            Release(PressPending());
    }

    std::vector<std::string> m_pending;
    std::vector<std::string> m_held;
    std::vector<std::vector<std::string>> m_groups;
};

}  // namespace

bool IsNamedKey(std::string_view key)
{
    return key == "SHIFT" || key == "CTRL" || key == "ALT" || !KeyOfName(key).empty();
}

std::vector<KeyEvent> ParseSendKeys(std::string_view s)
{
    Parser p;
    std::size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        if (const char* mod = ModifierOf(c)) {
            p.Prefix(mod);
            ++i;
        } else if (c == '(') {
            p.Open();
            ++i;
        } else if (c == ')') {
            p.Close();
            ++i;
        } else if (c == '~') {
            p.Key("ENTER");
            ++i;
        } else if (c == '{') {
            // "{}}" is the closing brace itself; otherwise the item runs to the next "}".
            const std::size_t close = i + 2 < s.size() && s[i + 1] == '}' && s[i + 2] == '}' ? i + 2 : s.find('}', i + 1);
            if (close == std::string_view::npos) {
                p.Skip();  // unclosed: nothing more is sent from here
                break;
            }
            std::string_view item = s.substr(i + 1, close - i - 1);
            i = close + 1;
            std::size_t times = 1;
            bool countOk = true;
            const std::size_t blank = item.rfind(' ');
            if (item.size() > 1 && blank != std::string_view::npos && blank > 0) {
                const std::string_view count = item.substr(blank + 1);
                countOk = !count.empty() && count.size() <= 4 &&
                          count.find_first_not_of("0123456789") == std::string_view::npos;
                if (countOk) {
                    times = static_cast<std::size_t>(std::stoul(std::string(count)));
                    countOk = times <= kMaxRepeat;
                }
                item = item.substr(0, blank);
            }
            std::string key;
            if (!item.empty() && CharLength(item) == item.size())
                key = std::string(item);
            else
                key = KeyOfName(item);
            if (key.empty() || !countOk || times == 0)
                p.Skip();
            else
                p.Key(key, times);
        } else {
            const std::size_t n = CharLength(s.substr(i));
            p.Key(std::string(s.substr(i, n)));
            i += n;
        }
    }
    p.End();
    return p.events;
}

std::string DescribeKeyEvents(const std::vector<KeyEvent>& events)
{
    std::string out;
    for (const KeyEvent& e : events) {
        if (!out.empty())
            out += ' ';
        out += e.down ? '+' : '-';
        out += e.key;
    }
    return out;
}

}  // namespace brimlow
