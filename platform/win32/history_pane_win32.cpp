// The history pane on the rich edit control: RICHED32.DLL's "RICHEDIT", or RichEdit 2.0
// where that one is missing. Its whole text is the control's own, each line ending in
// CR LF.
#include <windows.h>
#include <richedit.h>

#include <algorithm>
#include <stdexcept>

#include "platform/history_pane.h"
#include "platform/win32/controls_win32.h"

namespace platform {
namespace {

const char* RichEditClass() {
    static const char* windowClass = LoadLibraryA("RICHED32.DLL")   ? "RICHEDIT"
                                     : LoadLibraryA("RICHED20.DLL") ? RICHEDIT_CLASSA
                                                                    : nullptr;
    if (!windowClass) throw std::runtime_error("No rich edit control");
    return windowClass;
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
    }

    ByteString Text() const override { return WindowText(window); }
    int TextLength() const override { return GetWindowTextLengthA(window); }

    uint32_t ColorAt(int position) const override {
        const CHARRANGE kept = Selection();
        Select({position, position + 1});
        CHARFORMATA format{};
        format.cbSize = sizeof format;
        format.dwMask = CFM_COLOR;
        SendMessageA(window, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
        Select(kept);
        return format.crTextColor;
    }

    void SetInsertionPoint(int position) override { Select({position, position}); }
    int InsertionPoint() const override { return Selection().cpMin; }

    void SetSelectionColor(uint32_t color) override {
        CHARFORMATA format{};
        format.cbSize = sizeof format;
        format.dwMask = CFM_COLOR;
        format.crTextColor = color;
        SendMessageA(window, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    }

    // Into the empty last line, else after a new line break; the caret must then stand
    // right after what was inserted.
    void AddLine(const ByteString& line) override {
        const int end = TextLength();
        if (AddedLength(line) > Capacity - end) throw std::runtime_error("RichEdit line insertion error");
        const View view = KeepView();
        const ByteString inserted = EndsWithLineBreak(end) ? line + "\r\n" : "\r\n" + line;
        Select({end, end});
        SendMessageA(window, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(inserted.c_str()));
        const bool whole = Selection().cpMin == end + static_cast<LONG>(inserted.size());
        RestoreView(view, 0);
        if (!whole) throw std::runtime_error("RichEdit line insertion error");
    }

    // The oldest whole lines go; the user's caret moves back with the text it stood in,
    // and the lines in view stay in view where they still exist.
    void MakeRoom(int addedLength, int keepFree) override {
        const LONG end = TextLength();
        const LONG excess = end + addedLength - (Capacity - keepFree);
        if (excess <= 0) return;
        const LONG removed = OldestLinesEnd(excess, end);
        if (onLinesRemoved) onLinesRemoved(TextBetween(0, removed));
        const View view = KeepView();
        const CHARRANGE kept = Selection();
        const int removedRows = static_cast<int>(SendMessageA(window, EM_EXLINEFROMCHAR, 0, removed));
        Select({0, removed});
        SendMessageA(window, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(""));
        Select({std::max<LONG>(kept.cpMin - removed, 0), std::max<LONG>(kept.cpMax - removed, 0)});
        RestoreView(view, removedRows);
    }

    void Clear() override { SetWindowTextA(window, ""); }
    void SetOnTextRemoved(std::function<void()> handler) override { onTextRemoved = std::move(handler); }
    void SetOnLinesRemoved(std::function<void(const ByteString&)> handler) override { onLinesRemoved = std::move(handler); }
    bool TakesEsc() const override { return true; }

    void Command(WORD code) override {
        if (code != EN_CHANGE) return;
        const int length = TextLength();
        if (length < lastLength && onTextRemoved) onTextRemoved();
        lastLength = length;
    }

private:
    CHARRANGE Selection() const {
        CHARRANGE range{};
        SendMessageA(window, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
        return range;
    }
    void Select(CHARRANGE range) const {
        const LONG end = TextLength();
        range.cpMin = std::min(range.cpMin, end);
        range.cpMax = std::min(range.cpMax, end);
        SendMessageA(window, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    }
    ByteString TextBetween(LONG from, LONG to) const {
        ByteString text(static_cast<size_t>(to - from) + 1, '\0');
        TEXTRANGEA range{{from, to}, text.data()};
        text.resize(static_cast<size_t>(SendMessageA(window, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range))));
        return text;
    }
    // Empty, or its last line empty; read from the last two characters alone.
    bool EndsWithLineBreak(LONG end) const { return end < 2 ? end == 0 : TextBetween(end - 2, end) == "\r\n"; }
    // Where the fewest oldest whole lines that free `excess` characters end: after the
    // first line break that ends at or past it, read a little at a time from there, so
    // the cost follows the removed text. Never the last line alone: then all of it.
    LONG OldestLinesEnd(LONG excess, LONG end) const {
        constexpr LONG Step = 4096;
        for (LONG from = std::max<LONG>(excess - 2, 0); from + 1 < end; from += Step - 1) {
            const size_t at = TextBetween(from, std::min(from + Step, end)).find("\r\n");
            if (at != ByteString::npos) return std::min(from + static_cast<LONG>(at) + 2, end);
        }
        return end;
    }

    // Where the reader is: following the newest line, or reading from this row.
    struct View {
        bool following;
        int firstRow;
    };
    View KeepView() const {
        SCROLLINFO bar{};
        bar.cbSize = sizeof bar;
        bar.fMask = SIF_ALL;
        const bool hasBar = GetScrollInfo(window, SB_VERT, &bar);
        const bool following = !hasBar || bar.nPos + static_cast<int>(bar.nPage) > bar.nMax;
        return {following, static_cast<int>(SendMessageA(window, EM_GETFIRSTVISIBLELINE, 0, 0))};
    }
    void RestoreView(const View& view, int rowsRemoved) {
        if (view.following) {
            SendMessageA(window, WM_VSCROLL, SB_BOTTOM, 0);
            return;
        }
        const int now = static_cast<int>(SendMessageA(window, EM_GETFIRSTVISIBLELINE, 0, 0));
        SendMessageA(window, EM_LINESCROLL, 0, std::max(view.firstRow - rowsRemoved, 0) - now);
    }

    std::function<void()> onTextRemoved;
    std::function<void(const ByteString&)> onLinesRemoved;
    int lastLength = 0;
};

}  // namespace

std::unique_ptr<Control> MakeWin32HistoryPane(HWND parent, const ControlEntry& entry) {
    HWND window = CreateWindowExA(WS_EX_CLIENTEDGE, RichEditClass(), "",
                                  WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL,
                                  entry.Place.Left, entry.Place.Top, entry.Place.Width, entry.Place.Height, parent, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    return std::make_unique<Win32HistoryPane>(window);
}

}  // namespace platform
