#include "System.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace vantel {

std::string executablePath() {
    char path[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, size_t(n)) : std::string();
}

bool fileExists(const std::string& path) { return !path.empty() && access(path.c_str(), F_OK) == 0; }

std::string resolvedPath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

bool sameFile(const std::string& a, const std::string& b) {
    const std::string ra = resolvedPath(a);
    return !ra.empty() && ra == resolvedPath(b);
}

bool stderrIsTerminal() { return isatty(STDERR_FILENO); }

}  // namespace vantel
