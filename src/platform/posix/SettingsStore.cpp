#include "../SettingsStore.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr const char* kVendorFolder = "Morvane";
constexpr const char* kProductFolder = "Vantel";

bool isAbsolute(const char* path) { return path && path[0] == '/'; }

std::string withSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    if (isAbsolute(home)) return home;
    // No usable HOME (a host started by a service): the account's home directory.
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        isAbsolute(found->pw_dir))
        return found->pw_dir;
    return {};
}

// A value name is a plain file name of ours: no folders, no hidden or special names.
bool isValueName(const std::string& name) {
    if (name.empty() || name[0] == '.') return false;
    return name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

// The process's file-creation mask, read without changing it (umask() would, and another
// thread of the host may be creating files meanwhile).
mode_t currentUmask() {
    mode_t mask = 022;
    if (FILE* f = std::fopen("/proc/self/status", "re")) {
        char line[256];
        while (std::fgets(line, sizeof line, f)) {
            unsigned value = 0;
            if (std::sscanf(line, "Umask: %o", &value) == 1) {
                mask = static_cast<mode_t>(value & 0777);
                break;
            }
        }
        std::fclose(f);
    }
    return mask;
}

bool writeAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

std::string stripOneNewline(std::string text) {
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
        if (!text.empty() && text.back() == '\r') text.pop_back();
    }
    return text;
}

}  // namespace

std::string defaultSettingsFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (isAbsolute(config)) {
        base = config;
    } else {
        const std::string home = homeFolder();
        if (home.empty()) return {};
        base = withSlash(home) + ".config";
    }
    return withSlash(base) + kVendorFolder + "/" + kProductFolder + "/";
}

bool readWholeFile(const std::string& path, std::vector<uint8_t>& out, size_t limit) {
    out.clear();
    if (path.empty()) return false;
    // Non-blocking open, so that a FIFO named like a file cannot hang the caller.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= 0 &&
              static_cast<uint64_t>(st.st_size) <= limit;
    if (ok) {
        // The file may change while it is read: read to its end, at most one byte past
        // the limit, and judge what was actually read.
        const size_t capacity = limit < SIZE_MAX ? limit + 1 : limit;
        out.resize(std::min<size_t>(static_cast<size_t>(st.st_size) + 1, capacity));
        size_t got = 0;
        for (;;) {
            if (got == out.size()) {
                if (out.size() >= capacity) break;
                out.resize(std::min<size_t>(out.size() * 2, capacity));
            }
            const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
            if (n < 0) {
                if (errno == EINTR) continue;
                ok = false;
                break;
            }
            if (n == 0) break;
            got += static_cast<size_t>(n);
        }
        if (got > limit) ok = false;
        out.resize(got);
    }
    ::close(fd);
    if (!ok) out.clear();
    return ok;
}

std::string workingDirectory() {
    std::vector<char> buffer(PATH_MAX + 1);
    if (!::getcwd(buffer.data(), buffer.size())) return {};
    return withSlash(buffer.data());
}

bool makeFolders(const std::string& folder) {
    if (folder.empty()) return false;
    std::string partial;
    size_t pos = 0;
    while (pos <= folder.size()) {
        size_t next = folder.find('/', pos);
        if (next == std::string::npos) next = folder.size();
        partial = folder.substr(0, next);
        if (!partial.empty() && ::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return false;
        pos = next + 1;
    }
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool replaceFileAtomically(const std::string& path, const void* data, size_t size) {
    if (path.empty() || path.back() == '/' || (size > 0 && !data)) return false;

    // Saving over a link saves into the file it names, and leaves the link a link.
    std::string target = path;
    struct stat st {};
    bool exists = false;
    if (::lstat(path.c_str(), &st) == 0) {
        if (S_ISLNK(st.st_mode)) {
            char* real = ::realpath(path.c_str(), nullptr);
            if (real) {
                target = real;
                std::free(real);
                exists = ::stat(target.c_str(), &st) == 0;
            }
        } else {
            exists = true;
        }
    }
    mode_t mode = 0666 & ~currentUmask();
    if (exists) {
        // A protected file stays protected: it is refused as fopen(..., "wb") would.
        if (!S_ISREG(st.st_mode) || ::access(target.c_str(), W_OK) != 0) return false;
        mode = st.st_mode & 07777;
    }

    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : target.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    if (base.size() > 200) base.resize(200);  // room for the suffix within a name's limit
    std::string temp = (slash == std::string::npos ? std::string() : folder) + "." + base + ".tmp-XXXXXX";

    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return false;
    temp = name.data();

    bool ok = writeAll(fd, static_cast<const uint8_t*>(data), size);
    ok = ok && ::fchmod(fd, mode) == 0;
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // The rename itself reaches the disk with the folder.
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

// ---------------------------------------------------------------- the store

std::string SettingsStore::folder() const { return folder_.empty() ? defaultSettingsFolder() : withSlash(folder_); }

std::string SettingsStore::pathOf(const std::string& name) const {
    if (!isValueName(name)) return {};
    const std::string f = folder();
    return f.empty() ? std::string() : f + name;
}

bool SettingsStore::replace(const std::string& name, const void* data, size_t size) const {
    if (size > kMaxSettingsValueSize) return false;
    const std::string path = pathOf(name);
    if (path.empty() || !makeFolders(folder())) return false;
    return replaceFileAtomically(path, data, size);
}

bool SettingsStore::writeBinary(const std::string& name, const void* data, size_t size) const {
    return replace(name, data, size);
}

bool SettingsStore::readBinary(const std::string& name, std::vector<uint8_t>& out, size_t limit) const {
    out.clear();
    const std::string path = pathOf(name);
    return !path.empty() && readWholeFile(path, out, std::min(limit, kMaxSettingsValueSize));
}

bool SettingsStore::writeString(const std::string& name, const std::string& text) const {
    if (text.find('\0') != std::string::npos) return false;
    const std::string line = text + "\n";
    return replace(name, line.data(), line.size());
}

bool SettingsStore::readString(const std::string& name, std::string& out, size_t maxChars) const {
    out.clear();
    std::vector<uint8_t> bytes;
    // Room for the newline (and a carriage return an editor may have added).
    if (!readBinary(name, bytes, maxChars + 2)) return false;
    std::string text(bytes.begin(), bytes.end());
    text = stripOneNewline(std::move(text));
    // A string ends at its first terminator, as it would in a character buffer.
    const size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    if (text.size() > maxChars) return false;
    out = std::move(text);
    return true;
}

bool SettingsStore::writeNumber(const std::string& name, uint32_t value) const {
    return writeString(name, std::to_string(value));
}

bool SettingsStore::readNumber(const std::string& name, uint32_t& out) const {
    std::string text;
    if (!readString(name, text, 64)) return false;
    size_t begin = text.find_first_not_of(" \t\r\n");
    size_t end = text.find_last_not_of(" \t\r\n");
    if (begin == std::string::npos) return false;
    text = text.substr(begin, end - begin + 1);
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text = text.substr(2);
    }
    if (text.empty() || text.find_first_not_of(base == 16 ? "0123456789abcdefABCDEF" : "0123456789") != std::string::npos)
        return false;
    errno = 0;
    char* stop = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &stop, base);
    if (errno != 0 || *stop != '\0' || value > 0xFFFFFFFFull) return false;
    out = static_cast<uint32_t>(value);
    return true;
}

bool SettingsStore::remove(const std::string& name) const {
    const std::string path = pathOf(name);
    if (path.empty()) return false;
    return ::unlink(path.c_str()) == 0 || errno == ENOENT || errno == ENOTDIR;
}

}  // namespace platform
