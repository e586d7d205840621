// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>

class QPrinter;
class QWidget;

namespace velantis {

// What the windows remember between runs (~/.config/velantis/velantis.conf on Linux).
QSettings ProgramSettings();

// The file dialogs the main window shows; the program uses Qt's own dialog, tests answer
// without one. An empty name means the user cancelled.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    virtual QString openFileName(QWidget* parent, const QString& defaultName,
                                 const QStringList& filters) = 0;
    virtual QString saveFileName(QWidget* parent, const QString& defaultName,
                                 const QStringList& filters) = 0;
};

// The printer choice: sets up the printer the user picks; false when the user cancelled. Tests
// point the printer at a PDF file instead.
class PrinterChooser {
public:
    virtual ~PrinterChooser() = default;
    virtual bool choosePrinter(QPrinter& printer, QWidget* parent) = 0;
};

// Qt's own file dialog (never the platform's), so the filter labels read exactly as given and
// "All Files" also lists names without a dot.
class QtFileDialogs final : public FileDialogs {
public:
    QString openFileName(QWidget* parent, const QString& defaultName,
                         const QStringList& filters) override;
    QString saveFileName(QWidget* parent, const QString& defaultName,
                         const QStringList& filters) override;
};

// The system's printer dialog, without page-range fields.
class QtPrinterChooser final : public PrinterChooser {
public:
    bool choosePrinter(QPrinter& printer, QWidget* parent) override;
};

} // namespace velantis
