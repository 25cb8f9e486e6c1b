#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QStringList>

#include "platform/window/file_dialog.h"

namespace platform {
namespace {

QString Filter(const FileType& type) {
    QStringList patterns;
    for (const std::string& extension : type.Extensions) patterns << "*." + QString::fromStdString(extension);
    return QString::fromStdString(type.Description) + " (" + patterns.join(' ') + ")";
}

}  // namespace

SaveDialogAnswer AskSaveFile(const SaveDialogRequest& request) {
    QFileDialog dialog(QApplication::activeWindow(), QString::fromStdString(request.Title));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.AskOverwrite);
    QStringList filters;
    for (const FileType& type : request.Types) filters << Filter(type);
    dialog.setNameFilters(filters);
    auto suffixOf = [&](int index) { return QString::fromStdString(request.Types.at(static_cast<size_t>(index)).Extensions.at(0)); };
    if (!filters.isEmpty()) {
        dialog.selectNameFilter(filters.value(request.TypeIndex));
        dialog.setDefaultSuffix(suffixOf(request.TypeIndex));
    }
    QObject::connect(&dialog, &QFileDialog::filterSelected, [&](const QString& filter) {
        const int index = static_cast<int>(filters.indexOf(filter));
        dialog.setDefaultSuffix(suffixOf(index));
        // The name being typed is in the dialog's own edit; a native dialog keeps its own.
        if (auto* name = dialog.findChild<QLineEdit*>("fileNameEdit"))
            name->setText(QString::fromStdString(NameForType(name->text().toStdString(), request.Types, index)));
    });
    const QString folder = QString::fromStdString(request.Folder);
    dialog.setDirectory(!folder.isEmpty() && QDir(folder).exists() ? folder : QDir::homePath());
    dialog.selectFile(QString::fromStdString(request.Name));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return {dialog.selectedFiles().first().toStdString(), static_cast<int>(std::max<qsizetype>(filters.indexOf(dialog.selectedNameFilter()), 0))};
}

std::string AskOpenFile(const ByteString& title, const std::string& folder) {
    const QString start = !folder.empty() && QDir(QString::fromStdString(folder)).exists() ? QString::fromStdString(folder)
                                                                                          : QDir::homePath();
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), QString::fromStdString(title), start).toStdString();
}

}  // namespace platform
