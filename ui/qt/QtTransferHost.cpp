#include "ui/qt/QtTransferHost.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QString>

namespace vorlant {

namespace {

const QString kFilter = QStringLiteral("Settings files (*.json);;All files (*)");

std::string chosen(const QString& path) {
    // UTF-8 is what the settings file code opens.
    return path.toUtf8().toStdString();
}

}  // namespace

bool QtTransferHost::chooseSaveFile(std::string& path) {
    const QString file = QFileDialog::getSaveFileName(owner_, QStringLiteral("Export settings"),
                                                      QStringLiteral("vorlant-settings.json"), kFilter);
    if (file.isEmpty()) return false;
    path = chosen(file);
    return true;
}

bool QtTransferHost::chooseOpenFile(std::string& path) {
    const QString file =
        QFileDialog::getOpenFileName(owner_, QStringLiteral("Import settings"), QString(), kFilter);
    if (file.isEmpty()) return false;
    path = chosen(file);
    return true;
}

bool QtTransferHost::confirmImport(const std::string& question, const std::vector<TransferRow>& rows) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Import settings"),
                    QString::fromStdString(question), QMessageBox::Yes | QMessageBox::No, owner_);
    box.setInformativeText(QStringLiteral("field: controller -> file\n") +
                           QString::fromStdString(transferRowsText(rows)));
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

bool QtTransferHost::askYesNo(const std::string& question) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Vorlant"), QString::fromStdString(question),
                    QMessageBox::Yes | QMessageBox::No, owner_);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void QtTransferHost::showMessage(const std::string& text, bool isError) {
    const QString message = QString::fromStdString(text);
    if (isError) {
        QMessageBox::critical(owner_, QStringLiteral("Vorlant"), message);
    } else {
        QMessageBox::information(owner_, QStringLiteral("Vorlant"), message);
    }
}

}  // namespace vorlant
