// The find box on Qt: a small dialog of its own beside the window, which it leaves as it is.
#include <QCheckBox>
#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>

#include "platform/window/cp437.h"
#include "platform/window/error_handler.h"
#include "platform/window/find_box.h"
#include "platform/window/qt/controls_qt.h"

namespace platform {
namespace {

QString FromGlyphs(const ByteString& bytes) { return QString::fromStdString(Utf8FromCp437(bytes)); }
ByteString ToGlyphs(const QString& text) { return Cp437FromUtf8(text.toStdString()); }

class QtFindBox : public FindBox {
public:
    explicit QtFindBox(QWidget* owner) : dialog(new QDialog(owner)) {
        dialog->setWindowTitle("Find");
        auto* layout = new QGridLayout(dialog);
        layout->addWidget(new QLabel("Find what:"), 0, 0);
        text = new QLineEdit;
        layout->addWidget(text, 0, 1);
        matchCase = new QCheckBox("Match &case");
        layout->addWidget(matchCase, 1, 1);
        status = new QLabel;
        layout->addWidget(status, 2, 0, 1, 2);
        auto* next = new QPushButton("Find &Next");
        auto* previous = new QPushButton("Find &Previous");
        auto* close = new QPushButton("Close");
        next->setDefault(true);
        layout->addWidget(next, 0, 2);
        layout->addWidget(previous, 1, 2);
        layout->addWidget(close, 2, 2);
        QObject::connect(next, &QPushButton::clicked, [this] { Ask(true); });
        QObject::connect(previous, &QPushButton::clicked, [this] { Ask(false); });
        QObject::connect(close, &QPushButton::clicked, dialog, &QDialog::reject);  // Esc too
        // F3 and Shift+F3 find on here as in the history.
        auto* again = new QShortcut(QKeySequence(Qt::Key_F3), dialog);
        auto* back = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), dialog);
        QObject::connect(again, &QShortcut::activated, [this] { Ask(true); });
        QObject::connect(back, &QShortcut::activated, [this] { Ask(false); });
    }
    ~QtFindBox() override { delete dialog; }

    void Show(const ByteString& find, bool caseMatters) override {
        if (!dialog->isVisible()) {
            text->setText(FromGlyphs(find));
            matchCase->setChecked(caseMatters);
            status->clear();
        }
        dialog->show();
        dialog->raise();
        dialog->activateWindow();
        text->setFocus();
        text->selectAll();
    }
    void Close() override { dialog->reject(); }
    bool Visible() const override { return dialog->isVisible(); }
    void SetStatus(const ByteString& said) override { status->setText(FromGlyphs(said)); }
    ByteString Status() const override { return ToGlyphs(status->text()); }

private:
    void Ask(bool forward) {
        const FindRequest request{ToGlyphs(text->text()), matchCase->isChecked(), forward};
        RunGuarded([&] { Find(request); });
    }

    QDialog* dialog;
    QLineEdit* text;
    QCheckBox* matchCase;
    QLabel* status;
};

}  // namespace

std::unique_ptr<FindBox> MakeFindBox(const Control& owner) {
    return std::make_unique<QtFindBox>(WidgetOf(owner)->window());
}

}  // namespace platform
