#include "RecentPaths.h"

#include <climits>
#include <unistd.h>
#include <vector>

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
    std::vector<char> buffer(PATH_MAX + 1);
    if (!::getcwd(buffer.data(), buffer.size())) return {};
    std::string folder = buffer.data();
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder.size() <= kMaxRecentPath ? folder : std::string();
}

}  // namespace presets
