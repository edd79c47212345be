#include "cdocument.h"

#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "../posix/ChildProcess.h"
#include "cframe.h"

namespace VSTGUI {

namespace {
class OpenerTask : public CFrameTask {
public:
    explicit OpenerTask(std::function<void(int)> done) : done(std::move(done)) {}
    bool start(const std::string& program, const char* path) { return process.start(program, {path}, false); }
    bool poll() override {
        if (!process.poll()) return false;
        if (done) done(process.exitStatus());
        return true;
    }
    // The frame closes first: the opener runs on by itself (the document still opens).
    void cancel() override {
        if (!process.poll()) process.detach();
    }

private:
    posix::ChildProcess process;
    std::function<void(int)> done;
};
}  // namespace

bool openDocument(CFrame* frame, const char* path, std::function<void(int)> done) {
    if (!frame || frame->isClosed() || !path) return false;
    std::string program;
    const char* overrideProgram = getenv("VANTEL_OPEN_PROGRAM");
    if (overrideProgram && *overrideProgram)
        program = overrideProgram;
    else
        for (const char* p : {"/usr/bin/xdg-open", "/usr/local/bin/xdg-open"})
            if (program.empty() && access(p, X_OK) == 0) program = p;
    if (program.empty()) return false;
    auto* task = new OpenerTask(std::move(done));
    if (!task->start(program, path)) {
        task->forget();
        return false;
    }
    frame->addTask(task);
    task->forget();
    return true;
}

}  // namespace VSTGUI
