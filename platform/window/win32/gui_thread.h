#pragma once
// The GUI thread's hidden message-only window: calls posted from any thread, and the
// timers of PeriodicTimer. Both run from whatever message loop is running, a box's too.
#include <windows.h>

#include <functional>

namespace platform {

HWND GuiThreadWindow();

// The application's hidden window, the one the task bar shows: it owns the program's
// windows and its boxes. Null before the application is made.
HWND ApplicationWindow();  // made on first use, which must be on the GUI thread

// Runs `call` later on the GUI thread, guarded.
void PostToGuiThread(std::function<void()> call);

// A timer on the GUI thread's window; 0 when the platform refuses one.
UINT_PTR StartGuiTimer(int milliseconds, std::function<void()> tick);
void StopGuiTimer(UINT_PTR id);

// Takes the key messages the window service handles itself (Tab, Esc); true when it did.
bool PreTranslateKey(MSG& message);

// A modeless dialog's keys (Tab, Enter, Esc) go to it while it is open.
void AddModelessDialog(HWND dialog);
void RemoveModelessDialog(HWND dialog);

// While one lives, a popup menu of ours is open.
struct MenuShown {
    MenuShown();
    ~MenuShown();
};

// Whether a control may take the focus now: not while a menu of ours or one of our
// modeless dialogs is in use, as moving the focus would close the one and take the
// keyboard from the other.
bool FocusMayMove();

// One message of the loop: through PreTranslateKey and the modeless dialogs, then
// translated and dispatched.
void DispatchOne(MSG& message);

}  // namespace platform
