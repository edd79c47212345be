// The output file on Windows: the temporary file is made exclusively beside the target
// and moved over it at the end (MoveFileEx replaces an existing file in one step).
#include <windows.h>

#include <atomic>
#include <optional>
#include <string>

#include "Cli.h"
#include "OutputFile.h"
#include "windows/WideText.h"

namespace vantel {

namespace {

std::wstring widePath(const std::string& path) {
    const std::optional<std::wstring> w = platform::toWidePath(path);
    if (!w) throw Failure("\"" + path + "\" is not a valid file name.");
    return *w;
}

std::string reason(DWORD error) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string out =
        text ? platform::toUtf8(text).value_or("error " + std::to_string(error)) : "error " + std::to_string(error);
    if (text) LocalFree(text);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.')) out.pop_back();
    return out;
}

}  // namespace

OutputFile::OutputFile(std::string path) : path_(std::move(path)) {
    if (path_.empty()) throw Failure("The output file has no name.");
    const DWORD attributes = GetFileAttributesW(widePath(path_).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw Failure("\"" + path_ + "\" is a folder; give a file name for the output.");
    // Hidden, beside the target: the move stays within one volume.
    const size_t slash = path_.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? "" : path_.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path_ : path_.substr(slash + 1);
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0;; ++attempt) {
        const std::string candidate =
            folder + "." + name + "." + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
        HANDLE file = CreateFileW(widePath(candidate).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            temporary_ = candidate;
            return;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS || attempt > 100)
            throw Failure("\"" + path_ + "\" cannot be written: " + reason(error) + ".");
    }
}

OutputFile::~OutputFile() {
    if (!committed_) DeleteFileW(widePath(temporary_).c_str());
}

void OutputFile::commit() {
    if (!MoveFileExW(widePath(temporary_).c_str(), widePath(path_).c_str(), MOVEFILE_REPLACE_EXISTING))
        throw Failure("\"" + path_ + "\" cannot be written: " + reason(GetLastError()) + ".");
    committed_ = true;
}

}  // namespace vantel
