#pragma once
// The key-sequence syntax of the key sender, parsed into the presses and releases of named
// keys:
//   "+" Shift, "^" Ctrl, "%" Alt    act on the next key or parenthesised group
//   "(" ... ")"                     a group under the prefixes before it
//   "{NAME}", "{NAME n}"            a named key ("{TAB}", "{F5}"), n times
//   "{+}", "{%}", "{(}", "{~}" ...  a character that is otherwise syntax
//   "~"                             Enter
// A prefix with no key after it taps the modifier ("%)" or "%" at the end taps Alt).
// A stray ")" is dropped and the rest is sent. An unknown name, a repeat count that is not
// a number from 1 to kMaxRepeat, and an unclosed "{" send nothing for that item.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace brimlow {

inline constexpr std::size_t kMaxRepeat = 1000;

struct KeyEvent {
    // A named key in upper case ("ENTER", "SHIFT", "F5", "ADD"), or one character as its
    // bytes (one byte, or a whole UTF-8 sequence).
    std::string key;
    bool down = true;
    bool operator==(const KeyEvent&) const = default;
};

// True for the names that "{NAME}" accepts ("BKSP", "ENTER", ...) and the modifiers.
bool IsNamedKey(std::string_view key);

std::vector<KeyEvent> ParseSendKeys(std::string_view sequence);

// "+a-a" style text of events for tests and the log of a key sender: "SHIFT down" as
// "+SHIFT", "SHIFT up" as "-SHIFT".
std::string DescribeKeyEvents(const std::vector<KeyEvent>& events);

}  // namespace brimlow
