#include "ChildProcess.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstring>

extern char** environ;

namespace VSTGUI {
namespace posix {

namespace {
long long nowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}
}  // namespace

ChildProcess::~ChildProcess() {
    if (isRunning()) kill();
    closePipe();
}

bool ChildProcess::start(const std::string& program, const std::vector<std::string>& args, bool captureOutput) {
    if (pid > 0) return false;
    int fds[2] = {-1, -1};
    if (captureOutput && pipe2(fds, O_CLOEXEC) != 0) return false;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    // The tools' warnings are of no use to the host's log.
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (captureOutput) {
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    }

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    std::vector<char*> envp;
    for (char** e = environ; e && *e; ++e)
        if (std::strncmp(*e, "LD_LIBRARY_PATH=", 16) != 0) envp.push_back(*e);
    envp.push_back(nullptr);

    // A process group of its own, so that a kill reaches whatever the tool started too.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    pid_t child = -1;
    int rc = posix_spawn(&child, program.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (captureOutput) close(fds[1]);
    if (rc != 0) {
        if (captureOutput) close(fds[0]);
        return false;
    }
    pid = child;
    finished = false;
    status = -1;
    out.clear();
    if (captureOutput) {
        pipeFd = fds[0];
        fcntl(pipeFd, F_SETFL, fcntl(pipeFd, F_GETFL) | O_NONBLOCK);
    }
    return true;
}

void ChildProcess::drain() {
    if (pipeFd < 0) return;
    char buffer[4096];
    for (;;) {
        ssize_t n = read(pipeFd, buffer, sizeof buffer);
        if (n > 0) {
            if (out.size() < (1u << 20)) out.append(buffer, static_cast<size_t>(n));
            continue;
        }
        if (n == 0) closePipe();  // end of output
        break;                    // EAGAIN or an error: try again later
    }
}

void ChildProcess::closePipe() {
    if (pipeFd >= 0) close(pipeFd);
    pipeFd = -1;
}

bool ChildProcess::poll() {
    if (pid <= 0) return false;
    if (finished) return true;
    drain();
    int wstatus = 0;
    pid_t r = waitpid(pid, &wstatus, WNOHANG);
    if (r == pid) {
        drain();
        closePipe();
        finished = true;
        status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    } else if (r < 0 && errno == ECHILD) {
        // The host ignores SIGCHLD, so the child was reaped for us: it has ended once its
        // output is closed, and without a status we take it as a success.
        if (pipeFd < 0) {
            finished = true;
            status = 0;
        }
    }
    return finished;
}

bool ChildProcess::wait(int timeoutMs) {
    long long deadline = timeoutMs < 0 ? -1 : nowMs() + timeoutMs;
    while (!poll()) {
        if (pid <= 0) return false;
        if (deadline >= 0 && nowMs() >= deadline) return false;
        if (pipeFd >= 0) {
            pollfd p{pipeFd, POLLIN, 0};
            ::poll(&p, 1, 10);
        } else {
            usleep(5000);
        }
    }
    return true;
}

void ChildProcess::kill() {
    if (!isRunning()) return;
    ::kill(-pid, SIGTERM);
    if (!wait(500)) {
        ::kill(-pid, SIGKILL);
        int wstatus = 0;
        waitpid(pid, &wstatus, 0);
        finished = true;
        status = -1;
    }
    closePipe();
}

}  // namespace posix
}  // namespace VSTGUI
