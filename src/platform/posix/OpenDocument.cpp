#include "../OpenDocument.h"

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace platform {

namespace {

// xdg-open's answer when no tool for the document's type could be found.
constexpr int kNoToolStatus = 3;

// Openers whose opening was abandoned before they answered. xdg-open itself returns
// within moments (it hands the document to the viewer and exits), so the list stays short;
// each new opening reaps what has finished.
std::mutex gOrphansMutex;
std::vector<pid_t> gOrphans;

void reapOrphans() {
    std::lock_guard<std::mutex> guard(gOrphansMutex);
    for (size_t i = 0; i < gOrphans.size();) {
        int status = 0;
        const pid_t r = ::waitpid(gOrphans[i], &status, WNOHANG);
        // Finished, or not ours to wait for any more (a host that ignores SIGCHLD has its
        // children reaped by the system, and waitpid then answers ECHILD).
        if (r == gOrphans[i] || (r < 0 && errno != EINTR)) {
            gOrphans[i] = gOrphans.back();
            gOrphans.pop_back();
        } else {
            ++i;
        }
    }
}

bool isUrl(const std::string& document) {
    const size_t colon = document.find("://");
    return colon != std::string::npos && colon > 0;
}

}  // namespace

DocumentOpening::DocumentOpening(const std::string& document, void*) {
    reapOrphans();
    // A file that is not there cannot be opened; the opener would only say so later.
    struct stat st {};
    if (document.empty() || (!isUrl(document) && ::stat(document.c_str(), &st) != 0)) {
        outcome_ = OpenDocumentResult::Failed;
        return;
    }

    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        outcome_ = OpenDocumentResult::Failed;
        return;
    }
    // The opener gets no input, none of the host's files, and does not write into the
    // host's log.
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
#endif
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Its own process group: a terminal's Ctrl+C meant for the host does not reach it.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    std::string program = kDocumentOpener;
    std::string argument = document;
    char* argv[] = {program.data(), argument.data(), nullptr};
    pid_t pid = 0;
    const int error = posix_spawnp(&pid, program.c_str(), &actions, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);

    if (error == ENOENT || error == EACCES || error == ENOEXEC)
        outcome_ = OpenDocumentResult::NoApplication;
    else if (error != 0)
        outcome_ = OpenDocumentResult::Failed;
    else
        pid_ = pid;
}

DocumentOpening::~DocumentOpening() {
    if (pid_ <= 0) return;
    std::lock_guard<std::mutex> guard(gOrphansMutex);
    gOrphans.push_back(static_cast<pid_t>(pid_));
}

std::optional<OpenDocumentResult> DocumentOpening::poll() {
    if (outcome_ || pid_ <= 0) return outcome_;
    int status = 0;
    const pid_t r = ::waitpid(static_cast<pid_t>(pid_), &status, WNOHANG);
    if (r == 0 || (r < 0 && errno == EINTR)) return std::nullopt;
    pid_ = -1;
    if (r < 0)  // reaped by the system (the host ignores SIGCHLD): no answer to read
        outcome_ = OpenDocumentResult::Opened;
    else if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        outcome_ = OpenDocumentResult::Opened;
    else if (WIFEXITED(status) && WEXITSTATUS(status) == kNoToolStatus)
        outcome_ = OpenDocumentResult::NoApplication;
    else
        outcome_ = OpenDocumentResult::Failed;
    return outcome_;
}

}  // namespace platform
