#include "cfileselector.h"

#include <chrono>
#include <thread>

#include "cframe.h"

namespace VSTGUI {

// ---------------------------------------------------------------- command lines

namespace filedialog {

std::string initialPath(const FileDialogRequest& r) {
    std::string path = r.initialDirectory;
    if (!path.empty() && path.back() != '/') path += '/';
    std::string name = r.defaultSaveName;
    if (!name.empty() && !r.defaultExtension.empty() && name.find('.') == std::string::npos)
        name += "." + r.defaultExtension;
    return path + name;
}

std::vector<std::string> zenityArguments(const FileDialogRequest& r) {
    std::vector<std::string> args{"--file-selection"};
    if (r.style == FileDialogRequest::kSelectSaveFile) {
        args.push_back("--save");
        args.push_back("--confirm-overwrite");
    } else if (r.style == FileDialogRequest::kSelectDirectory) {
        args.push_back("--directory");
    }
    if (!r.title.empty()) args.push_back("--title=" + r.title);
    std::string path = initialPath(r);
    if (!path.empty()) args.push_back("--filename=" + path);
    for (const CFileExtension& e : r.extensions) {
        std::string pattern = "*." + e.getExtension();
        args.push_back("--file-filter=" + e.getDescription() + " (" + pattern + ") | " + pattern);
    }
    return args;
}

std::vector<std::string> kdialogArguments(const FileDialogRequest& r) {
    std::vector<std::string> args;
    if (r.style == FileDialogRequest::kSelectSaveFile)
        args.push_back("--getsavefilename");
    else if (r.style == FileDialogRequest::kSelectDirectory)
        args.push_back("--getexistingdirectory");
    else
        args.push_back("--getopenfilename");
    if (!r.title.empty()) {
        args.push_back("--title");
        args.push_back(r.title);
    }
    std::string path = initialPath(r);
    args.push_back(path.empty() ? std::string(".") : path);
    if (r.style != FileDialogRequest::kSelectDirectory) {
        std::string filter;
        for (const CFileExtension& e : r.extensions) {
            if (!filter.empty()) filter += "\n";
            filter += e.getDescription() + " (*." + e.getExtension() + ")";
        }
        if (!filter.empty()) args.push_back(filter);
    }
    return args;
}

bool parseOutput(const std::string& output, int exitStatus, std::string& path) {
    if (exitStatus != 0) return false;
    std::string p = output;
    if (!p.empty() && p.back() == '\n') p.pop_back();
    if (!p.empty() && p.back() == '\r') p.pop_back();
    if (p.empty() || p[0] != '/' || p.find('\n') != std::string::npos) return false;
    path = p;
    return true;
}

}  // namespace filedialog

// ---------------------------------------------------------------- runners

namespace {
IFileDialogRunner* gDefaultRunner = nullptr;
IFileDialogRunner* gRunner = nullptr;

// Without a runner of the platform's there is no dialog: the operations find no file.
IFileDialogRunner* runner() { return gRunner ? gRunner : gDefaultRunner; }
}  // namespace

// The pending dialog as a frame task: it blocks input and ends in the callback.
class FileDialogTask : public CFrameTask {
public:
    FileDialogTask(CNewFileSelector* selector, IFileDialogJob* job, CNewFileSelector::Callback callback)
        : selector(selector), job(job), callback(std::move(callback)) {
        selector->remember();
    }
    ~FileDialogTask() override {
        delete job;
        selector->forget();
    }
    bool poll() override {
        std::vector<std::string> files;
        if (!job->poll(files)) return false;
        selector->selected = files;
        if (callback) callback(selector);
        return true;
    }
    void cancel() override { job->cancel(); }
    bool blocksInput() const override { return true; }

private:
    CNewFileSelector* selector;
    IFileDialogJob* job;
    CNewFileSelector::Callback callback;
};

// ---------------------------------------------------------------- selector

CNewFileSelector::CNewFileSelector(CFrame* frame, Style style) : frame(frame) {
    request.style = static_cast<FileDialogRequest::Style>(style);
}

CNewFileSelector* CNewFileSelector::create(CFrame* parent, Style style) { return new CNewFileSelector(parent, style); }

void CNewFileSelector::setDefaultExtension(const CFileExtension& ext) {
    request.defaultExtension = ext.getExtension();
    request.defaultDescription = ext.getDescription();
}

void CNewFileSelector::setRunner(IFileDialogRunner* r) { gRunner = r; }
void CNewFileSelector::setDefaultRunner(IFileDialogRunner* r) { gDefaultRunner = r; }

const char* CNewFileSelector::getSelectedFile(int32_t index) const {
    return index >= 0 && index < getNumSelectedFiles() ? selected[static_cast<size_t>(index)].c_str() : nullptr;
}

bool CNewFileSelector::run(Callback callback) {
    selected.clear();
    if (!frame || frame->isClosed() || frame->isInputBlocked()) return false;
    request.owner = frame->getPlatformFrame() ? frame->getPlatformFrame()->getNativeHandle() : nullptr;
    IFileDialogJob* job = runner() ? runner()->start(request) : nullptr;
    if (!job) return false;
    auto* task = new FileDialogTask(this, job, std::move(callback));
    frame->addTask(task);
    task->forget();
    return true;
}

bool CNewFileSelector::runModal() {
    selected.clear();
    request.owner = nullptr;
    IFileDialogJob* job = runner() ? runner()->start(request) : nullptr;
    if (!job) return false;
    std::vector<std::string> files;
    while (!job->poll(files)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    delete job;
    selected = files;
    return !selected.empty();
}

}  // namespace VSTGUI
