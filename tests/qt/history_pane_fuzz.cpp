// The history pane's add-line and capacity rules against a model of its whole text.
// Input: a sequence of operations, each a byte (op) then a length byte then that many bytes.
#include <QApplication>
#include <QTextCursor>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/window/qt/history_pane_qt.h"
#include "tests/fuzz/fuzz_check.h"
#include "ui/display.h"

namespace {

// The pane as lines; the last one is empty when the pane ends with a line break.
struct Model {
    std::vector<std::string> lines{""};

    std::string WholeText() const {
        std::string text;
        for (size_t i = 0; i < lines.size(); ++i)
            if (i + 1 < lines.size() || !lines[i].empty()) text += lines[i] + "\r\n";
        return text;
    }
    // The rule: into the empty last line, else after a new line break. A carriage
    // return stays inside its line.
    Model WithLine(const std::string& line) const {
        Model next = *this;
        const bool intoEmptyLast = next.lines.back().empty();
        if (intoEmptyLast) next.lines.pop_back();
        next.lines.push_back(line);
        if (intoEmptyLast) next.lines.push_back("");
        return next;
    }
};

QApplication& Application() {
    static int argc = 1;
    static char name[] = "history_pane_fuzz";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication application(argc, argv);
    return application;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Application();
    platform::QtHistoryPane pane;
    Model model;
    size_t at = 0;
    while (at + 2 <= size) {
        const uint8_t op = data[at] % 4;
        // Long lines reach the capacity within a few operations.
        const size_t length = std::min<size_t>(data[at + 1] * (op == 3 ? 257u : 1u), size - at - 2);
        const std::string bytes(reinterpret_cast<const char*>(data + at + 2), std::min<size_t>(length, size - at - 2));
        at += 2 + std::min<size_t>(data[at + 1], size - at - 2);
        const std::string line = MaskControlChars(op == 3 ? std::string(length, bytes.empty() ? 'x' : bytes[0]) : bytes);
        if (op == 0 || op == 3) {
            Model next = model.WithLine(line);
            const bool fits = next.WholeText().size() <= platform::HistoryPane::Capacity;
            try {
                pane.AddHistoryLine(line, 0, 0);
                FUZZ_CHECK(fits);
                model = next;
            } catch (const std::runtime_error&) {
                FUZZ_CHECK(!fits);
            }
        } else if (op == 1) {
            pane.Clear();
            model = Model();
        } else {  // the user types plain text at the end, without a line break
            std::string typed;
            for (char c : line) typed += c >= 0x20 && c < 0x7F ? c : '.';
            QTextCursor cursor(pane.document());
            cursor.movePosition(QTextCursor::End);
            cursor.insertText(QString::fromLatin1(typed.data(), static_cast<qsizetype>(typed.size())));
            model.lines.back() += typed;
        }
        const std::string expected = model.WholeText();
        FUZZ_CHECK(pane.TextLength() == static_cast<int>(expected.size()));
        FUZZ_CHECK(pane.Text() == expected);
    }
    return 0;
}
