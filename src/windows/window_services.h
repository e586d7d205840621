// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QSettings>
#include <QString>
#include <QStringList>

class QPrinter;
class QWidget;

namespace velantis {

struct TestInfo;

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

// The user's documents folder, or the home where there is none.
QString DocumentsFolder();

// The folder every save dialog starts in: the one the user last saved into (remembered between
// runs) while it is still there, else the documents folder.
QString SaveFolder();
// Remembers the folder of a file the user chose to write.
void RememberSaveFolder(const QString& filePath);
// Asks for a file to write, starting at name in SaveFolder(); the folder chosen is remembered.
// Empty when the user cancelled.
QString AskSaveName(FileDialogs& dialogs, QWidget* parent, const QString& name,
                    const QStringList& filters);
// The test report's default file name: "报告", the serial when there is one (characters no file
// name may hold replaced) and the test's date (else the download's, else today's) as yyyyMMdd:
// "报告_CT-2041_20261209.pdf".
QString DefaultReportName(const TestInfo& info, const QDateTime& downloaded);

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
