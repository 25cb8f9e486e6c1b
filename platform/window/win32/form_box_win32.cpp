// The form box on Win32: a small owned window of labelled fields, OK and Cancel, whose
// keys (Tab, Enter, Esc) the dialog manager handles.
#include <windows.h>

#include "platform/window/error_handler.h"
#include "platform/window/form_box.h"
#include "platform/window/win32/controls_win32.h"
#include "platform/window/win32/gui_thread.h"

namespace platform {
namespace {

const char* const BoxClass = "comterm.form";
constexpr int Width = 320, RowHeight = 28, LabelWidth = 110, Margin = 12;

class Win32FormBox : public FormBox {
public:
    Win32FormBox(HWND owner, const ByteString& title, const std::vector<FormField>& fields) {
        RegisterWindowClassOnce(BoxClass, Proc);
        const int height = Margin + RowHeight * static_cast<int>(fields.size()) + 44 + 34;
        RECT outer{0, 0, Width, height};
        AdjustWindowRectEx(&outer, WS_POPUP | WS_CAPTION | WS_SYSMENU, FALSE, WS_EX_DLGMODALFRAME);
        box = CreateWindowExA(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, BoxClass, title.c_str(),
                              WS_POPUP | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT,
                              outer.right - outer.left, outer.bottom - outer.top, owner, nullptr,
                              GetModuleHandleA(nullptr), this);
        int top = Margin;
        for (const FormField& field : fields) {
            inputs.push_back(MakeField(field, top));
            top += RowHeight;
        }
        status = MakeChild(box, "STATIC", "", 0, 0, {Margin, top + 4, Width - 2 * Margin, 36});
        HWND ok = MakeChild(box, "BUTTON", "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 0, {Width - 184, height - 36, 80, 26});
        HWND cancel = MakeChild(box, "BUTTON", "Cancel", WS_TABSTOP, 0, {Width - 92, height - 36, 80, 26});
        SetWindowLongPtrA(ok, GWLP_ID, IDOK);  // Enter in the box presses it
        SetWindowLongPtrA(cancel, GWLP_ID, IDCANCEL);  // and Esc this one
        std::vector<ByteString> values;
        for (const FormField& field : fields) values.push_back(field.Value);
        SetValues(values);
        RECT ownerPlace{};
        GetWindowRect(owner, &ownerPlace);
        SetWindowPos(box, nullptr, ownerPlace.left + 60, ownerPlace.top + 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        ShowWindow(box, SW_SHOWNORMAL);
        if (!inputs.empty()) ::SetFocus(inputs.front().window);
        AddModelessDialog(box);
    }
    ~Win32FormBox() override {
        RemoveModelessDialog(box);
        SetWindowLongPtrA(box, GWLP_USERDATA, 0);
        DestroyWindow(box);
    }

    std::vector<ByteString> Values() const override {
        std::vector<ByteString> values;
        for (const Input& input : inputs)
            values.push_back(input.check ? (SendMessageA(input.window, BM_GETCHECK, 0, 0) == BST_CHECKED ? "1" : "0")
                                         : WindowText(input.window));
        return values;
    }
    void SetValues(const std::vector<ByteString>& values) override {
        for (size_t i = 0; i < inputs.size() && i < values.size(); ++i) {
            const Input& input = inputs[i];
            if (input.check) {
                SendMessageA(input.window, BM_SETCHECK, values[i] == "1" ? BST_CHECKED : BST_UNCHECKED, 0);
                continue;
            }
            if (input.line) {
                SetWindowTextA(input.window, values[i].c_str());
                continue;
            }
            const LRESULT index = SendMessageA(input.window, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                               reinterpret_cast<LPARAM>(values[i].c_str()));
            if (index != CB_ERR) SendMessageA(input.window, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
            if (input.editable) SetWindowTextA(input.window, values[i].c_str());
        }
    }
    void SetStatus(const ByteString& text) override { SetWindowTextA(status, text.c_str()); }
    ByteString Status() const override { return WindowText(status); }
    bool Visible() const override { return IsWindowVisible(box) != 0; }
    void Close() override { ShowWindow(box, SW_HIDE); }

private:
    struct Input {
        HWND window;
        bool check, editable;
        bool line = false;  // a line of text, not a list
    };

    Input MakeField(const FormField& field, int top) {
        if (field.Type == FormField::Kind::Check) {
            HWND check = MakeChild(box, "BUTTON", field.Label, WS_TABSTOP | BS_AUTOCHECKBOX, 0,
                                   {Margin, top, Width - 2 * Margin, 22});
            return {check, true, false};
        }
        MakeChild(box, "STATIC", field.Label, SS_LEFT, 0, {Margin, top + 3, LabelWidth, 20});
        if (field.Type == FormField::Kind::Text) {
            HWND line = MakeChild(box, "EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE,
                                  {Margin + LabelWidth, top, Width - 2 * Margin - LabelWidth, 22});
            return {line, false, true, true};
        }
        const bool editable = field.Type == FormField::Kind::EditableList;
        HWND list = MakeChild(box, "COMBOBOX", "", WS_TABSTOP | WS_VSCROLL | (editable ? CBS_DROPDOWN : CBS_DROPDOWNLIST),
                              0, {Margin + LabelWidth, top, Width - 2 * Margin - LabelWidth, ListHeight});
        for (const ByteString& item : field.Items)
            SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
        return {list, false, editable};
    }

    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
            SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<Win32FormBox*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (self && message == WM_COMMAND && LOWORD(wParam) == IDOK) {
            RunGuarded([self] { self->Accept(); });
            return 0;
        }
        if (self && ((message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) || message == WM_CLOSE)) {
            self->Close();
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    HWND box = nullptr, status = nullptr;
    std::vector<Input> inputs;
};

}  // namespace

std::unique_ptr<FormBox> ShowFormBox(const Control& owner, const ByteString& title, const std::vector<FormField>& fields) {
    return std::make_unique<Win32FormBox>(GetAncestor(DrawnOf(owner).Handle(), GA_ROOT), title, fields);
}

}  // namespace platform
