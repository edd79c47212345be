// Text as cairo takes it. cairo accepts only valid UTF-8, and one invalid byte puts the
// context into an error state that silently drops everything drawn after it. Program
// names arrive from chunks and files as raw bytes, often in a Windows code page, so every
// text is made valid first: valid UTF-8 sequences stay as they are, and any other byte is
// read as Latin-1 (its code point is its value), except that 0x80..0x9F, control codes in
// Latin-1 that no name means, take their Windows-1252 characters (0x96 is an en dash).
// A character is a valid sequence or one such byte; editing and cutting move by whole
// characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace VSTGUI {
namespace utf8 {

// The length of the valid UTF-8 sequence at `text` (at most `available` bytes), 0 if none.
size_t sequenceLength(const unsigned char* text, size_t available);

// The text as valid UTF-8, other bytes read as Latin-1 (0x80..0x9F as Windows-1252).
std::string valid(const std::string& text);
inline std::string valid(const char* text) { return text ? valid(std::string(text)) : std::string(); }
bool isValid(const std::string& text);

// Character boundaries around byte position `at`.
size_t next(const std::string& text, size_t at);
size_t previous(const std::string& text, size_t at);

// The longest start of `text` of at most `maxBytes` bytes that ends on a character boundary.
std::string fitted(const std::string& text, size_t maxBytes);

// The character that a byte outside valid UTF-8 stands for.
uint32_t codePointOfByte(unsigned char byte);

// Valid UTF-8 without line breaks and other control characters (C0, DEL, C1, U+2028/2029),
// as one line of text must be.
std::string withoutControls(const std::string& validText);

// One code point as UTF-8 (nothing for code points UTF-8 cannot carry).
std::string encode(uint32_t codePoint);

}  // namespace utf8
}  // namespace VSTGUI
