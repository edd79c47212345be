// Opening a document on Windows: the shell's own association, through ShellExecuteW. The
// shell answers at once (it starts the viewer and returns), so the outcome is known when
// the opening has been constructed.
#include "../OpenDocument.h"

#include <windows.h>
#include <shellapi.h>

#include "WideText.h"

namespace platform {

DocumentOpening::DocumentOpening(const std::string& document, void* owner) {
    const std::optional<std::wstring> wide = toWidePath(document);
    if (!wide || wide->empty()) {
        outcome_ = OpenDocumentResult::Failed;
        return;
    }
    // Results above 32 are success; 31 is the shell's "no application is associated".
    const INT_PTR result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(static_cast<HWND>(owner), L"open", wide->c_str(), nullptr, nullptr, SW_SHOW));
    if (result > 32)
        outcome_ = OpenDocumentResult::Opened;
    else if (result == SE_ERR_NOASSOC)
        outcome_ = OpenDocumentResult::NoApplication;
    else
        outcome_ = OpenDocumentResult::Failed;
}

DocumentOpening::~DocumentOpening() = default;

std::optional<OpenDocumentResult> DocumentOpening::poll() { return outcome_; }

}  // namespace platform
