#include "OpenDocument.h"

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

// Openers started and not yet reaped. xdg-open itself returns within moments (it hands
// the document to the viewer and exits), so the list stays short.
std::mutex gOpenersMutex;
std::vector<pid_t> gOpeners;

void reapFinishedOpeners() {
    std::lock_guard<std::mutex> guard(gOpenersMutex);
    for (size_t i = 0; i < gOpeners.size();) {
        int status = 0;
        const pid_t r = ::waitpid(gOpeners[i], &status, WNOHANG);
        // Finished, or not ours to wait for any more (a host that ignores SIGCHLD has its
        // children reaped by the system, and waitpid then answers ECHILD).
        if (r == gOpeners[i] || (r < 0 && errno != EINTR)) {
            gOpeners[i] = gOpeners.back();
            gOpeners.pop_back();
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

OpenDocumentResult openDocument(const std::string& document) {
    reapFinishedOpeners();
    if (document.empty()) return OpenDocumentResult::Failed;
    // A file that is not there cannot be opened; the opener would only say so later.
    struct stat st {};
    if (!isUrl(document) && ::stat(document.c_str(), &st) != 0) return OpenDocumentResult::Failed;

    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return OpenDocumentResult::Failed;
    // The opener gets no input and none of the host's files.
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
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

    if (error == ENOENT || error == EACCES || error == ENOEXEC) return OpenDocumentResult::NoApplication;
    if (error != 0) return OpenDocumentResult::Failed;
    std::lock_guard<std::mutex> guard(gOpenersMutex);
    gOpeners.push_back(pid);
    return OpenDocumentResult::Started;
}

}  // namespace platform
