// The per-user settings store on Windows: values under one key of HKEY_CURRENT_USER.
#include "../SettingsStore.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "WideText.h"

namespace platform {

namespace {

constexpr const char* kProductKey = "SOFTWARE\\Morvane\\Vantel";

class Key {
public:
    Key() = default;
    ~Key() {
        if (key_) RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    // Opens the key for `access`, or creates it (and its parents) when `create`.
    bool open(const std::string& path, REGSAM access, bool create) {
        const std::optional<std::wstring> wide = toWide(path);
        if (!wide || wide->empty()) return false;
        const LSTATUS status = create ? RegCreateKeyExW(HKEY_CURRENT_USER, wide->c_str(), 0, nullptr, 0, access,
                                                        nullptr, &key_, nullptr)
                                      : RegOpenKeyExW(HKEY_CURRENT_USER, wide->c_str(), 0, access, &key_);
        status_ = status;
        if (status != ERROR_SUCCESS) key_ = nullptr;
        return key_ != nullptr;
    }
    HKEY get() const { return key_; }
    LSTATUS status() const { return status_; }

private:
    HKEY key_ = nullptr;
    LSTATUS status_ = ERROR_INVALID_PARAMETER;
};

// A value name of ours: printable, no terminator inside.
std::optional<std::wstring> valueName(const std::string& name) {
    if (name.empty() || name.find('\0') != std::string::npos) return std::nullopt;
    return toWide(name);
}

// Reads a value of type `type` whose size is at most `limit` bytes. Another type, or a
// larger value, reads as missing, as does one that keeps changing size while it is read.
bool readValue(const std::string& keyPath, const std::string& name, DWORD type, size_t limit,
               std::vector<uint8_t>& out) {
    out.clear();
    const std::optional<std::wstring> wideName = valueName(name);
    Key key;
    if (!wideName || !key.open(keyPath, KEY_QUERY_VALUE, false)) return false;
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD storedType = 0, size = 0;
        if (RegQueryValueExW(key.get(), wideName->c_str(), nullptr, &storedType, nullptr, &size) != ERROR_SUCCESS ||
            storedType != type || size > limit)
            return false;
        out.resize(size);
        DWORD got = size;
        const LSTATUS status =
            RegQueryValueExW(key.get(), wideName->c_str(), nullptr, &storedType, size ? out.data() : nullptr, &got);
        if (status == ERROR_MORE_DATA) continue;  // grew meanwhile: ask again
        if (status != ERROR_SUCCESS || storedType != type || got > size) break;
        out.resize(got);
        return true;
    }
    out.clear();
    return false;
}

bool writeValue(const std::string& keyPath, const std::string& name, DWORD type, const void* data, size_t size) {
    const std::optional<std::wstring> wideName = valueName(name);
    if (!wideName || size > kMaxSettingsValueSize || (size > 0 && !data)) return false;
    Key key;
    if (!key.open(keyPath, KEY_WRITE, true)) return false;
    return RegSetValueExW(key.get(), wideName->c_str(), 0, type, static_cast<const BYTE*>(data),
                          static_cast<DWORD>(size)) == ERROR_SUCCESS;
}

}  // namespace

std::string defaultSettingsFolder() { return kProductKey; }

std::string SettingsStore::folder() const { return folder_.empty() ? defaultSettingsFolder() : folder_; }

bool SettingsStore::writeBinary(const std::string& name, const void* data, size_t size) const {
    return writeValue(folder(), name, REG_BINARY, data, size);
}

bool SettingsStore::readBinary(const std::string& name, std::vector<uint8_t>& out, size_t limit) const {
    return readValue(folder(), name, REG_BINARY, std::min(limit, kMaxSettingsValueSize), out);
}

bool SettingsStore::writeString(const std::string& name, const std::string& text) const {
    if (text.find('\0') != std::string::npos) return false;
    const std::optional<std::wstring> wide = toWide(text);
    if (!wide) return false;
    // REG_SZ with its terminator, as every reader of the registry expects.
    return writeValue(folder(), name, REG_SZ, wide->c_str(), (wide->size() + 1) * sizeof(wchar_t));
}

bool SettingsStore::readString(const std::string& name, std::string& out, size_t maxChars) const {
    out.clear();
    // A string of at most maxChars UTF-8 bytes has at most as many UTF-16 units; room for a
    // terminator (and an odd byte, judged below).
    std::vector<uint8_t> bytes;
    const size_t limit = maxChars < (kMaxSettingsValueSize / 2) ? (maxChars + 1) * sizeof(wchar_t) + 1 : kMaxSettingsValueSize;
    if (!readValue(folder(), name, REG_SZ, limit, bytes) || bytes.size() % sizeof(wchar_t) != 0) return false;
    std::wstring wide(bytes.size() / sizeof(wchar_t), L'\0');
    if (!bytes.empty()) std::memcpy(wide.data(), bytes.data(), bytes.size());
    // A string ends at its first terminator (a value written without one ends with its size).
    const size_t nul = wide.find(L'\0');
    if (nul != std::wstring::npos) wide.resize(nul);
    const std::optional<std::string> text = toUtf8(wide);
    if (!text || text->size() > maxChars) return false;
    out = *text;
    return true;
}

bool SettingsStore::writeNumber(const std::string& name, uint32_t value) const {
    const DWORD dword = value;
    return writeValue(folder(), name, REG_DWORD, &dword, sizeof dword);
}

bool SettingsStore::readNumber(const std::string& name, uint32_t& out) const {
    std::vector<uint8_t> bytes;
    if (!readValue(folder(), name, REG_DWORD, sizeof(DWORD), bytes) || bytes.size() != sizeof(DWORD)) return false;
    DWORD value = 0;
    std::memcpy(&value, bytes.data(), sizeof value);
    out = value;
    return true;
}

bool SettingsStore::remove(const std::string& name) const {
    const std::optional<std::wstring> wideName = valueName(name);
    if (!wideName) return false;
    Key key;
    // No key: no value either.
    if (!key.open(folder(), KEY_SET_VALUE, false)) return key.status() == ERROR_FILE_NOT_FOUND;
    const LSTATUS status = RegDeleteValueW(key.get(), wideName->c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

}  // namespace platform
