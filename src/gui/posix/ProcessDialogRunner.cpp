#include "ProcessDialogRunner.h"

#include <stdlib.h>
#include <unistd.h>

#include "ChildProcess.h"

namespace VSTGUI {
namespace posix {

namespace {

bool executable(const std::string& path) { return !path.empty() && access(path.c_str(), X_OK) == 0; }

class ProcessDialogJob : public IFileDialogJob {
public:
    bool start(const std::string& program, const std::vector<std::string>& args) {
        return process.start(program, args, true);
    }
    bool poll(std::vector<std::string>& files) override {
        if (!process.poll()) return false;
        files.clear();
        std::string path;
        if (filedialog::parseOutput(process.output(), process.exitStatus(), path)) files.push_back(path);
        return true;
    }
    void cancel() override { process.kill(); }

private:
    ChildProcess process;
};

class ProcessDialogRunner : public IFileDialogRunner {
public:
    IFileDialogJob* start(const FileDialogRequest& request) override {
        std::string program;
        bool kdialog = false;
        const char* overrideProgram = getenv("VANTEL_FILE_DIALOG");
        if (overrideProgram && *overrideProgram) {
            program = overrideProgram;
        } else {
            for (const char* p : {"/usr/bin/zenity", "/usr/local/bin/zenity"})
                if (program.empty() && executable(p)) program = p;
            for (const char* p : {"/usr/bin/kdialog", "/usr/local/bin/kdialog"})
                if (program.empty() && executable(p)) {
                    program = p;
                    kdialog = true;
                }
        }
        if (program.empty()) return nullptr;
        auto* job = new ProcessDialogJob;
        if (!job->start(program,
                        kdialog ? filedialog::kdialogArguments(request) : filedialog::zenityArguments(request))) {
            delete job;
            return nullptr;
        }
        return job;
    }
};

}  // namespace

IFileDialogRunner* processDialogRunner() {
    static ProcessDialogRunner runner;
    return &runner;
}

}  // namespace posix
}  // namespace VSTGUI
