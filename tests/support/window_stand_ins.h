// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "windows/window_services.h"

#include <QApplication>
#include <QMessageBox>
#include <QPrinter>

namespace velantis::testing {

// File dialogs that answer at once with a name the test chose (empty: cancelled) and remember
// what they were shown.
struct AnsweringDialogs final : FileDialogs {
    QString answer;
    QStringList filtersSeen;
    QString defaultSeen;
    QString openFileName(QWidget*, const QString& defaultName,
                         const QStringList& filters) override {
        defaultSeen = defaultName;
        filtersSeen = filters;
        return answer;
    }
    QString saveFileName(QWidget* parent, const QString& defaultName,
                         const QStringList& filters) override {
        return openFileName(parent, defaultName, filters);
    }
};

// A printer choice that prints to a PDF file, or cancels.
struct PdfChooser final : PrinterChooser {
    QString pdf;
    bool accept = true;
    int shown = 0;
    bool choosePrinter(QPrinter& printer, QWidget*) override {
        ++shown;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return accept;
    }
};

// The message box on screen, if any.
inline QMessageBox* OpenMessageBox() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
            return box;
    return nullptr;
}

} // namespace velantis::testing
