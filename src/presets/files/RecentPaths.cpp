#include "RecentPaths.h"

#include "../../platform/SettingsStore.h"

namespace presets {

bool RecentPaths::remember(const std::string& fullPath, FileKind kind) {
    if (fullPath.size() > kMaxRecentPath) return false;
    const size_t split = fullPath.find_last_of("/\\");
    if (split == std::string::npos) return true;
    directory = fullPath.substr(0, split + 1);
    nameOf(kind) = fullPath.substr(split + 1);
    return true;
}

std::string workingDirectory() {
    const std::string folder = platform::workingDirectory();
    return folder.size() <= kMaxRecentPath ? folder : std::string();
}

}  // namespace presets
