#include "Scratch.h"

#include <atomic>
#include <filesystem>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <stdlib.h>
#include <unistd.h>
#endif

namespace guitest {

namespace fs = std::filesystem;

#if defined(_WIN32)

namespace {
std::atomic<unsigned> gCounter{0};
void clearSettingsKey() { RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Morvane\\Vantel"); }
}  // namespace

Scratch::Scratch() {
    const fs::path folder = fs::temp_directory_path() /
                            ("vantel-gui-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(gCounter++));
    std::error_code error;
    fs::remove_all(folder, error);
    fs::create_directories(folder, error);
    root = folder.u8string() + "\\";
    clearSettingsKey();
}

Scratch::~Scratch() {
    std::error_code error;
    fs::remove_all(fs::u8path(root), error);
    clearSettingsKey();
}

#else

Scratch::Scratch() {
    char folder[] = "/tmp/vantel-gui-XXXXXX";
    if (mkdtemp(folder)) root = std::string(folder) + "/";
    setenv("XDG_CONFIG_HOME", root.c_str(), 1);
}

Scratch::~Scratch() {
    std::error_code error;
    if (!root.empty()) fs::remove_all(root, error);
}

#endif

}  // namespace guitest
