#pragma once
// What tests and benchmarks use to work the window as a user would, and to wait on the
// message loop. Not part of the program.
#include "platform/window/controls.h"
#include "platform/window/window.h"

namespace platform {

enum class Key { Enter, KeypadEnter, Escape, Tab, Up, Down };
enum KeyModifier : int { NoModifier = 0, ShiftModifier = 1 };

// Presses and releases a key at a control, as the keyboard would: an open drop-down
// list takes it first.
void PressKey(Control& control, Key key, int modifiers = NoModifier);

// Presses a shortcut ("Ctrl+F", "Shift+F3") at a control, as the keyboard would, or
// wherever the keyboard's focus is (a box of the window's, say).
void PressShortcut(Control& control, const ByteString& shortcut);
void PressShortcutAtFocus(const ByteString& shortcut);

// Closes the top-level box of this title as its title bar's close button would, or
// clicks its button of this caption; false when there is no such box or button.
bool CloseBox(const ByteString& title);
bool ClickBoxButton(const ByteString& title, const ByteString& caption);

// Runs the message loop for this long.
void ProcessEventsFor(int milliseconds);
// Runs the message loop until done() or the limit; true when done.
bool ProcessEventsUntil(const std::function<bool()>& done, int limitMs = 3000);

// Shows the window and waits until it has the keyboard; false when it never gets it.
bool ShowAndActivate(Window& window);

// The items of the system menu of the window that holds this control, as the menu
// opens (captions without "&" or keys); empty where the system gives it none of ours.
std::vector<ByteString> SystemMenuItems(const Control& control);
// Chooses one of them by caption, as a click would; false when there is none such.
bool ChooseSystemMenuItem(const Control& control, const ByteString& caption);

}  // namespace platform
