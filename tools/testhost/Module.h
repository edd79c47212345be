// Loading a plug-in module and finding its entry point: dlopen on POSIX systems,
// LoadLibraryW on Windows (paths are UTF-8 here and converted there).
#pragma once

#include <string>

namespace testhost {

bool moduleFileExists(const std::string& path);
// The loaded module, or null with the system's reason in `why`. A bare file name means the
// file in the current folder, as a person typing it means.
void* openModule(const std::string& path, std::string& why);
void* moduleSymbol(void* module, const char* name);
void closeModule(void* module);

}  // namespace testhost
