#include "System.h"

#include <windows.h>
#include <io.h>

#include <cstdio>
#include <optional>

namespace vantel {

namespace {

std::optional<std::wstring> wide(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), int(utf8.size()), nullptr, 0);
    if (n <= 0) return std::nullopt;
    std::wstring out(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), int(utf8.size()), out.data(), n);
    return out;
}

std::string utf8(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace

std::string executablePath() {
    std::wstring path(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
    if (n == 0 || n >= path.size()) return {};
    path.resize(n);
    return utf8(path);
}

bool fileExists(const std::string& path) {
    const std::optional<std::wstring> w = wide(path);
    return w && !w->empty() && GetFileAttributesW(w->c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string resolvedPath(const std::string& path) { return fileExists(path) ? path : std::string(); }

bool sameFile(const std::string& a, const std::string& b) {
    // One file, whatever the spelling of its paths: the same volume and file index.
    auto identity = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
        const std::optional<std::wstring> w = wide(path);
        if (!w || w->empty()) return false;
        HANDLE h = CreateFileW(w->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        const bool ok = GetFileInformationByHandle(h, &info) != 0;
        CloseHandle(h);
        return ok;
    };
    BY_HANDLE_FILE_INFORMATION x{}, y{};
    return identity(a, x) && identity(b, y) && x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

bool stderrIsTerminal() { return _isatty(_fileno(stderr)); }

}  // namespace vantel
