#pragma once
// Answers every message box the code under test opens, and remembers what it showed.
#include <memory>
#include <string>
#include <vector>

#include "platform/window/driver.h"

struct ShownBox {
    std::string text;
    std::string caption;
    bool stopIcon;
    int buttons;
    bool windowBlocked = false;  // the program's window was shown and took no input while the box was open
};

class BoxWatcher {
public:
    // keepOpenMs: how long each box stays open before it is answered.
    explicit BoxWatcher(int keepOpenMs = 0);
    ~BoxWatcher();
    std::vector<ShownBox> boxes;
    bool BoxOpen() const;  // one is shown and not yet answered

private:
    struct Poll;
    std::unique_ptr<Poll> poll;
};

// What the backend's tests need set before the application starts.
void PrepareTestEnvironment();

using platform::ProcessEventsFor;
using platform::ProcessEventsUntil;
