#include "FileDialogs.h"

#include <objbase.h>
#include <shobjidl.h>

#include <atomic>
#include <memory>

#include "Win32Frame.h"
#include "windows/WideText.h"

namespace VSTGUI {
namespace win32 {

std::vector<std::pair<std::wstring, std::wstring>> fileTypes(const FileDialogRequest& request) {
    std::vector<std::pair<std::wstring, std::wstring>> types;
    auto add = [&](const std::string& description, const std::string& extension) {
        if (extension.empty()) return;
        const std::wstring pattern = L"*." + platform::toWideOrEmpty(extension);
        std::wstring text = platform::toWideOrEmpty(description);
        text += text.empty() ? pattern : L" (" + pattern + L")";
        types.emplace_back(text, pattern);
    };
    for (const CFileExtension& e : request.extensions) add(e.getDescription(), e.getExtension());
    if (types.empty() && request.style == FileDialogRequest::kSelectSaveFile)
        add(request.defaultDescription, request.defaultExtension);
    return types;
}

std::wstring folderOf(const std::string& utf8Directory) {
    std::wstring folder = platform::toWideOrEmpty(utf8Directory);
    for (wchar_t& c : folder)
        if (c == L'/') c = L'\\';
    while (folder.size() > 1 && folder.back() == L'\\' && !(folder.size() == 3 && folder[1] == L':')) folder.pop_back();
    return folder;
}

namespace {

// What a dialog answered, shared by the job the frame polls and the call that shows the
// dialog (either may outlive the other, and they may run on different threads).
struct Outcome {
    std::atomic<bool> done{false};
    std::atomic<bool> cancelled{false};
    std::vector<std::string> files;  // written before `done`
    // Where the dialog runs when it is not the GUI thread (see showInApartment).
    std::atomic<DWORD> thread{0};
    IFileDialog* showing = nullptr;  // on the GUI thread only
};

template <typename T>
struct Released {
    T* p = nullptr;
    ~Released() {
        if (p) p->Release();
    }
};

// Shows the dialog on this thread, in the apartment COM has here.
void show(HWND owner, const FileDialogRequest& request, Outcome& outcome, bool sameThread) {
    const bool save = request.style == FileDialogRequest::kSelectSaveFile;
    Released<IFileDialog> dialog;
    HRESULT hr = save ? CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileSaveDialog,
                                         reinterpret_cast<void**>(&dialog.p))
                      : CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                         reinterpret_cast<void**>(&dialog.p));
    if (FAILED(hr) || !dialog.p) return;
    DWORD options = 0;
    dialog.p->GetOptions(&options);
    // Never the process's working directory: it is the host's.
    options |= FOS_FORCEFILESYSTEM | FOS_NOCHANGEDIR;
    if (request.style == FileDialogRequest::kSelectDirectory) options |= FOS_PICKFOLDERS;
    if (save)
        options |= FOS_OVERWRITEPROMPT;
    else
        options |= FOS_FILEMUSTEXIST | FOS_PATHMUSTEXIST;
    dialog.p->SetOptions(options);
    if (!request.title.empty()) dialog.p->SetTitle(platform::toWideOrEmpty(request.title).c_str());
    // The filter strings live until the dialog has ended.
    const auto types = fileTypes(request);
    std::vector<COMDLG_FILTERSPEC> filters;
    for (const auto& t : types) filters.push_back({t.first.c_str(), t.second.c_str()});
    if (!filters.empty()) {
        dialog.p->SetFileTypes(static_cast<UINT>(filters.size()), filters.data());
        dialog.p->SetFileTypeIndex(1);
    }
    if (!request.defaultExtension.empty())
        dialog.p->SetDefaultExtension(platform::toWideOrEmpty(request.defaultExtension).c_str());
    const std::wstring folder = folderOf(request.initialDirectory);
    Released<IShellItem> folderItem;
    if (!folder.empty() && SUCCEEDED(SHCreateItemFromParsingName(folder.c_str(), nullptr, IID_IShellItem,
                                                                 reinterpret_cast<void**>(&folderItem.p))))
        dialog.p->SetFolder(folderItem.p);
    if (save && !request.defaultSaveName.empty())
        dialog.p->SetFileName(platform::toWideOrEmpty(request.defaultSaveName).c_str());

