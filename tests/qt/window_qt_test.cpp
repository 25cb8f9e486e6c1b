// What only the Qt backend can show of the window: fonts, the task bar's name, texts
// beyond Latin-1, the tooltip event.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QHelpEvent>
#include <QLineEdit>

#include "platform/qt/controls_qt.h"
#include "tests/port_fixture.h"
#include "ui/main_form.h"

namespace {

TEST(QtWindow, HistoryIsFixedPitchAt12PxAndControlsAt11Px) {
    TMainForm form;
    QFontInfo history(platform::WidgetOf(*form.MainRich)->font());
    EXPECT_EQ(history.family(), "DejaVu Sans Mono");
    EXPECT_EQ(history.pixelSize(), 12);
    EXPECT_TRUE(history.fixedPitch());
    EXPECT_EQ(QFontInfo(platform::WidgetOf(*form.Button1)->font()).pixelSize(), 11);
}

TEST(QtWindow, TaskBarShowsTheApplicationTitleNotTheCaption) {
    TMainForm form;
    QWidget* window = platform::WidgetOf(*form.Label1)->window();
    EXPECT_EQ(window->windowTitle(), " ");
    EXPECT_EQ(window->windowIconText(), "window_tests");
}

TEST(QtWindow, TextsBeyondLatin1ReadAsQuestionMarks) {
    TMainForm form;
    static_cast<QLineEdit*>(platform::WidgetOf(*form.LineEdit))->setText(QString::fromUtf8("AT+é€"));
    EXPECT_EQ(form.LineEdit->Text(), "AT+\xE9?");
}

class QtWindowOverPty : public PortFixture {};

TEST_F(QtWindowOverPty, TooltipAsksForTheHintEachTimeItShows) {
    TMainForm form;
    QWidget* portEdit = platform::WidgetOf(*form.PortEdit);
    VirtualDevice second;
    second.LinkAsPort(ports.Path(), 7);
    QHelpEvent shown(QEvent::ToolTip, QPoint(5, 5), portEdit->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(portEdit, &shown);
    EXPECT_NE(portEdit->toolTip().toStdString().find("7  linked by hand (" + second.SlavePath().substr(5) + ")"),
              std::string::npos)
        << portEdit->toolTip().toStdString();
}

}  // namespace
