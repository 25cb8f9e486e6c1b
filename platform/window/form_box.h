#pragma once
#include <functional>
#include <memory>
#include <vector>

#include "platform/byte_string.h"
#include "platform/window/controls.h"

namespace platform {

// One field of a form box: a check box, a list to choose from, a list that also takes
// any text typed, or a line of text.
struct FormField {
    enum class Kind { Check, List, EditableList, Text };
    ByteString Label;  // a check box's caption, or the text before a list ("&Baud rate:")
    Kind Type = Kind::List;
    std::vector<ByteString> Items;
    ByteString Value;  // a check box: "1" or "0"; a list or a line: the text shown
};

// A small box of fields beside the window with OK and Cancel; it does not stop the
// window. OK hands the values, in the fields' order, to the accept handler, which says
// why it cannot take them ("" when it took them: the box then closes). Esc and Cancel
// close it unchanged.
class FormBox {
public:
    virtual ~FormBox() = default;
    virtual std::vector<ByteString> Values() const = 0;
    virtual void SetValues(const std::vector<ByteString>& values) = 0;
    // A line below the fields: a refusal's reason, or a word on what the fields mean here.
    virtual void SetStatus(const ByteString& status) = 0;
    virtual ByteString Status() const = 0;
    virtual bool Visible() const = 0;
    virtual void Close() = 0;

    using AcceptHandler = std::function<ByteString(const std::vector<ByteString>& values)>;
    void SetOnAccept(AcceptHandler handler) { onAccept = std::move(handler); }
    // As OK pressed: true when the values were taken and the box closed.
    bool Accept() {
        const ByteString refusal = onAccept ? onAccept(Values()) : ByteString();
        SetStatus(refusal);
        if (refusal.empty()) Close();
        return refusal.empty();
    }

private:
    AcceptHandler onAccept;
};

// Shows one over the window that holds this control.
std::unique_ptr<FormBox> ShowFormBox(const Control& owner, const ByteString& title, const std::vector<FormField>& fields);

}  // namespace platform
