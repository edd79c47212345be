// The test support on Windows: a temporary folder of the test's own, and the user's
// settings key emptied before and after each test (the tests that use it run one at a time).
#include "FilesTestSupport.h"

#include <windows.h>

#include <atomic>
#include <filesystem>

namespace filestest {

namespace {

std::atomic<unsigned> gFolderCounter{0};

void clearSettingsKey() { RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Morvane\\Vantel"); }

// Removes a folder and everything in it, read-only files and paths beyond the classic
// length included (`folder` is fully qualified, without the \\?\ prefix).
void removeTree(const std::wstring& folder) {
    const std::wstring long_ = L"\\\\?\\" + folder;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((long_ + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = folder + L"\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(child);
            } else {
                SetFileAttributesW((L"\\\\?\\" + child).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW((L"\\\\?\\" + child).c_str());
            }
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryW(long_.c_str());
}

}  // namespace

std::vector<std::string> listFolder(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::u8path(folder), error))
        names.push_back(entry.path().filename().u8string());
    return names;
}

void TempFolderTest::SetUp() {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        ("vantel-files-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(gFolderCounter++));
    removeTree(folder.wstring());
    ASSERT_TRUE(std::filesystem::create_directories(folder));
    root = folder.u8string() + "\\";
    clearSettingsKey();
}

void TempFolderTest::TearDown() {
    std::wstring folder = std::filesystem::u8path(root).wstring();
    while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    removeTree(folder);
    clearSettingsKey();
}

}  // namespace filestest
