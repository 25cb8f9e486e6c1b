// The history pane on the rich edit control of RICHED32.DLL, "RICHEDIT". Its whole text
// is the control's own, each line ending in CR LF, as the pane's positions count.
#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <stdexcept>

#include "platform/window/error_handler.h"
#include "platform/window/history_pane.h"
#include "platform/window/win32/controls_win32.h"

namespace platform {
namespace {

// Later rich edit versions store a line end as one CR, which the pane's positions and
// its insertion check do not allow: without this one comterm does not start.
const char* RichEditClass() {
    static const bool loaded = LoadLibraryA("RICHED32.DLL") != nullptr;
    if (!loaded) throw std::runtime_error("RICHED32.DLL could not be loaded: comterm needs its rich edit control");
    return "RICHEDIT";
}

HFONT TerminalFont() {
    static HFONT font = MakeFont("Terminal", 12, OEM_CHARSET, FIXED_PITCH | FF_MODERN);
    return font;
}

class Win32HistoryPane : public Win32Control<HistoryPane> {
public:
    explicit Win32HistoryPane(HWND window) : Win32Control(window) {
        SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(TerminalFont()), FALSE);
        // The same capacity on every platform; the control's own default differs by version.
        SendMessageA(window, EM_EXLIMITTEXT, 0, Capacity);
        SendMessageA(window, EM_SETEVENTMASK, 0, ENM_CHANGE);
        SendMessageA(window, EM_SETUNDOLIMIT, 0, 0);
        SetWindowSubclass(window, HearMenuKeys, 0, reinterpret_cast<DWORD_PTR>(this));
    }
    ~Win32HistoryPane() override { RemoveWindowSubclass(window, HearMenuKeys, 0); }

    ByteString Text() const override { return WindowText(window); }
    int TextLength() const override { return GetWindowTextLengthA(window); }

    uint32_t ColorAt(int position) const override {
        const View view = ReaderView();
        Select(position, position + 1);
        CHARFORMATA format{};
        format.cbSize = sizeof format;
        format.dwMask = CFM_COLOR;
        SendMessageA(window, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
        Show(view);
        return format.crTextColor;
    }

    View ReaderView() const override {
        const LRESULT firstRow = SendMessageA(window, EM_GETFIRSTVISIBLELINE, 0, 0);
        const int top = static_cast<int>(SendMessageA(window, EM_LINEINDEX, firstRow, 0));
        CHARRANGE selection{};
        SendMessageA(window, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
        return {EndInView(), top, selection.cpMin, selection.cpMax};
    }

    void SetReaderView(const View& view) override { Show(view); }

    void Clear() override {
        SetWindowTextA(window, "");
        InvalidateRect(window, nullptr, TRUE);  // the hint shows again
    }
    void SetPlaceholder(const ByteString& hint) override {
        placeholder = hint;
        InvalidateRect(window, nullptr, TRUE);
    }
    ByteString Placeholder() const override { return placeholder; }
    bool TakesEsc() const override { return true; }

    void SelectAndShow(int from, int to) override {
        Select(from, to);
        SendMessageA(window, EM_SCROLLCARET, 0, 0);
    }

    bool TakeShortcut(const Shortcut& pressed) override {
        for (const MenuCommand& command : ContextCommands())
            if (!command.Keys.empty() && ParseShortcut(command.Keys) == pressed) {
                command.Run();
                return true;
            }
        return false;
    }

    void Command(WORD code) override {
        if (code != EN_CHANGE) return;
        const int length = TextLength();
        if (length < lastLength) TextRemoved();
        if ((length == 0) != (lastLength == 0)) InvalidateRect(window, nullptr, TRUE);  // the hint comes or goes
        lastLength = length;
    }

protected:
    void ContextCommandsChanged() override {}

    // After the first line break that ends at or past the position, read a little at a
    // time from there, so the cost follows the removed text.
    int NextLineStart(int position) const override {
        if (position <= 0) return 0;
        constexpr int Step = 4096;
        const int end = TextLength();
        for (int from = std::max(position - 2, 0); from + 1 < end; from += Step - 1) {
            const size_t at = TextBetween(from, std::min(from + Step, end)).find("\r\n");
            if (at != ByteString::npos) return std::min(from + static_cast<int>(at) + 2, end);
        }
        return end;
    }

    ByteString TextBetween(int from, int to) const override {
        ByteString text(static_cast<size_t>(std::max(to - from, 0)) + 1, '\0');
        TEXTRANGEA range{{from, to}, text.data()};
        text.resize(static_cast<size_t>(SendMessageA(window, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range))));
        return text;
    }

    // The removal and the insertion each tell the window of their change, so a removal
    // is heard even when more comes in than went. The lines go in as one insertion.
    void ReplaceOldest(int end, Lines first, Lines last, uint32_t color) override {
        if (TextLength() == 0) InvalidateRect(window, nullptr, TRUE);  // the hint goes: the edit repaints only its lines
        if (end > 0) {
            Select(0, end);
            SendMessageA(window, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(""));
        }
        const int length = TextLength();
        Select(length, length);
        CHARFORMATA format{};
        format.cbSize = sizeof format;
        format.dwMask = CFM_COLOR;
        format.crTextColor = color;
        SendMessageA(window, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
        const bool intoEmptyLastLine = length < 2 ? length == 0 : TextBetween(length - 2, length) == "\r\n";
        ByteString inserted;
        for (Lines line = first; line != last; ++line)
            inserted += intoEmptyLastLine ? *line + "\r\n" : "\r\n" + *line;
        SendMessageA(window, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(inserted.c_str()));
    }

private:
    ByteString placeholder;
    bool swallowUndoChar = false;
    enum MenuId : UINT { CopyId = 1, SelectAllId };

    // The rich edit has no menu of its own: right click, Shift+F10 and the Menu key show
    // this one, its copy and select all first.
    static LRESULT CALLBACK HearMenuKeys(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR self) {
        auto* pane = reinterpret_cast<Win32HistoryPane*>(self);
        const bool shift = GetKeyState(VK_SHIFT) < 0;
        if (message == WM_RBUTTONUP) {
            POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            ClientToScreen(window, &at);
            RunGuarded([&] { pane->ShowMenu(at); });
            return 0;
        }
        const bool menuKey = (message == WM_KEYDOWN && wParam == VK_APPS) ||
                             ((message == WM_SYSKEYDOWN || message == WM_KEYDOWN) && wParam == VK_F10 && shift) ||
                             message == WM_CONTEXTMENU;
        if (menuKey) {
            RunGuarded([&] { pane->ShowMenu(pane->CaretOnScreen()); });
            return 0;
        }
        const bool ctrlOnly = GetKeyState(VK_CONTROL) < 0 && !shift && GetKeyState(VK_MENU) >= 0;
        if (message == WM_KEYDOWN && wParam == 'Z' && ctrlOnly) {
            bool taken = false;
            RunGuarded([&] { taken = pane->UndoKey(); });
            if (taken) {
                pane->swallowUndoChar = true;
                return 0;
            }
        }
        if (message == WM_CHAR && wParam == 0x1A && pane->swallowUndoChar) {  // the Ctrl+Z the key above took
            pane->swallowUndoChar = false;
            return 0;
        }
        if (message == WM_PAINT) {
            const LRESULT painted = DefSubclassProc(window, message, wParam, lParam);
            pane->DrawPlaceholder();
            return painted;
        }
        return DefSubclassProc(window, message, wParam, lParam);
    }

    // Over the empty pane, in the system's grey, drawn rather than put in the text.
    void DrawPlaceholder() const {
        if (placeholder.empty() || GetWindowTextLengthA(window) > 0) return;
        HDC dc = GetDC(window);
        RECT area{};
        GetClientRect(window, &area);
        InflateRect(&area, -4, -2);
        const HGDIOBJ previousFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0)));
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
        SetBkMode(dc, TRANSPARENT);
        DrawTextA(dc, placeholder.c_str(), static_cast<int>(placeholder.size()), &area, DT_WORDBREAK | DT_NOPREFIX);
        SelectObject(dc, previousFont);
        ReleaseDC(window, dc);
    }

