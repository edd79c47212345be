#include "System.h"

#include "windows/WideText.h"

#include <windows.h>
#include <io.h>

#include <cstdio>
#include <optional>

namespace vantel {

namespace {

// Paths are UTF-8 here and UTF-16 in the Windows calls, converted as the plug-in converts them.
std::optional<std::wstring> wide(const std::string& path) { return platform::toWide(path); }
std::string utf8(const std::wstring& path) { return platform::toUtf8(path).value_or(std::string()); }

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
