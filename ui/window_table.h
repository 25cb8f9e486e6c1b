#pragma once
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/window/window.h"

// A window and its controls as data: built by one routine, whatever draws them.
struct WindowTable {
    platform::WindowLayout Window;
    std::vector<platform::ControlEntry> Controls;
};

struct BuiltWindow {
    std::unique_ptr<platform::Window> Window;
    std::map<std::string, platform::Control*> Controls;  // by name

    // The named control as the kind the caller expects; throws when it is not.
    template <typename Kind>
    Kind& Find(const std::string& name) const {
        auto found = Controls.find(name);
        Kind* control = found == Controls.end() ? nullptr : dynamic_cast<Kind*>(found->second);
        if (!control) throw std::logic_error("no control " + name + " of that kind");
        return *control;
    }
};

// Makes the window, adds every control in table order and sets the tab order.
BuiltWindow BuildWindow(const WindowTable& table);

// The terminal's one window.
const WindowTable& MainFormTable();
