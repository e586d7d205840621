// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/window_services.h"

#include "records/test_report.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>
#include <QStandardPaths>

namespace velantis {

QSettings ProgramSettings() {
    return QSettings(QStringLiteral("velantis"), QStringLiteral("velantis"));
}

namespace {

const QString SaveFolderKey = QStringLiteral("files/saveFolder");

QString AskFileName(QWidget* parent, const QString& defaultName, const QStringList& filters,
                    QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    // The file is written under exactly the name chosen, and replaced without a question.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    const QFileInfo info(defaultName);
    dialog.setDirectory(info.absolutePath());
    dialog.selectFile(info.fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace

QString QtFileDialogs::openFileName(QWidget* parent, const QString& defaultName,
                                    const QStringList& filters) {
    return AskFileName(parent, defaultName, filters, QFileDialog::AcceptOpen);
}

QString QtFileDialogs::saveFileName(QWidget* parent, const QString& defaultName,
                                    const QStringList& filters) {
    return AskFileName(parent, defaultName, filters, QFileDialog::AcceptSave);
}

QString DocumentsFolder() {
    // A home without a documents folder (a fresh account, a server's desktop): the home itself,
    // never the folder the program happened to be started from.
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

QString SaveFolder() {
    const QString remembered = ProgramSettings().value(SaveFolderKey).toString();
    if (!remembered.isEmpty() && QFileInfo(remembered).isDir())
        return remembered;
    return DocumentsFolder();
}

void RememberSaveFolder(const QString& filePath) {
    QSettings settings = ProgramSettings();
    settings.setValue(SaveFolderKey, QFileInfo(filePath).absolutePath());
}

QString AskSaveName(FileDialogs& dialogs, QWidget* parent, const QString& name,
                    const QStringList& filters) {
    const QString path = dialogs.saveFileName(parent, QDir(SaveFolder()).filePath(name), filters);
    if (!path.isEmpty())
        RememberSaveFolder(path);
    return path;
}

QString DefaultReportName(const TestInfo& info, const QDateTime& downloaded) {
    const QDate date = info.date.isValid()           ? info.date
                       : downloaded.date().isValid() ? downloaded.date()
                                                     : QDate::currentDate();
    QStringList parts{QCoreApplication::translate("velantis::MainWindow", "报告")};
    QString serial = info.serial.trimmed();
    // Characters no file name may hold on Windows or Linux, and control characters.
    for (QChar& c : serial)
        if (c < QChar(0x20) || QStringLiteral("\\/:*?\"<>|").contains(c))
            c = u'-';
    if (!serial.isEmpty())
        parts << serial;
    parts << date.toString(QStringLiteral("yyyyMMdd"));
    return parts.join(u'_') + QStringLiteral(".pdf");
}

bool QtPrinterChooser::choosePrinter(QPrinter& printer, QWidget* parent) {
    QPrintDialog dialog(&printer, parent);
    // No page-number fields: the range of groups was chosen in the print-range dialog.
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace velantis
