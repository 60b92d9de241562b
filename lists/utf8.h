#pragma once
// UTF-8, the text of names and providers outside the list: one character at a time, both ways.

#include <cstddef>
#include <string>
#include <string_view>

// Appends the character's UTF-8 bytes.
void appendUtf8(std::string& out, char32_t c);

// Decodes one UTF-8 character at text[at], advancing at; false for anything but the shortest form
// of a scalar value (no overlong forms, surrogates or values past U+10FFFF).
bool nextUtf8(std::string_view text, std::size_t& at, char32_t& c);

// True when the whole text is well-formed UTF-8.
bool isUtf8(std::string_view text);
