// The system's common dialogs: the save dialog, and the find box, which stays open beside
// the window and tells its owner of each find by a registered message.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>

#include <cstring>
#include <stdexcept>

#include "platform/window/error_handler.h"
#include "platform/window/file_dialog.h"
#include "platform/window/find_box.h"
#include "platform/window/win32/controls_win32.h"
#include "platform/window/win32/gui_thread.h"

namespace platform {
namespace {

// Another type chosen: the name in the box takes its extension, and so does a name
// typed without one.
UINT_PTR CALLBACK FollowType(HWND hook, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_NOTIFY) return 0;
    const auto* notify = reinterpret_cast<const OFNOTIFYA*>(lParam);
    if (notify->hdr.code != CDN_TYPECHANGE) return 0;
    const auto* request = reinterpret_cast<const SaveDialogRequest*>(notify->lpOFN->lCustData);
    const int index = static_cast<int>(notify->lpOFN->nFilterIndex) - 1;
    if (index < 0 || static_cast<size_t>(index) >= request->Types.size()) return 0;
    HWND dialog = GetParent(hook);
    char name[MAX_PATH] = {};
    CommDlg_OpenSave_GetSpec(dialog, name, sizeof name);
    const std::string renamed = NameForType(name, request->Types, index);
    CommDlg_OpenSave_SetControlText(dialog, cmb13, renamed.c_str());
    CommDlg_OpenSave_SetControlText(dialog, edt1, renamed.c_str());
    CommDlg_OpenSave_SetDefExt(dialog, request->Types[static_cast<size_t>(index)].Extensions.at(0).c_str());
    return 0;
}

}  // namespace

SaveDialogAnswer AskSaveFile(const SaveDialogRequest& request) {
    std::string filter;  // "Description (*.a;*.b)\0*.a;*.b\0" a type, then one more \0
    for (const FileType& type : request.Types) {
        std::string patterns;
        for (const std::string& extension : type.Extensions) patterns += (patterns.empty() ? "*." : ";*.") + extension;
        filter += type.Description + " (" + patterns + ")" + '\0' + patterns + '\0';
    }
    filter += '\0';
    char file[4096] = {};
    request.Name.copy(file, sizeof file - 1);
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = GetActiveWindow() ? GetActiveWindow() : ApplicationWindow();
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = static_cast<DWORD>(request.TypeIndex + 1);
    dialog.lpstrFile = file;
    dialog.nMaxFile = sizeof file;
    dialog.lpstrInitialDir = request.Folder.empty() ? nullptr : request.Folder.c_str();
    dialog.lpstrTitle = request.Title.c_str();
    dialog.Flags = OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_EXPLORER | OFN_ENABLEHOOK |
                   OFN_ENABLESIZING | (request.AskOverwrite ? OFN_OVERWRITEPROMPT : 0);
    dialog.lpfnHook = FollowType;
    dialog.lCustData = reinterpret_cast<LPARAM>(&request);
    const std::string extension = request.Types.empty() ? "" : request.Types.at(static_cast<size_t>(request.TypeIndex)).Extensions.at(0);
    dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    if (!GetSaveFileNameA(&dialog)) return {};
    return {file, static_cast<int>(dialog.nFilterIndex) - 1};
}

std::string AskOpenFile(const ByteString& title, const std::string& folder) {
    char file[4096] = {};
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = GetActiveWindow() ? GetActiveWindow() : ApplicationWindow();
    dialog.lpstrFilter = "All files (*.*)\0*.*\0";
    dialog.lpstrFile = file;
    dialog.nMaxFile = sizeof file;
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    dialog.lpstrTitle = title.c_str();
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_EXPLORER;
    return GetOpenFileNameA(&dialog) ? file : "";
}

namespace {

UINT FindMessage() {
    static const UINT message = RegisterWindowMessageA(FINDMSGSTRINGA);
    return message;
}

class Win32FindBox : public FindBox {
public:
    explicit Win32FindBox(HWND owner) : owner(owner) {
        SetWindowSubclass(owner, Hear, reinterpret_cast<UINT_PTR>(this), 0);
    }
    ~Win32FindBox() override {
        Close();
        RemoveWindowSubclass(owner, Hear, reinterpret_cast<UINT_PTR>(this));
    }

    void Show(const ByteString& text, bool matchCase) override {
        if (dialog) {
            SetActiveWindow(dialog);
            return;
        }
        std::memset(findWhat, 0, sizeof findWhat);
        text.copy(findWhat, sizeof findWhat - 1);
        find = FINDREPLACEA{};
        find.lStructSize = sizeof find;
        find.hwndOwner = owner;
        find.Flags = FR_DOWN | FR_HIDEWHOLEWORD | (matchCase ? FR_MATCHCASE : 0);
        find.lpstrFindWhat = findWhat;
        find.wFindWhatLen = sizeof findWhat;
        dialog = FindTextA(&find);
        if (!dialog) throw std::runtime_error("The find box could not be opened");
        AddModelessDialog(dialog);
        status.clear();
    }

    void Close() override {
        if (!dialog) return;
        RemoveModelessDialog(dialog);
        DestroyWindow(dialog);
        dialog = nullptr;
    }

    bool Visible() const override { return dialog && IsWindowVisible(dialog); }

    // Said in the box's title, where it does not move the box's own controls.
    void SetStatus(const ByteString& said) override {
        status = said;
        if (dialog) SetWindowTextA(dialog, said.empty() ? "Find" : ("Find - " + said).c_str());
    }
    ByteString Status() const override { return status; }

private:
    static LRESULT CALLBACK Hear(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR) {
        if (message != FindMessage()) return DefSubclassProc(window, message, wParam, lParam);
        auto* box = reinterpret_cast<Win32FindBox*>(id);
        const DWORD flags = reinterpret_cast<FINDREPLACEA*>(lParam)->Flags;
        if (flags & FR_DIALOGTERM) {  // closed by the user: the dialog destroys itself
            RemoveModelessDialog(box->dialog);
            box->dialog = nullptr;
        } else if (flags & FR_FINDNEXT) {
            const FindRequest request{box->findWhat, (flags & FR_MATCHCASE) != 0, (flags & FR_DOWN) != 0};
            RunGuarded([&] { box->Find(request); });
        }
        return 0;
    }

    HWND owner;
    HWND dialog = nullptr;
    FINDREPLACEA find{};
    char findWhat[256] = {};
    ByteString status;
};

}  // namespace

std::unique_ptr<FindBox> MakeFindBox(const Control& owner) {
    return std::make_unique<Win32FindBox>(GetAncestor(DrawnOf(owner).Handle(), GA_ROOT));
}

}  // namespace platform
