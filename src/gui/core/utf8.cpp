#include "utf8.h"

namespace VSTGUI {
namespace utf8 {

size_t sequenceLength(const unsigned char* p, size_t available) {
    if (available == 0) return 0;
    const unsigned char lead = p[0];
    if (lead < 0x80) return 1;
    // The second byte's range depends on the lead byte: this excludes overlong forms,
    // surrogates and code points above U+10FFFF.
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (available < length || p[1] < low || p[1] > high) return 0;
    for (size_t i = 2; i < length; ++i)
        if (p[i] < 0x80 || p[i] > 0xBF) return 0;
    return length;
}

namespace {
// Windows-1252 at 0x80..0x9F; its five unassigned positions keep their Latin-1 code points.
constexpr uint16_t kWindows1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

size_t charLength(const std::string& text, size_t at) {
    const size_t n = sequenceLength(reinterpret_cast<const unsigned char*>(text.data()) + at, text.size() - at);
    return n ? n : 1;
}
}  // namespace

std::string valid(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (size_t i = 0; i < text.size();) {
        const size_t n = sequenceLength(reinterpret_cast<const unsigned char*>(text.data()) + i, text.size() - i);
        if (n) {
            out.append(text, i, n);
            i += n;
        } else {
            out += encode(codePointOfByte(static_cast<unsigned char>(text[i])));
            ++i;
        }
    }
    return out;
}

bool isValid(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const size_t n = sequenceLength(reinterpret_cast<const unsigned char*>(text.data()) + i, text.size() - i);
        if (!n) return false;
        i += n;
    }
    return true;
}

size_t next(const std::string& text, size_t at) { return at >= text.size() ? text.size() : at + charLength(text, at); }

size_t previous(const std::string& text, size_t at) {
    if (at > text.size()) at = text.size();
    // Walk from the start: a stray continuation byte is a character of its own, so the
    // boundaries are only known going forwards.
    size_t before = 0;
    for (size_t i = 0; i < at; i = next(text, i)) before = i;
    return before;
}

std::string fitted(const std::string& text, size_t maxBytes) {
    size_t end = 0;
    for (size_t i = 0; i < text.size();) {
        const size_t n = next(text, i);
        if (n > maxBytes) break;
        end = i = n;
    }
    return text.substr(0, end);
}

std::string withoutControls(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const size_t n = next(text, i);
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        const bool c0 = lead < 0x20 || lead == 0x7f;
        const bool c1 = lead == 0xc2 && n - i == 2 && static_cast<unsigned char>(text[i + 1]) < 0xa0;
        const bool separator =
            text.compare(i, n - i, "\xe2\x80\xa8") == 0 || text.compare(i, n - i, "\xe2\x80\xa9") == 0;
        if (!c0 && !c1 && !separator) out.append(text, i, n - i);
        i = n;
    }
    return out;
}

uint32_t codePointOfByte(unsigned char byte) { return byte >= 0x80 && byte < 0xA0 ? kWindows1252[byte - 0x80] : byte; }

std::string encode(uint32_t cp) {
    std::string out;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        if (cp >= 0xD800 && cp <= 0xDFFF) return out;
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp <= 0x10FFFF) {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

}  // namespace utf8
}  // namespace VSTGUI
