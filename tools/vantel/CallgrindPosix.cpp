// The callgrind mode of `vantel bench` on systems with valgrind.
#include "Callgrind.h"

#include <sys/wait.h>
#include <unistd.h>
#include <valgrind/callgrind.h>

#include <cstdio>
#include <fstream>

#include "Cli.h"

namespace vantel {
namespace callgrind {

namespace {

// The Ir total of a callgrind dump file, or -1.
double instructionsIn(const std::string& file) {
    std::ifstream in(file);
    std::string line;
    double summary = -1.0;
    while (std::getline(in, line)) {
        if (line.rfind("totals:", 0) == 0) return std::stod(line.substr(7));
        if (line.rfind("summary:", 0) == 0) summary = std::stod(line.substr(8));
    }
    return summary;
}

}  // namespace

int runUnderCallgrind(const std::string& self, const std::vector<std::string>& original, size_t frames,
                      bool versus) {
    char folder[] = "/tmp/vantel-callgrind-XXXXXX";
    if (!mkdtemp(folder)) throw Failure("No temporary folder could be made for callgrind's output.");
    const std::string outFile = std::string(folder) + "/callgrind.out";
    std::vector<std::string> argv = {"valgrind", "--tool=callgrind", "-q", "--callgrind-out-file=" + outFile,
                                     self, "bench"};
    argv.insert(argv.end(), original.begin(), original.end());
    std::vector<char*> cargv;
    for (auto& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        execvp("valgrind", cargv.data());
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw Failure(WIFEXITED(status) && WEXITSTATUS(status) == 127
                          ? "valgrind is not installed (Debian package valgrind)."
                          : "The run under valgrind failed.");
    // Dumps come in the order they were made: ours first, then the --vs plug-in's.
    const double ours = instructionsIn(outFile + ".1");
    if (ours < 0) throw Failure("callgrind wrote no measurement into " + outFile + ".1.");
    std::printf("Instructions per frame: %.1f\n", ours / double(frames));
    if (versus) {
        const double other = instructionsIn(outFile + ".2");
        if (other > 0)
            std::printf("Instructions per frame (--vs): %.1f  (ratio %.3f)\n", other / double(frames), ours / other);
    }
    std::printf("Callgrind files: %s.*\n", outFile.c_str());
    return 0;
}

bool runningOnValgrind() { return RUNNING_ON_VALGRIND; }
void zeroStats() { CALLGRIND_ZERO_STATS; }
void dumpStats(const char* name) { CALLGRIND_DUMP_STATS_AT(name); }

}  // namespace callgrind
}  // namespace vantel