    POINT CaretOnScreen() const {
        CHARRANGE selection{};
        SendMessageA(window, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
        POINTL caret{};
        SendMessageA(window, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&caret), selection.cpMax);
        POINT at{caret.x, caret.y + 12};
        ClientToScreen(window, &at);
        return at;
    }

    void ShowMenu(POINT at) {
        CHARRANGE selection{};
        SendMessageA(window, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
        const UINT chosen = TrackCommandsMenu(
            window, at, {{"&Copy\tCtrl+C", selection.cpMin != selection.cpMax, CopyId}, {"Select &All", true, SelectAllId}},
            ContextCommands());
        if (chosen == CopyId) SendMessageA(window, WM_COPY, 0, 0);
        if (chosen == SelectAllId) Select(0, TextLength());
    }

    // The newest line is in view when the end of the text is.
    bool EndInView() const {
        POINTL end{};
        SendMessageA(window, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&end), TextLength());
        RECT shown{};
        SendMessageA(window, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&shown));
        return end.y < shown.bottom;
    }

    // Selecting scrolls the caret into view, so the view is set after the selection.
    void Show(const View& view) const {
        Select(view.anchor, view.caret);
        if (view.followingNewest) {
            SendMessageA(window, WM_VSCROLL, SB_BOTTOM, 0);
            return;
        }
        // A scroll by rows moves by the default font's row height on some rich edits, not
        // the pane's: scroll again by what is left until the row is on top.
        const LRESULT row = SendMessageA(window, EM_EXLINEFROMCHAR, 0, std::min(view.top, TextLength()));
        for (int tries = 0; tries < 8; ++tries) {
            const LRESULT now = SendMessageA(window, EM_GETFIRSTVISIBLELINE, 0, 0);
            if (now == row) break;
            SendMessageA(window, EM_LINESCROLL, 0, row - now);
            if (SendMessageA(window, EM_GETFIRSTVISIBLELINE, 0, 0) == now) break;  // as far as it goes
        }
    }

    void Select(int anchor, int caret) const {
        const int end = TextLength();
        CHARRANGE range{std::clamp(anchor, 0, end), std::clamp(caret, 0, end)};
        SendMessageA(window, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    }

    int lastLength = 0;
};

}  // namespace

std::unique_ptr<Control> MakeWin32HistoryPane(HWND parent, const ControlEntry& entry) {
    HWND window = CreateWindowExA(WS_EX_CLIENTEDGE, RichEditClass(), "",
                                  WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
                                      ES_NOHIDESEL,  // a match found stays shown while the find box has the focus
                                  entry.Place.Left, entry.Place.Top, entry.Place.Width, entry.Place.Height, parent, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    return std::make_unique<Win32HistoryPane>(window);
}

}  // namespace platform
