#pragma once
#include <functional>
#include <memory>

#include "platform/byte_string.h"
#include "platform/window/controls.h"

namespace platform {

// A small box beside the window that says how something long is going, with Cancel. It
// does not stop the window; closing it is a cancel too.
class ProgressBox {
public:
    virtual ~ProgressBox() = default;
    virtual void SetText(const ByteString& text) = 0;
    virtual ByteString Text() const = 0;
    // percent 0..100
    virtual void SetPercent(int percent) = 0;
    void SetOnCancel(std::function<void()> handler) { onCancel = std::move(handler); }
    void Cancel() const {
        if (onCancel) onCancel();
    }

private:
    std::function<void()> onCancel;
};

// Shows one over the window that holds this control.
std::unique_ptr<ProgressBox> ShowProgressBox(const Control& owner, const ByteString& title);

}  // namespace platform
