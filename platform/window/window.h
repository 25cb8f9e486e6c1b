#pragma once
#include <functional>
#include <memory>
#include <vector>

#include "platform/byte_string.h"
#include "platform/window/controls.h"
#include "platform/window/menu.h"

namespace platform {

// A font by family and height; a family the system lacks gives the nearest of its kind.
struct FontChoice {
    ByteString Family;
    int PixelHeight = 11;
};

struct WindowLayout {
    ByteString Caption;
    int ClientWidth = 0, ClientHeight = 0;
    // The size the window is centred by on the screen when first shown.
    int OuterWidth = 0, OuterHeight = 0;
    FontChoice Font;  // the controls' default font
};

// A top-level window in the button face colour that owns its controls. Resizing it
// moves and sizes every control by its anchors. The task bar names it by the
// application title, whatever its caption.
class Window {
public:
    virtual ~Window() = default;

    // Creates a control as the entry says: place, anchors, caption, text, items, selection.
    virtual Control& Add(const ControlEntry& entry) = 0;
    // Tab and Shift+Tab walk these controls in this order.
    virtual void SetTabOrder(const std::vector<Control*>& order) = 0;
    // Esc without Shift, Ctrl or Alt clicks this button, unless the focused control
    // takes Esc itself (a dropped-down list, the history pane).
    virtual void SetCancelButton(Button& button) = 0;
    // Where the system gives the window a menu of its own (Windows: the icon at the top
    // left, Alt+Space), these follow its items below a separator and run as they do in
    // the context menus. Elsewhere nothing changes.
    virtual void SetSystemMenuCommands(std::vector<MenuCommand> commands) = 0;
    // Runs when the user changes the system's regional settings.
    virtual void SetOnSettingChange(std::function<void()> handler) = 0;

    virtual ByteString Caption() const = 0;
    virtual void Show() = 0;  // the first time, centred on the screen
    virtual void ResizeClient(int width, int height) = 0;
    virtual int ClientWidth() const = 0;
    virtual int ClientHeight() const = 0;
};

std::unique_ptr<Window> MakeWindow(const WindowLayout& layout);

}  // namespace platform
