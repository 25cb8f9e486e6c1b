#include <QProgressDialog>

#include "platform/window/error_handler.h"
#include "platform/window/progress_box.h"
#include "platform/window/qt/controls_qt.h"

namespace platform {
namespace {

class QtProgressBox : public ProgressBox {
public:
    QtProgressBox(QWidget* owner, const ByteString& title) : dialog(new QProgressDialog(owner)) {
        dialog->setWindowTitle(FromBytes(title));
        dialog->setWindowModality(Qt::NonModal);
        dialog->setAutoClose(false);
        dialog->setAutoReset(false);
        dialog->setMinimumDuration(0);
        dialog->setRange(0, 100);
        QObject::connect(dialog, &QProgressDialog::canceled, [this] { RunGuarded([this] { Cancel(); }); });
        dialog->show();
    }
    // The box may end from inside its own close or cancel handling: it goes once that
    // handling is over.
    ~QtProgressBox() override {
        QObject::disconnect(dialog, nullptr, nullptr, nullptr);
        dialog->hide();
        dialog->deleteLater();
    }
    void SetText(const ByteString& text) override { dialog->setLabelText(FromBytes(text)); }
    ByteString Text() const override { return ToBytes(dialog->labelText()); }
    void SetPercent(int percent) override { dialog->setValue(percent); }

private:
    QProgressDialog* dialog;
};

}  // namespace

std::unique_ptr<ProgressBox> ShowProgressBox(const Control& owner, const ByteString& title) {
    return std::make_unique<QtProgressBox>(WidgetOf(owner)->window(), title);
}

}  // namespace platform
