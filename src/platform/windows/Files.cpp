// The file helpers of SettingsStore.h on Windows, through the wide-character calls.
#include "../SettingsStore.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <climits>

#include "WideText.h"

namespace platform {

namespace {

class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() { close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }
    bool close() {
        if (!valid()) return true;
        const bool ok = CloseHandle(h_) != 0;
        h_ = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE h_;
};

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool writeAll(HANDLE h, const uint8_t* data, size_t size) {
    while (size > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(h, data, chunk, &written, nullptr) || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

std::atomic<unsigned> gTempCounter{0};

}  // namespace

std::string workingDirectory() {
    const DWORD n = GetCurrentDirectoryW(0, nullptr);
    if (n == 0) return {};
    std::wstring wide(n, L'\0');
    const DWORD got = GetCurrentDirectoryW(n, wide.data());
    if (got == 0 || got >= n) return {};
    wide.resize(got);
    if (wide.empty() || !isSeparator(wide.back())) wide += L'\\';
    return toUtf8(wide).value_or(std::string());
}

bool readWholeFile(const std::string& path, std::vector<uint8_t>& out, size_t limit) {
    out.clear();
    const std::optional<std::wstring> wide = toWidePath(path);
    if (!wide || wide->empty()) return false;
    Handle file(CreateFileW(wide->c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    // Files on disk only: not a pipe, a console or a device named like a file.
    LARGE_INTEGER size{};
    if (GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
        static_cast<unsigned long long>(size.QuadPart) > limit)
        return false;
    // The file may change while it is read: read to its end, at most one byte past the
    // limit, and judge what was actually read.
    const size_t capacity = limit < SIZE_MAX ? limit + 1 : limit;
    out.resize(std::min<size_t>(static_cast<size_t>(size.QuadPart) + 1, capacity));
    size_t got = 0;
    for (;;) {
        if (got == out.size()) {
            if (out.size() >= capacity) break;
            out.resize(std::min<size_t>(out.size() * 2, capacity));
        }
        DWORD n = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(out.size() - got, 1u << 30));
        if (!ReadFile(file.get(), out.data() + got, want, &n, nullptr)) {
            out.clear();
            return false;
        }
        if (n == 0) break;
        got += n;
    }
    if (got > limit) {
        out.clear();
        return false;
    }
    out.resize(got);
    return true;
}

bool makeFolders(const std::string& folder) {
    const std::optional<std::wstring> wide = toWidePath(folder);
    if (!wide || wide->empty()) return false;
    const std::wstring& path = *wide;
    // Create each level in turn, skipping what names a drive, a share or the \\?\ prefix
    // (creating those fails, and they exist when the path is reachable at all).
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && !isSeparator(path[i])) continue;
        const std::wstring partial = path.substr(0, i);
        if (partial.empty() || isSeparator(partial.back()) || partial.back() == L':' ||
            partial.find_first_not_of(L"\\/?.") == std::wstring::npos)
            continue;
        if (!CreateDirectoryW(partial.c_str(), nullptr)) {
            const DWORD error = GetLastError();
            if (error != ERROR_ALREADY_EXISTS && error != ERROR_ACCESS_DENIED) return false;
        }
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool replaceFileAtomically(const std::string& path, const void* data, size_t size) {
    if (path.empty() || path.back() == '/' || path.back() == '\\' || (size > 0 && !data)) return false;
    const std::optional<std::wstring> target = toWidePath(path);
    if (!target || target->empty()) return false;

    // A protected file stays protected: it is refused as opening it for writing would be.
    const DWORD attributes = GetFileAttributesW(target->c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DEVICE)))
        return false;

    // The temporary file sits beside the target, so the final move stays on one volume.
    const size_t split = target->find_last_of(L"\\/");
    const std::wstring folder = split == std::wstring::npos ? std::wstring() : target->substr(0, split + 1);
    std::wstring base = split == std::wstring::npos ? *target : target->substr(split + 1);
    if (base.size() > 200) base.resize(200);  // room for the suffix within a name's limit
    const std::wstring temp = folder + L"." + base + L".tmp-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(gTempCounter.fetch_add(1));

    Handle file(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_TEMPORARY, nullptr));
    if (!file.valid()) return false;
    bool ok = writeAll(file.get(), static_cast<const uint8_t*>(data), size);
    ok = ok && FlushFileBuffers(file.get());
    ok = file.close() && ok;
    // Attributes of the finished file: an ordinary one, not a temporary one.
    ok = ok && SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
    ok = ok && MoveFileExW(temp.c_str(), target->c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) {
        DeleteFileW(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace platform
