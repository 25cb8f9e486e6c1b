// The progress box on Win32: a small owned window with a line of text, a progress bar
// and Cancel, whose keys (Esc, Enter) the dialog manager handles.
#include <windows.h>
#include <commctrl.h>

#include "platform/window/error_handler.h"
#include "platform/window/progress_box.h"
#include "platform/window/win32/controls_win32.h"
#include "platform/window/win32/gui_thread.h"

namespace platform {
namespace {

const char* const BoxClass = "comterm.progress";

class Win32ProgressBox : public ProgressBox {
public:
    Win32ProgressBox(HWND owner, const ByteString& title) {
        RegisterWindowClassOnce(BoxClass, Proc);
        RECT outer{0, 0, 360, 104};
        AdjustWindowRectEx(&outer, WS_POPUP | WS_CAPTION | WS_SYSMENU, FALSE, WS_EX_DLGMODALFRAME);
        box = CreateWindowExA(WS_EX_DLGMODALFRAME, BoxClass, title.c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU,
                              CW_USEDEFAULT, CW_USEDEFAULT, outer.right - outer.left, outer.bottom - outer.top, owner,
                              nullptr, GetModuleHandleA(nullptr), this);
        text = MakeChild(box, "STATIC", "", 0, 0, {12, 10, 336, 20});
        bar = MakeChild(box, PROGRESS_CLASSA, "", 0, 0, {12, 36, 336, 18});
        HWND cancel = MakeChild(box, "BUTTON", "Cancel", WS_TABSTOP | BS_DEFPUSHBUTTON, 0, {268, 66, 80, 26});
        SetWindowLongPtrA(cancel, GWLP_ID, IDCANCEL);  // Esc in the box presses it
        RECT ownerPlace{};
        GetWindowRect(owner, &ownerPlace);
        SetWindowPos(box, nullptr, ownerPlace.left + 80, ownerPlace.top + 120, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        ShowWindow(box, SW_SHOWNORMAL);
        AddModelessDialog(box);
    }
    ~Win32ProgressBox() override {
        RemoveModelessDialog(box);
        SetWindowLongPtrA(box, GWLP_USERDATA, 0);
        DestroyWindow(box);
    }
    void SetText(const ByteString& said) override { SetWindowTextA(text, said.c_str()); }
    ByteString Text() const override { return WindowText(text); }
    void SetPercent(int percent) override { SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(percent), 0); }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
            SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<Win32ProgressBox*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        const bool cancel = (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) || message == WM_CLOSE;
        if (cancel && self) {
            RunGuarded([self] { self->Cancel(); });
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    HWND box = nullptr, text = nullptr, bar = nullptr;
};

}  // namespace

std::unique_ptr<ProgressBox> ShowProgressBox(const Control& owner, const ByteString& title) {
    return std::make_unique<Win32ProgressBox>(GetAncestor(DrawnOf(owner).Handle(), GA_ROOT), title);
}

}  // namespace platform
