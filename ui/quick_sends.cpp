#include "ui/quick_sends.h"

#include <stdexcept>
#include <string>

#include "ui/escapes.h"

namespace {

ByteString KeyName(int key) { return "F" + std::to_string(key); }

// The menu shows a line on one line.
ByteString OneLine(ByteString text) {
    for (char& byte : text)
        if (byte == '\r' || byte == '\n' || byte == '\t') byte = ' ';
    return text.size() > 40 ? text.substr(0, 40) + "..." : text;
}

}  // namespace

QuickSends::QuickSends(Choices& choices, const platform::Control& owner, SendLine send, std::function<bool()> escapesOn)
    : choices(choices), owner(owner), send(std::move(send)), escapesOn(std::move(escapesOn)) {}

std::vector<platform::MenuCommand> QuickSends::Commands() {
    std::vector<platform::MenuCommand> keys;
    for (int key = FirstKey; key <= LastKey; ++key) {
        platform::MenuCommand item{KeyName(key), KeyName(key), [this, key] { Send(key); }, {}};
        item.Label = [this, key] {
            const ByteString name = choices.NumberedText(Choice::QuickSendName, static_cast<unsigned>(key));
            const ByteString line = choices.NumberedText(Choice::QuickSend, static_cast<unsigned>(key));
            return line.empty() ? ByteString("(not set)") : OneLine(name.empty() ? line : name);
        };
        item.Enabled = [this, key] { return !choices.NumberedText(Choice::QuickSend, static_cast<unsigned>(key)).empty(); };
        item.Does = "sends its quick line, as Enter would";
        keys.push_back(std::move(item));
    }
    return {
        platform::Described({"&Quick Sends", "", {}, {}, keys}, "lines bound to F5 to F12"),
        platform::Described({"Quick Sends &Setup...", "", [this] { ShowBox(); }, {}},
                            "edits the eight lines of F5 to F12 and their names"),
    };
}

void QuickSends::Send(int key) {
    const ByteString line = choices.NumberedText(Choice::QuickSend, static_cast<unsigned>(key));
    if (!line.empty()) send(line);
}

void QuickSends::ShowBox() {
    using Kind = platform::FormField::Kind;
    std::vector<platform::FormField> fields;
    for (int key = FirstKey; key <= LastKey; ++key) {
        fields.push_back({KeyName(key) + " name:", Kind::Text, {}, choices.NumberedText(Choice::QuickSendName, static_cast<unsigned>(key))});
        fields.push_back({KeyName(key) + " sends:", Kind::Text, {}, choices.NumberedText(Choice::QuickSend, static_cast<unsigned>(key))});
    }
    box = platform::ShowFormBox(owner, "Quick Sends", fields);
    box->SetOnAccept([this](const std::vector<ByteString>& values) { return Accept(values); });
}

// All or nothing: a malformed escape in one line keeps every line as it was.
ByteString QuickSends::Accept(const std::vector<ByteString>& values) {
    for (int key = FirstKey; key <= LastKey; ++key) {
        const ByteString& line = values.at(static_cast<size_t>(2 * (key - FirstKey) + 1));
        if (!escapesOn()) continue;
        try {
            InterpretEscapes(line);
        } catch (const std::invalid_argument& error) {
            return KeyName(key) + ": " + error.what();
        }
    }
    for (int key = FirstKey; key <= LastKey; ++key) {
        const auto index = static_cast<size_t>(2 * (key - FirstKey));
        choices.SetNumberedText(Choice::QuickSendName, static_cast<unsigned>(key), values.at(index));
        choices.SetNumberedText(Choice::QuickSend, static_cast<unsigned>(key), values.at(index + 1));
    }
    return "";
}
