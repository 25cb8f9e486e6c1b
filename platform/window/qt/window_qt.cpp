// The top-level window on Qt Widgets: controls at fixed places that follow their
// anchors, centred on the screen when first shown.
#include <QCoreApplication>
#include <QEvent>
#include <QScreen>
#include <QShortcut>
#include <QPushButton>

#include "platform/window/qt/controls_qt.h"
#include "platform/window/qt/history_pane_qt.h"
#include "platform/window/window.h"

namespace platform {
namespace {

struct Anchored {
    QWidget* widget;
    Bounds design;
    int anchors;
};

class WindowWidget : public QWidget {
public:
    explicit WindowWidget(const WindowLayout& layout) : layout(layout) {
        setWindowTitle(FromBytes(layout.Caption));
        setWindowIconText(QCoreApplication::applicationName());  // the task bar's name, not the caption
        // The 8-point system font is narrow: a semi-condensed face keeps captions such as
        // "Baud Rate:" within their controls where one is installed.
        QFont font(FromBytes(layout.Font.Family));
        font.setStyleHint(QFont::SansSerif);
        font.setPixelSize(layout.Font.PixelHeight);
        font.setStretch(QFont::SemiCondensed);
        setFont(font);
        setBackgroundRole(QPalette::Button);
        setAutoFillBackground(true);
        resize(layout.ClientWidth, layout.ClientHeight);
    }

    std::vector<Anchored> anchored;
    std::function<void()> onSettingChange;

protected:
    void resizeEvent(QResizeEvent* event) override {
        const int dx = width() - layout.ClientWidth;
        const int dy = height() - layout.ClientHeight;
        for (const Anchored& control : anchored) {
            const Bounds place = FollowAnchors(control.design, control.anchors, dx, dy);
            control.widget->setGeometry(place.Left, place.Top, place.Width, place.Height);
        }
        QWidget::resizeEvent(event);
    }

    void showEvent(QShowEvent* event) override {
        if (!centred && screen()) {
            const QRect area = screen()->geometry();
            const Bounds place = CentredOnScreen(area.width(), area.height(), layout.OuterWidth, layout.OuterHeight);
            move(place.Left, place.Top);
            centred = true;
        }
        QWidget::showEvent(event);
    }

    void changeEvent(QEvent* event) override {
        if (event->type() == QEvent::LocaleChange && onSettingChange) onSettingChange();
        QWidget::changeEvent(event);
    }

private:
    const WindowLayout layout;
    bool centred = false;
};

class QtWindow : public Window {
public:
    explicit QtWindow(const WindowLayout& layout) : widget(new WindowWidget(layout)) {}
    ~QtWindow() override {
        controls.clear();  // the wrappers first: the widget then deletes what they drew
        delete widget;
    }

    Control& Add(const ControlEntry& entry) override {
        controls.push_back(Make(entry));
        Control& control = *controls.back();
        widget->anchored.push_back({WidgetOf(control), entry.Place, entry.Anchors});
        return control;
    }

    void SetTabOrder(const std::vector<Control*>& order) override {
        for (size_t i = 0; i + 1 < order.size(); ++i) QWidget::setTabOrder(WidgetOf(*order[i]), WidgetOf(*order[i + 1]));
    }

    void SetCancelButton(Button& button) override {
        // A control that takes Esc itself (an open list, the pane) overrides the shortcut.
        auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), widget);
        escape->setContext(Qt::WindowShortcut);
        QObject::connect(escape, &QShortcut::activated, [&button] { button.Click(); });
    }

    void SetOnSettingChange(std::function<void()> handler) override { widget->onSettingChange = std::move(handler); }
    void SetSystemMenuCommands(std::vector<MenuCommand>) override {}  // the window manager's menu is its own

    ByteString Caption() const override { return ToBytes(widget->windowTitle()); }
    void Show() override { widget->show(); }
    void ResizeClient(int width, int height) override { widget->resize(width, height); }
    int ClientWidth() const override { return widget->width(); }
    int ClientHeight() const override { return widget->height(); }

private:
    std::unique_ptr<Control> Make(const ControlEntry& entry) {
        switch (entry.Kind) {
            case ControlKind::Label: return std::make_unique<QtLabel>(widget, entry);
            case ControlKind::Edit: return std::make_unique<QtEdit>(widget, entry);
            case ControlKind::DropDownList: return std::make_unique<QtDropDownList>(widget, entry);
            case ControlKind::Button: return std::make_unique<QtButton>(widget, entry);
            case ControlKind::RadioGroup: return std::make_unique<QtRadioGroup>(widget, entry);
            case ControlKind::CheckBox: return std::make_unique<QtCheckBox>(widget, entry);
            case ControlKind::HistoryPane: break;
        }
        auto pane = std::make_unique<QtHistoryPane>(widget);
        pane->setGeometry(entry.Place.Left, entry.Place.Top, entry.Place.Width, entry.Place.Height);
        return std::unique_ptr<Control>(static_cast<HistoryPane*>(pane.release()));
    }

    WindowWidget* widget;
    std::vector<std::unique_ptr<Control>> controls;
};

}  // namespace

std::unique_ptr<Window> MakeWindow(const WindowLayout& layout) { return std::make_unique<QtWindow>(layout); }

}  // namespace platform
