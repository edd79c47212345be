#include "WideText.h"

#include <windows.h>

#include <climits>

namespace platform {

std::optional<std::wstring> toWide(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    if (utf8.size() > INT_MAX) return std::nullopt;
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), int(utf8.size()), nullptr, 0);
    if (n <= 0) return std::nullopt;
    std::wstring wide(size_t(n), L'\0');
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), int(utf8.size()), wide.data(), n) != n)
        return std::nullopt;
    return wide;
}

std::optional<std::string> toUtf8(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    if (wide.size() > INT_MAX / 4) return std::nullopt;
    const int n =
        WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::nullopt;
    std::string utf8(size_t(n), '\0');
    if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), int(wide.size()), utf8.data(), n, nullptr,
                            nullptr) != n)
        return std::nullopt;
    return utf8;
}

std::optional<std::wstring> toWidePath(const std::string& utf8) {
    std::optional<std::wstring> wide = toWide(utf8);
    if (!wide || wide->empty()) return wide;
    // A terminator inside would silently shorten the name the system sees.
    if (wide->find(L'\0') != std::wstring::npos) return std::nullopt;
    const bool driveAbsolute = wide->size() >= 3 && (*wide)[1] == L':' && ((*wide)[2] == L'\\' || (*wide)[2] == L'/');
    if (driveAbsolute && wide->size() >= MAX_PATH && wide->compare(0, 4, L"\\\\?\\") != 0) {
        for (wchar_t& c : *wide)
            if (c == L'/') c = L'\\';
        wide->insert(0, L"\\\\?\\");
    }
    return wide;
}

}  // namespace platform
