#include "platform/window/win32/controls_win32.h"

#include <commctrl.h>

#include <memory>
#include <stdexcept>

#include "platform/window/error_handler.h"

namespace platform {
namespace {

HFONT WindowFont() {
    // The 8-point system font of the window, 11 pixels high.
    static HFONT font = MakeFont("MS Sans Serif", 11, DEFAULT_CHARSET, DEFAULT_PITCH | FF_SWISS);
    return font;
}

class Win32Label : public Win32Control<Label> {
public:
    using Win32Control::Win32Control;
    ByteString Caption() const override { return WindowText(window); }
};

// A control's tooltip, which asks for its text each time it is about to show.
class TooltipHint {
public:
    void Set(HWND control, std::function<ByteString()> provider);
    ByteString Text() const { return hint ? hint() : ByteString(); }
    bool Notify(NMHDR* header);

private:
    std::function<ByteString()> hint;
    ByteString shownHint;  // the tooltip reads it after the notification returns
    HWND tooltip = nullptr;
};

// Sees WM_CHAR before the edit: the key handler may swallow the key.
class Win32Edit : public Win32Control<Edit> {
public:
    explicit Win32Edit(HWND window) : Win32Control(window) {
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        editProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(KeyProc)));
    }
    ByteString Text() const override { return WindowText(window); }
    void SetText(const ByteString& text) override { SetWindowTextA(window, text.c_str()); }
    void SetOnKeyPress(std::function<void(char& key)> handler) override { onKeyPress = std::move(handler); }
    void SetHint(std::function<ByteString()> provider) override { hint.Set(window, std::move(provider)); }
    ByteString Hint() const override { return hint.Text(); }
    bool Notify(NMHDR* header, LRESULT&) override { return hint.Notify(header); }
    void SetOnRecallKey(std::function<void(bool older)> handler) override { onRecallKey = std::move(handler); }

    bool TakeShortcut(const Shortcut& pressed) override {
        const MenuCommand* command = CommandForShortcut(ContextCommands(), pressed);
        if (!command) return false;
        const std::function<void()> run = command->Run;
        RunGuarded(run);
        return true;
    }

    bool TakeKeyDown(WPARAM key) override {
        if ((key != VK_UP && key != VK_DOWN) || !onRecallKey) return false;
        onRecallKey(key == VK_UP);
        return true;
    }

private:
    enum MenuId : UINT { UndoId = 1, CutId, CopyId, PasteId, DeleteId, SelectAllId };

    // The edit's own items built anew, since its built-in menu cannot take more.
    void ShowMenu(LPARAM where) {
        DWORD from = 0, to = 0;
        SendMessageA(window, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
        POINT at{static_cast<short>(LOWORD(where)), static_cast<short>(HIWORD(where))};
        if (where == -1) at = MenuPointAtCaret(window, static_cast<int>(to));
        const bool selected = from != to, canPaste = IsClipboardFormatAvailable(CF_TEXT);
        const UINT chosen = TrackCommandsMenu(window, at,
                                              {{"&Undo", SendMessageA(window, EM_CANUNDO, 0, 0) != 0, UndoId},
                                               {"Cu&t", selected, CutId},
                                               {"&Copy", selected, CopyId},
                                               {"&Paste", canPaste, PasteId},
                                               {"&Delete", selected, DeleteId},
                                               {"Select &All", GetWindowTextLengthA(window) > 0, SelectAllId}},
                                              ContextCommands());
        static const UINT messages[] = {0, WM_UNDO, WM_CUT, WM_COPY, WM_PASTE, WM_CLEAR};
        if (chosen >= UndoId && chosen <= DeleteId) SendMessageA(window, messages[chosen], 0, 0);
        if (chosen == SelectAllId) SendMessageA(window, EM_SETSEL, 0, -1);
    }

    static LRESULT CALLBACK KeyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<Win32Edit*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (message == WM_CONTEXTMENU) {
            RunGuarded([&] { self->ShowMenu(lParam); });
            return 0;
        }
        if (message == WM_CHAR && self->onKeyPress) {
            char key = static_cast<char>(wParam);
            RunGuarded([&] { self->onKeyPress(key); });
            if (key == 0) return 0;
            wParam = static_cast<unsigned char>(key);
        }
        return CallWindowProcA(self->editProc, window, message, wParam, lParam);
    }

