#pragma once
// UTF-8 text as the cache search sees it in a UTF-8 locale: characters decoded one by one
// (a byte that starts no valid sequence stands for itself), simple case folding, and the
// letters and digits of every script as word characters.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace brimlow::utf8 {

struct Char {
    char32_t cp = 0;      // the character; for an invalid byte, the byte itself
    std::size_t len = 1;  // its bytes in the text
    bool valid = false;
};

// The character that starts at pos (pos < text.size()).
Char DecodeAt(std::string_view text, std::size_t pos);
// The character that ends right before pos (pos > 0).
Char DecodeBefore(std::string_view text, std::size_t pos);

// Simple case folding: characters that differ only in case fold alike (É é, Σ σ ς, K k).
char32_t Fold(char32_t c);
// A letter or digit of any script, or "_".
bool IsWordChar(char32_t c);

// The folded text; an invalid byte is copied as it stands. With `starts`, starts[i] is the
// offset in `text` of the character that folded byte i comes from, and one more element
// holds text.size().
std::string FoldText(std::string_view text, std::vector<std::size_t>* starts = nullptr);

bool IsAscii(std::string_view text);

}  // namespace brimlow::utf8
