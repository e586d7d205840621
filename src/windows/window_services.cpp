// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/window_services.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>

namespace velantis {

QSettings ProgramSettings() {
    return QSettings(QStringLiteral("velantis"), QStringLiteral("velantis"));
}

namespace {

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

bool QtPrinterChooser::choosePrinter(QPrinter& printer, QWidget* parent) {
    QPrintDialog dialog(&printer, parent);
    // No page-number fields: the range of groups was chosen in the print-range dialog.
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace velantis
