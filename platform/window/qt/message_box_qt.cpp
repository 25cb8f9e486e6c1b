#include <QApplication>
#include <QMessageBox>
#include <QPointer>

#include "platform/window/message_box.h"

namespace platform {

void MessageBox(const ByteString& text, const ByteString& caption, int flags) {
    QPointer<QWidget> previouslyActive = QApplication::activeWindow();
    QMessageBox box(flags & MessageBoxStopIcon ? QMessageBox::Critical : QMessageBox::NoIcon,
                    QString::fromLatin1(caption.data(), static_cast<qsizetype>(caption.size())),
                    QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())), QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    if (previouslyActive) previouslyActive->activateWindow();
}

}  // namespace platform
