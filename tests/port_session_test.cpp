// The port session through its own narrow interface: a scripted device, the notes it
// would add to the history, and choices in a file of the test's.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "tests/scripted_port.h"
#include "platform/window/driver.h"
#include "ui/port_session.h"

namespace {

namespace fs = std::filesystem;

struct NoSettings : TComSettings {
    bool TwoStopBitsChecked() const override { return false; }
    int FormatIndex() const override { return 1; }
};

struct HeardNotes : HistoryLines {
    std::vector<ByteString> notes;
    void AddHistoryLine(const ByteString& text, TColor) override { notes.push_back(text); }
    void AddNote(const ByteString& text, TColor) override { notes.push_back(text); }
    bool Fits(const ByteString&) const override { return true; }
};

class PortSessionTest : public ::testing::Test {
protected:
    PortSessionTest() : path((fs::temp_directory_path() / ("comterm-session-" + std::to_string(std::random_device{}()))).string()) {}
    ~PortSessionTest() override {
        std::error_code ignored;
        fs::remove(path, ignored);
    }
    // A session on a scripted port, connected as Connect leaves it.
    struct Session {
        Session(PortSessionTest& test, uint8_t number)
            : choices(test.path), port(test.settings, ScriptedOpener(test.line)), session(port, choices, test.heard) {
            bool opened = false;
            session.Connect(number, 9600, [&opened](bool done) { opened = done; });
            EXPECT_FALSE(opened) << "told at a later turn of the loop, never before the call returns";
            EXPECT_TRUE(platform::ProcessEventsUntil([&opened] { return opened; }));
        }
        Choices choices;
        TCom port;
        PortSession session;
    };
    std::string path;
    NoSettings settings;
    ScriptedLine line;
    HeardNotes heard;
};

// The choice the user made holds at every Connect, whatever the lines were before.
TEST_F(PortSessionTest, EachConnectAsksTheLinesTheChoicesSay) {
    struct Case {
        bool dtrOff, lowAtConnect;
        bool dtr, rts;  // as the device has them after Connect
    };
    const Case cases[] = {{false, false, true, true}, {true, false, false, true}, {false, true, false, false}};
    for (const Case& c : cases) {
        fs::remove(path);
        Choices before(path);
        before.SetFlag(Choice::Dtr, !c.dtrOff);
        before.SetFlag(Choice::LowAtConnect, c.lowAtConnect);
        line.dtr = line.rts = true;
        Session connected(*this, 5);
        EXPECT_EQ(line.dtr, c.dtr);
        EXPECT_EQ(line.rts, c.rts);
        EXPECT_EQ(connected.session.DtrOn(), c.dtr);
    }
    EXPECT_TRUE(heard.notes.empty());
}

TEST_F(PortSessionTest, ADeviceThatCannotSetTheLinesIsSaidOnceAClick) {
    Session connected(*this, 7);
    line.refuseModemControl = true;
    connected.session.DtrClick();
    ASSERT_EQ(heard.notes.size(), 1u);
    EXPECT_EQ(heard.notes[0], "port 7 cannot set DTR and RTS");
    EXPECT_FALSE(Choices(path).Flag(Choice::Dtr)) << "the choice is kept all the same";
}

TEST_F(PortSessionTest, ALostPortIsSaidAndStaysOpenUnlessReconnecting) {
    Session connected(*this, 5);
    PortSession& session = connected.session;
    TCom& port = connected.port;
    session.PortLost();
    EXPECT_EQ(heard.notes, (std::vector<ByteString>{"port 5 lost: the device went away"}));
    EXPECT_TRUE(port.IsOpen());
    EXPECT_FALSE(session.Reconnecting());
    session.ReconnectClick();
    session.PortLost();
    EXPECT_FALSE(port.IsOpen()) << "let go, so the number can open again";
    EXPECT_TRUE(session.Reconnecting());
    session.Disconnected();
    EXPECT_FALSE(session.Reconnecting());
}

}  // namespace
