#pragma once
#include <functional>
#include <memory>

#include "platform/byte_string.h"
#include "platform/window/controls.h"

namespace platform {

struct FindRequest {
    ByteString Text;
    bool MatchCase = false;
    bool Forward = true;
};

// The small find box the system has: a text, a case choice, find next and previous. It
// does not stop the window beside it; Esc in it closes it. Its texts are code page 437
// bytes, as the history's.
class FindBox {
public:
    virtual ~FindBox() = default;
    // Shows it with these choices, or brings it forward with its own.
    virtual void Show(const ByteString& text, bool matchCase) = 0;
    virtual void Close() = 0;
    virtual bool Visible() const = 0;
    // A quiet word of how the last search went: "" when it simply found the next.
    virtual void SetStatus(const ByteString& status) = 0;
    virtual ByteString Status() const = 0;

    // Runs for each find the user asks for in the box.
    void SetOnFind(std::function<void(const FindRequest&)> handler) { onFind = std::move(handler); }

protected:
    void Find(const FindRequest& request) const {
        if (onFind) onFind(request);
    }

private:
    std::function<void(const FindRequest&)> onFind;
};

// A find box over the window that holds this control.
std::unique_ptr<FindBox> MakeFindBox(const Control& owner);

}  // namespace platform
