#include "launcher/qtfilechooser.h"

#include <QFileDialog>

std::string QtFileChooser::chooseFile(const orv::launcher::FileDialogRequest& request) {
    QString title = request.title.empty() ? QStringLiteral("Open") : QString::fromStdString(request.title);
    QFileDialog dialog(parent_, title, QString::fromStdString(request.initialFolder));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter(QString::fromStdString(request.initialName));  // "*.wav": list only those
    if (!request.defaultExtension.empty())
        dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front().toStdString();
}
