// Answers the message boxes of this thread: a timer of the GUI thread finds each box
// window, reads its text, caption, icon and buttons, and presses OK.
#include <windows.h>

#include <cstdlib>
#include <filesystem>

#include "platform/window/win32/gui_thread.h"
#include "tests/box_watcher.h"

namespace {

HWND OpenBox() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), [](HWND window, LPARAM result) -> BOOL {
        char windowClass[16] = {};
        GetClassNameA(window, windowClass, sizeof windowClass);
        if (std::string(windowClass) != "#32770" || !IsWindowVisible(window)) return TRUE;
        *reinterpret_cast<HWND*>(result) = window;
        return FALSE;
    }, reinterpret_cast<LPARAM>(&found));
    return found;
}

std::string TextOf(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// The box's message is its static text control; its icon a static icon control.
ShownBox Read(HWND box) {
    ShownBox shown{"", TextOf(box), false, 0};
    HWND owner = GetWindow(box, GW_OWNER);
    shown.windowBlocked = owner && IsWindowVisible(owner) && !IsWindowEnabled(owner);
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char windowClass[16] = {};
        GetClassNameA(child, windowClass, sizeof windowClass);
        const std::string kind = windowClass;
        if (kind == "Button") ++shown.buttons;
        if (kind != "Static") continue;
        if (GetWindowLongPtrA(child, GWL_STYLE) & SS_ICON)
            shown.stopIcon |= IsWindowVisible(child) && SendMessageA(child, STM_GETICON, 0, 0) != 0;
        else if (shown.text.empty())
            shown.text = TextOf(child);
    }
    return shown;
}

}  // namespace

struct BoxWatcher::Poll {
    Poll(BoxWatcher& watcher, int keepOpenMs) : watcher(watcher), keepOpenMs(keepOpenMs) {
        timer = platform::StartGuiTimer(5, [this] { Answer(); });
    }
    ~Poll() { platform::StopGuiTimer(timer); }

    void Answer() {
        HWND box = OpenBox();
        if (!box || box == answered) return;
        if (box != current) {
            current = box;
            openedAt = GetTickCount();
            watcher.boxes.push_back(Read(box));
        }
        if (GetTickCount() - openedAt >= static_cast<DWORD>(keepOpenMs)) {
            current = nullptr;
            answered = box;  // until it has closed
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
    }

    BoxWatcher& watcher;
    int keepOpenMs;
    UINT_PTR timer;
    HWND current = nullptr;
    HWND answered = nullptr;
    DWORD openedAt = 0;
};

BoxWatcher::BoxWatcher(int keepOpenMs) : poll(std::make_unique<Poll>(*this, keepOpenMs)) {}

BoxWatcher::~BoxWatcher() = default;

bool BoxWatcher::BoxOpen() const { return OpenBox() != nullptr; }

// Kept choices go to a folder of the run's own, never the user's, gone when it ends.
void PrepareTestEnvironment() {
    static const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("comterm-test-config-" + std::to_string(GetCurrentProcessId()));
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    SetEnvironmentVariableA("APPDATA", folder.string().c_str());
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    });
}
