// A child process started with posix_spawn, its standard output on a pipe, polled without
// blocking from the editor's idle. Used by the file dialogs.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace VSTGUI {
namespace posix {

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();  // kills a process still running
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `program` (an absolute path) with `args` (argv[1..]) in a process group of its
    // own; stdin and stderr are /dev/null and LD_LIBRARY_PATH is removed from the
    // environment (the host's may not suit the tool).
    bool start(const std::string& program, const std::vector<std::string>& args, bool captureOutput = true);
    // Reads what output is available and reaps the process if it ended; true once it has.
    bool poll();
    // Waits until the process ends (up to timeoutMs, -1 for ever); true if it ended.
    bool wait(int timeoutMs = -1);
    // SIGTERM to the child's process group, then SIGKILL if it has not ended within
    // 500 ms; always reaps.
    void kill();

    bool isRunning() const { return pid > 0 && !finished; }
    bool hasFinished() const { return finished; }
    // The exit status, or -1 when the process did not exit normally.
    int exitStatus() const { return status; }
    const std::string& output() const { return out; }
    pid_t getPid() const { return pid; }

private:
    void drain();
    void closePipe();

    pid_t pid = -1;
    int pipeFd = -1;
    bool finished = false;
    int status = -1;
    std::string out;
};

}  // namespace posix
}  // namespace VSTGUI
