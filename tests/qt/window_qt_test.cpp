// What only the Qt backend can show of the window: fonts, the task bar's name, texts
// beyond Latin-1, the tooltip event, the history's menu and the find box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFontInfo>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include "platform/window/driver.h"
#include "platform/window/qt/controls_qt.h"
#include "platform/window/qt/history_pane_qt.h"
#include "tests/box_watcher.h"
#include "tests/port_fixture.h"
#include "ui/history_record.h"
#include "ui/features.h"
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

namespace {

// The pane's context menu keeps the standard items and adds the record's, checked as
// they stand; Shift+F10 and the Menu key open it as a right click does.
TEST(QtWindow, HistoryMenuKeepsTheStandardItemsAndOpensFromTheKeyboard) {
    TMainForm form;
    ASSERT_TRUE(platform::ShowAndActivate(form.Window()));
    auto& pane = dynamic_cast<platform::QtHistoryPane&>(*form.MainRich);
    form.Features().Record().MillisecondsClick();
    std::unique_ptr<QMenu> menu(pane.MakeContextMenu());
    QStringList captions;
    for (QAction* action : menu->actions())
        if (!action->isSeparator()) captions << action->text().remove('&').section('\t', 0, 0);
    for (const char* wanted : {"Copy", "Select All", "Find...", "Find Next", "Find Previous", "Save History As...",
                               "Log to File...", "Time Stamps with Milliseconds"})
        EXPECT_TRUE(captions.contains(wanted)) << wanted << " in " << captions.join(", ").toStdString();
    for (QAction* action : menu->actions()) {
        const QString caption = action->text().remove('&');
        if (caption == "Time Stamps with Milliseconds") {
            EXPECT_TRUE(action->isChecked());
        } else if (caption == "Log to File...") {
            EXPECT_FALSE(action->isChecked());
        }
    }
    form.Features().Record().MillisecondsClick();

    const std::pair<Qt::Key, Qt::KeyboardModifiers> keys[] = {{Qt::Key_F10, Qt::ShiftModifier}, {Qt::Key_Menu, Qt::NoModifier}};
    for (const auto& [key, modifiers] : keys) {
        bool opened = false;
        QTimer::singleShot(100, [&] {
            QWidget* popup = QApplication::activePopupWidget();
            opened = popup && qobject_cast<QMenu*>(popup);
            if (popup) popup->close();
        });
        pane.setFocus();
        QTest::keyClick(&pane, key, modifiers);
        EXPECT_TRUE(opened) << key;
    }
}

// The input line's menu keeps the standard edit items and adds the talk's, with the
// line end chosen checked in its submenu.
TEST(QtWindow, InputLineMenuKeepsTheStandardItems) {
    TMainForm form;
    auto& edit = dynamic_cast<platform::QtEdit&>(*form.LineEdit);
    std::unique_ptr<QMenu> menu(edit.MakeContextMenu());
    QStringList captions;
    QMenu* lineEnds = nullptr;
    for (QAction* action : menu->actions()) {
        captions << action->text().remove('&').section('\t', 0, 0);
        if (action->menu() && action->text().remove('&') == "Line End") lineEnds = action->menu();
    }
    for (const char* wanted : {"Undo", "Cut", "Copy", "Paste", "Select All", "Line End", "Interpret Escapes", "Send File..."})
        EXPECT_TRUE(captions.contains(wanted)) << wanted << " in " << captions.join(", ").toStdString();
    ASSERT_NE(lineEnds, nullptr);
    QStringList checked;
    for (QAction* action : lineEnds->actions())
        if (action->isChecked()) checked << action->text().remove('&');
    EXPECT_EQ(checked, QStringList{"CR"});
}

// Esc in the find box closes the box, not the history.
TEST(QtWindow, EscInTheFindBoxClosesItAndLeavesTheHistory) {
    TMainForm form;
    ASSERT_TRUE(platform::ShowAndActivate(form.Window()));
    form.ComReceive("kept");
    const ByteString history = form.MainRich->Text();
    form.Features().Record().FindClick();
    ASSERT_TRUE(ProcessEventsUntil([] { return qobject_cast<QDialog*>(QApplication::activeWindow()) != nullptr; }));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_TRUE(ProcessEventsUntil([&] { return !form.Features().Record().FindBoxShown()->Visible(); }));
    EXPECT_EQ(form.MainRich->Text(), history);
}

}  // namespace
