#pragma once
#include <functional>
#include <memory>
#include <vector>

#include "platform/byte_string.h"
#include "platform/window/controls.h"
#include "platform/window/form_box.h"
#include "platform/window/menu.h"
#include "ui/choices.h"

// Eight lines bound to F5 to F12, each with an optional name, kept: the key sends its
// line as Enter would (line end, escapes, echo, recall) wherever the focus is in the
// window, and the input line keeps what was being typed. Edited in a box of their own.
class QuickSends {
public:
    static constexpr int FirstKey = 5, LastKey = 12;
    using SendLine = std::function<void(const ByteString& line)>;
    // escapesOn: whether the lines' escapes are read, as Enter reads them now.
    QuickSends(Choices& choices, const platform::Control& owner, SendLine send, std::function<bool()> escapesOn);

    // The input line's items: the keys with what they send, and the box.
    std::vector<platform::MenuCommand> Commands();
    // Sends the line of F<key>; an empty key does nothing.
    void Send(int key);
    void ShowBox();
    platform::FormBox* Box() { return box.get(); }

private:
    ByteString Accept(const std::vector<ByteString>& values);

    Choices& choices;
    const platform::Control& owner;
    SendLine send;
    std::function<bool()> escapesOn;
    std::unique_ptr<platform::FormBox> box;
};