    if (sameThread) outcome.showing = dialog.p;
    hr = dialog.p->Show(IsWindow(owner) ? owner : nullptr);
    if (sameThread) outcome.showing = nullptr;
    Released<IShellItem> result;
    if (SUCCEEDED(hr) && !outcome.cancelled && SUCCEEDED(dialog.p->GetResult(&result.p)) && result.p) {
        PWSTR path = nullptr;
        if (SUCCEEDED(result.p->GetDisplayName(SIGDN_FILESYSPATH, &path)) && path) {
            // A name that is not valid UTF-16 cannot be a file of ours: nothing chosen.
            if (auto chosen = platform::toUtf8(path); chosen && !chosen->empty()) outcome.files.push_back(*chosen);
            CoTaskMemFree(path);
        }
    }
}

struct ApartmentCall {
    HMODULE module;
    HWND owner;
    FileDialogRequest request;
    std::shared_ptr<Outcome> outcome;
};

DWORD WINAPI apartmentThread(void* p) {
    std::unique_ptr<ApartmentCall> call(static_cast<ApartmentCall*>(p));
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (SUCCEEDED(init)) {
        if (!call->outcome->cancelled) show(call->owner, call->request, *call->outcome, false);
        CoUninitialize();
    }
    call->outcome->done = true;
    const HMODULE module = call->module;
    call.reset();
    // The thread holds the module: a host that unloads the plug-in meanwhile waits for it.
    FreeLibraryAndExitThread(module, 0);
}

// A host that made its GUI thread multithreaded (RPC_E_CHANGED_MODE) cannot show the
// dialogs there: they are apartment objects, and a call into another apartment from a
// multithreaded one blocks without running the host's messages. Such a dialog runs in a
// single-threaded apartment of its own thread instead, owned by the editor's window all the
// same; the GUI thread goes on and the frame polls for the answer as ever.
bool showInApartment(HWND owner, const FileDialogRequest& request, const std::shared_ptr<Outcome>& outcome) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&apartmentThread),
                            &module))
        return false;
    auto* call = new ApartmentCall{module, owner, request, outcome};
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, apartmentThread, call, 0, &id);
    if (!thread) {
        delete call;
        FreeLibrary(module);
        return false;
    }
    outcome->thread = id;
    CloseHandle(thread);
    return true;
}

// Cancels a dialog shown on a thread of its own: its windows are told to cancel, as the
// Cancel button would.
void cancelOnThread(DWORD thread) {
    EnumThreadWindows(
        thread,
        [](HWND hwnd, LPARAM) -> BOOL {
            PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            return TRUE;
        },
        0);
}

class DialogJob : public IFileDialogJob {
public:
    explicit DialogJob(std::shared_ptr<Outcome> outcome) : outcome(std::move(outcome)) {}
    bool poll(std::vector<std::string>& files) override {
        if (!outcome->done) return false;
        files = outcome->files;
        return true;
    }
    void cancel() override {
        outcome->cancelled = true;
        if (outcome->showing) outcome->showing->Close(HRESULT_FROM_WIN32(ERROR_CANCELLED));
        if (const DWORD thread = outcome->thread) cancelOnThread(thread);
    }

private:
    std::shared_ptr<Outcome> outcome;
};

class DialogRunner : public IFileDialogRunner {
public:
    IFileDialogJob* start(const FileDialogRequest& request) override {
        const HWND owner = static_cast<HWND>(request.owner);
        auto outcome = std::make_shared<Outcome>();
        const bool posted = post(owner, [owner, request, outcome] {
            if (outcome->cancelled) {
                outcome->done = true;
                return;
            }
            // COM for this call only, given back after it.
            const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
            if (init == RPC_E_CHANGED_MODE && showInApartment(owner, request, outcome)) return;
            if (SUCCEEDED(init)) {
                show(owner, request, *outcome, true);
                CoUninitialize();
            }
            outcome->done = true;
        });
        return posted ? new DialogJob(outcome) : nullptr;
    }
};

}  // namespace

IFileDialogRunner* fileDialogRunner() {
    static DialogRunner runner;
    return &runner;
}

}  // namespace win32
}  // namespace VSTGUI
