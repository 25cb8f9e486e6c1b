#pragma once
#include <functional>

class QAbstractButton;
class QWidget;

namespace platform {

// A key handler sees each character key (Enter as 13) before the control does and may
// set it to 0: the control then neither takes the character nor reacts to it.
// It runs through RunGuarded.
void SetKeyPressHandler(QWidget* control, std::function<void(char& key)> handler);

// Esc without Shift, Ctrl or Alt clicks the window's cancel button, unless the focused
// control claims Esc (an open drop-down list, the history pane).
void SetCancelButton(QWidget* window, QAbstractButton* button);

}  // namespace platform