    WNDPROC editProc;
    std::function<void(char&)> onKeyPress;
    std::function<void(bool)> onRecallKey;
    TooltipHint hint;
};

void TooltipHint::Set(HWND window, std::function<ByteString()> provider) {
    hint = std::move(provider);
    if (tooltip) return;
    tooltip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, GetParent(window), nullptr, nullptr, nullptr);
    SendMessageA(tooltip, TTM_SETMAXTIPWIDTH, 0, 600);
    // The size every common controls version takes: the newest size is refused by the
    // old version that a program without a manifest gets.
    TOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = GetParent(window);
    tool.uId = reinterpret_cast<UINT_PTR>(window);
    tool.lpszText = LPSTR_TEXTCALLBACKA;
    if (!SendMessageA(tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool)))
        throw std::runtime_error("A control's tooltip was refused");
}

bool TooltipHint::Notify(NMHDR* header) {
    if (header->code != TTN_GETDISPINFOA) return false;
    shownHint = Text();
    reinterpret_cast<NMTTDISPINFOA*>(header)->lpszText = const_cast<char*>(shownHint.c_str());
    return true;
}

class Win32DropDownList : public Win32Control<DropDownList> {
public:
    Win32DropDownList(HWND window, const ControlEntry& entry) : Win32Control(window) {
        // The closed box is the entry's height: its selection field inside a 3-pixel frame.
        SendMessageA(window, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), entry.Place.Height - 6);
        for (const ByteString& item : entry.Items) SendMessageA(window, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
        SetItemIndex(entry.ItemIndex);
    }
    std::vector<ByteString> Items() const override {
        std::vector<ByteString> items;
        const int count = static_cast<int>(SendMessageA(window, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) items.push_back(ItemText(i));
        return items;
    }
    int ItemIndex() const override { return static_cast<int>(SendMessageA(window, CB_GETCURSEL, 0, 0)); }
    void SetItemIndex(int index) override { SendMessageA(window, CB_SETCURSEL, static_cast<WPARAM>(index), 0); }
    ByteString Text() const override { return ItemIndex() < 0 ? ByteString() : ItemText(ItemIndex()); }
    bool DroppedDown() const override { return SendMessageA(window, CB_GETDROPPEDSTATE, 0, 0) != 0; }
    void SetDroppedDown(bool dropped) override { SendMessageA(window, CB_SHOWDROPDOWN, dropped, 0); }
    bool TakesEsc() const override { return DroppedDown(); }
    void SetHint(std::function<ByteString()> provider) override { hint.Set(window, std::move(provider)); }
    ByteString Hint() const override { return hint.Text(); }
    bool Notify(NMHDR* header, LRESULT&) override { return hint.Notify(header); }

private:
    TooltipHint hint;
    ByteString ItemText(int index) const {
        const auto length = SendMessageA(window, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
        ByteString text(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, '\0');
        SendMessageA(window, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&text[0]));
        text.resize(static_cast<size_t>(std::max<LRESULT>(length, 0)));
        return text;
    }
};

class Win32Button : public Win32Control<Button> {
public:
    using Win32Control::Win32Control;
    ByteString Caption() const override { return WindowText(window); }
    void SetCaption(const ByteString& caption) override { SetWindowTextA(window, caption.c_str()); }
    void SetOnClick(std::function<void()> handler) override { onClick = std::move(handler); }
    void Click() override {
        auto handler = onClick;  // the handler may replace itself
        if (handler) RunGuarded(handler);
    }
    void Command(WORD code) override {
        if (code == BN_CLICKED) Click();
    }

private:
    std::function<void()> onClick;
};

// A group box with its radio buttons beside it as siblings, in columns inside its frame.
class Win32RadioGroup : public Win32Control<RadioGroup> {
public:
    Win32RadioGroup(HWND parent, HWND frame, const ControlEntry& entry) : Win32Control(frame) {
        for (size_t index = 0; index < entry.Items.size(); ++index) {
            Bounds place = RadioItemPlace(entry, static_cast<int>(index));
            place.Left += entry.Place.Left;  // siblings of the frame, placed in the window
            place.Top += entry.Place.Top;
            radios.push_back(MakeChild(parent, "BUTTON", entry.Items[index],
                                       BS_AUTORADIOBUTTON | (index == 0 ? WS_GROUP : 0), 0, place));
        }
        SetItemIndex(entry.ItemIndex);
    }
    ByteString Caption() const override { return WindowText(window); }
    std::vector<ByteString> Items() const override {
        std::vector<ByteString> items;
        for (HWND radio : radios) items.push_back(WindowText(radio));
        return items;
    }
    int ItemIndex() const override {
        for (size_t i = 0; i < radios.size(); ++i)
            if (SendMessageA(radios[i], BM_GETCHECK, 0, 0) == BST_CHECKED) return static_cast<int>(i);
        return -1;
    }
    void SetItemIndex(int index) override {
        for (size_t i = 0; i < radios.size(); ++i)
            SendMessageA(radios[i], BM_SETCHECK, static_cast<int>(i) == index ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    HWND FocusHandle() const override {
        const int index = ItemIndex();
        return radios.empty() ? window : radios[static_cast<size_t>(std::max(index, 0))];
    }
    bool Focused() const override {
        for (HWND radio : radios)
            if (GetFocus() == radio) return true;
        return false;
    }
    std::vector<HWND> Parts() const override { return radios; }

private:
    std::vector<HWND> radios;
};

class Win32CheckBox : public Win32Control<CheckBox> {
public:
    using Win32Control::Win32Control;
    ByteString Caption() const override { return WindowText(window); }
    bool Checked() const override { return SendMessageA(window, BM_GETCHECK, 0, 0) == BST_CHECKED; }
    void SetChecked(bool checked) override { SendMessageA(window, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0); }
};

}  // namespace

Win32Drawn& DrawnOf(const Control& control) { return dynamic_cast<Win32Drawn&>(const_cast<Control&>(control)); }

void RegisterWindowClassOnce(const char* name, WNDPROC procedure) {
    WNDCLASSA existing{};
    if (GetClassInfoA(GetModuleHandleA(nullptr), name, &existing)) return;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = name;
    RegisterClassA(&windowClass);
}

HWND MakeChild(HWND parent, const char* windowClass, const ByteString& text, DWORD style, DWORD exStyle,
               const Bounds& place) {
    HWND child = CreateWindowExA(exStyle, windowClass, text.c_str(), WS_CHILD | WS_VISIBLE | style, place.Left, place.Top,
                                 place.Width, place.Height, parent, nullptr, GetModuleHandleA(nullptr), nullptr);
    SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(WindowFont()), FALSE);
    return child;
}

HFONT MakeFont(const char* face, int pixelHeight, BYTE charset, BYTE pitchAndFamily) {
    return CreateFontA(-pixelHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, charset, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, pitchAndFamily, face);
}

ByteString WindowText(HWND window) {
    ByteString text(static_cast<size_t>(GetWindowTextLengthA(window)) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(window, &text[0], static_cast<int>(text.size()))));
    return text;
}

