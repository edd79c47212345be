#include "Module.h"

#include <dlfcn.h>
#include <unistd.h>

namespace testhost {

bool moduleFileExists(const std::string& path) { return !path.empty() && access(path.c_str(), F_OK) == 0; }

void* openModule(const std::string& path, std::string& why) {
    // dlopen searches the library path for a bare name; a person means the current folder.
    const std::string openPath = path.find('/') == std::string::npos ? "./" + path : path;
    void* module = dlopen(openPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* error = dlerror();
        why = error ? error : "unknown reason";
    }
    return module;
}

void* moduleSymbol(void* module, const char* name) { return dlsym(module, name); }

void closeModule(void* module) { dlclose(module); }

}  // namespace testhost
