// Counting instructions with valgrind's callgrind, for `vantel bench --callgrind`: the
// program runs itself again under valgrind, and the run inside marks what it measures.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vantel {
namespace callgrind {

// Runs `self bench ARGS` under callgrind and prints instructions per frame; throws Failure.
int runUnderCallgrind(const std::string& self, const std::vector<std::string>& args, size_t frames, bool versus);
bool runningOnValgrind();
void zeroStats();
void dumpStats(const char* name);

}  // namespace callgrind
}  // namespace vantel
