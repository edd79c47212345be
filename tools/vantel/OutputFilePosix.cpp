#include "OutputFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Cli.h"

namespace vantel {

OutputFile::OutputFile(std::string path) : path_(std::move(path)) {
    if (path_.empty()) throw Failure("The output file has no name.");
    struct stat st {};
    if (stat(path_.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        throw Failure("\"" + path_ + "\" is a folder; give a file name for the output.");
    // Hidden, beside the target: the rename stays within one file system.
    const size_t slash = path_.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : path_.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path_ : path_.substr(slash + 1);
    std::string pattern = folder + "." + name + ".XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = mkstemp(buffer.data());
    if (fd < 0)
        throw Failure("\"" + path_ + "\" cannot be written: " + std::strerror(errno) + ".");
    // mkstemp makes the file private; the result gets the mode any new file gets here.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
    temporary_ = buffer.data();
}

OutputFile::~OutputFile() {
    if (!committed_) std::remove(temporary_.c_str());
}

void OutputFile::commit() {
    if (std::rename(temporary_.c_str(), path_.c_str()) != 0)
        throw Failure("\"" + path_ + "\" cannot be written: " + std::strerror(errno) + ".");
    committed_ = true;
}

}  // namespace vantel
