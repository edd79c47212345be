// What the command needs of the operating system beyond standard C++: its own file, and
// whether a file exists (paths in UTF-8).
#pragma once

#include <string>

namespace vantel {

// This program's own file, or empty when the system does not say.
std::string executablePath();
bool fileExists(const std::string& path);
// The existing file `path` names with links resolved, or empty when there is none.
std::string resolvedPath(const std::string& path);
// True when both paths name one existing file.
bool sameFile(const std::string& a, const std::string& b);
// True when standard error goes to a terminal (a progress bar is then shown).
bool stderrIsTerminal();

}  // namespace vantel
