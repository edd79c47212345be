// The per-user settings store: named values shared by every instance of the effect run by
// the same user. Binary values, strings (UTF-8 in our code) and 32-bit numbers.
//
// On Windows the values live in the registry under HKEY_CURRENT_USER\SOFTWARE\Morvane\Vantel,
// as REG_BINARY, REG_SZ (UTF-16, with its terminator) and REG_DWORD (4 bytes); a value of
// another type or size reads as missing. The registry writes each value whole.
//
// Elsewhere they live one file per value in $XDG_CONFIG_HOME/Morvane/Vantel/ (or
// ~/.config/Morvane/Vantel/ when that variable is unset or not absolute). A write goes to
// a temporary file in the same folder, is flushed to disk and renamed over the value: a
// reader sees the old value or the new one, never part of either, and of two writers one
// whole value remains. Binary values are the bytes as given; strings and numbers are plain
// text followed by a newline, so a person can read or set them with any editor; a reader
// takes the text up to the end of the file less that one trailing newline.
//
// Every access opens the key or folder anew, so instances in any number of processes see
// each other's writes at once.
//
// Failures change nothing and report nothing beyond a false answer: a missing folder or
// value reads as nothing stored, an unwritable folder leaves every value as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// No stored value is larger: a bank block takes about 125 KiB.
constexpr size_t kMaxSettingsValueSize = 4u * 1024u * 1024u;

class SettingsStore {
public:
    // The user's own store (on POSIX systems the folder the environment names at each access).
    SettingsStore() = default;
    // A fixed folder, or on Windows a fixed key under HKEY_CURRENT_USER (tools and tests
    // that keep their own store).
    explicit SettingsStore(std::string folder) : folder_(std::move(folder)) {}

    // The folder in force, with its trailing '/', or the key; empty when no home can be found.
    std::string folder() const;

    bool writeBinary(const std::string& name, const void* data, size_t size) const;
    // False when the value is missing, unreadable or larger than `limit`; `out` is then empty.
    bool readBinary(const std::string& name, std::vector<uint8_t>& out, size_t limit = kMaxSettingsValueSize) const;

    bool writeString(const std::string& name, const std::string& text) const;
    // False (and `out` empty) when missing, unreadable, or longer than `maxChars` bytes.
    bool readString(const std::string& name, std::string& out, size_t maxChars) const;

    bool writeNumber(const std::string& name, uint32_t value) const;
    // Decimal (or 0x-prefixed hexadecimal) text; false when missing or not a number.
    bool readNumber(const std::string& name, uint32_t& out) const;

    // True when the value is gone afterwards (also when it never existed).
    bool remove(const std::string& name) const;

private:
    std::string pathOf(const std::string& name) const;
    bool replace(const std::string& name, const void* data, size_t size) const;

    std::string folder_;  // empty: from the environment
};

// $XDG_CONFIG_HOME/Morvane/Vantel/ by the rules above, with its trailing '/'; on Windows
// the key SOFTWARE\Morvane\Vantel.
std::string defaultSettingsFolder();

// Helpers the store is built on, shared with the preset files. Paths are UTF-8; Windows
// opens them through the wide-character calls, so any name the user has can be used, and
// refuses a path that is not valid UTF-8 rather than guess at it.

// The process's working directory with its trailing separator, or empty when unknown.
std::string workingDirectory();

// Reads a whole regular file of at most `limit` bytes, opened read-only. False (with
// `out` empty) for a missing, unreadable or special file, or one larger than the limit.
bool readWholeFile(const std::string& path, std::vector<uint8_t>& out, size_t limit);

// Replaces `path` with exactly `size` bytes: a temporary file beside it is written whole,
// flushed and renamed over it. On any failure the temporary file is removed and `path`
// is as it was. An existing target keeps its permission bits; one that is not writable
// is refused, as opening it for writing would be.
bool replaceFileAtomically(const std::string& path, const void* data, size_t size);

// Creates `folder` and its missing parents (on POSIX systems with mode 0700). True when it exists afterwards.
bool makeFolders(const std::string& folder);

}  // namespace platform
