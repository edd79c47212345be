#include "Module.h"

#include <windows.h>

#include <optional>

namespace testhost {

namespace {

std::optional<std::wstring> wide(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), int(utf8.size()), nullptr, 0);
    if (n <= 0) return std::nullopt;
    std::wstring out(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), int(utf8.size()), out.data(), n);
    return out;
}

std::string systemMessage(DWORD error) {
    char* text = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = n && text ? std::string(text, n) : "error " + std::to_string(error);
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    return message;
}

}  // namespace

bool moduleFileExists(const std::string& path) {
    const std::optional<std::wstring> w = wide(path);
    return w && !w->empty() && GetFileAttributesW(w->c_str()) != INVALID_FILE_ATTRIBUTES;
}

void* openModule(const std::string& path, std::string& why) {
    // LoadLibrary searches the program's and the system's folders for a bare name; a
    // person means the current folder.
    const bool bare = path.find_first_of("/\\") == std::string::npos && path.find(':') == std::string::npos;
    const std::optional<std::wstring> w = wide(bare ? ".\\" + path : path);
    if (!w) {
        why = "the path is not valid UTF-8";
        return nullptr;
    }
    // No "could not load" box from the system: the caller reports it.
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryW(w->c_str());
    const DWORD error = GetLastError();
    SetErrorMode(oldMode);
    if (!module) why = systemMessage(error);
    return reinterpret_cast<void*>(module);
}

void* moduleSymbol(void* module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void closeModule(void* module) { FreeLibrary(static_cast<HMODULE>(module)); }

}  // namespace testhost