std::unique_ptr<Control> MakeWin32Control(HWND parent, const ControlEntry& entry) {
    const Bounds& place = entry.Place;
    switch (entry.Kind) {
        case ControlKind::Label:
            return std::make_unique<Win32Label>(
                MakeChild(parent, "STATIC", entry.Caption, SS_LEFTNOWORDWRAP | SS_CENTERIMAGE, 0, place));
        case ControlKind::Edit:
            return std::make_unique<Win32Edit>(
                MakeChild(parent, "EDIT", entry.Text, WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, place));
        case ControlKind::DropDownList: {
            // A combo box's height includes its list when dropped down.
            Bounds withList = place;
            withList.Height += ListHeight;
            return std::make_unique<Win32DropDownList>(
                MakeChild(parent, "COMBOBOX", "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0, withList), entry);
        }
        case ControlKind::Button:
            return std::make_unique<Win32Button>(MakeChild(parent, "BUTTON", entry.Caption, WS_TABSTOP | BS_PUSHBUTTON, 0, place));
        case ControlKind::RadioGroup:
            return std::make_unique<Win32RadioGroup>(
                parent, MakeChild(parent, "BUTTON", entry.Caption, BS_GROUPBOX, 0, place), entry);
        case ControlKind::CheckBox:
            return std::make_unique<Win32CheckBox>(
                MakeChild(parent, "BUTTON", entry.Caption, WS_TABSTOP | BS_AUTOCHECKBOX, 0, place));
        case ControlKind::HistoryPane:
            break;
    }
    return MakeWin32HistoryPane(parent, entry);
}

}  // namespace platform
