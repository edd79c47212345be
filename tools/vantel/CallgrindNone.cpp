// Systems without valgrind (Windows): the callgrind mode says so.
#include "Callgrind.h"

#include "Cli.h"

namespace vantel {
namespace callgrind {

int runUnderCallgrind(const std::string&, const std::vector<std::string>&, size_t, bool) {
    throw Failure("--callgrind counts instructions with valgrind, which this system does not have; "
                  "leave it out to measure time.");
}
bool runningOnValgrind() { return false; }
void zeroStats() {}
void dumpStats(const char*) {}

}  // namespace callgrind
}  // namespace vantel
