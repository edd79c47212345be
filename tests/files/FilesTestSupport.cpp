#include "FilesTestSupport.h"

#include <dirent.h>
#include <ftw.h>

namespace filestest {

std::vector<std::string> listFolder(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        ::closedir(dir);
    }
    return names;
}

void TempFolderTest::SetUp() {
    char pattern[] = "/tmp/vantel-files-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    root = std::string(pattern) + "/";
    ::setenv("XDG_CONFIG_HOME", (root + "config").c_str(), 1);
}

void TempFolderTest::TearDown() {
    ::chmod(root.c_str(), 0700);
    ::nftw(
        root.c_str(),
        [](const char* p, const struct stat*, int, FTW*) {
            ::chmod(p, 0700);
            return ::remove(p);
        },
        16, FTW_DEPTH | FTW_PHYS);
}

}  // namespace filestest
