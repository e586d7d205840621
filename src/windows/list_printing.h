// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "archive/archive.h"
#include "report/report_pages.h"

#include <QByteArray>
#include <QString>

class QPageLayout;
class QPagedPaintDevice;
class QPrinter;

namespace velantis {

// Prints pages. A printer that prints to a file (the printer dialog's "print to file") gets its
// pages made in memory and written as Save writes: a failed write keeps the old file and is
// told, never reported as printed. False with the message for the user. A PDF made in memory
// carries the attachments (none of empty data).
bool PrintPages(QPrinter& printer, const PageDrawer& draw, QString* message,
                const QList<PdfAttachment>& attachments = {});

// Writes pages as a PDF file on A4, as Save writes, carrying the attachments; false with the
// message for the user.
bool ExportPagesPdf(const QString& path, const PageDrawer& draw, QString* message,
                    const QList<PdfAttachment>& attachments = {});

// A kept test's JSON as a report carries it ("test-0017.json").
PdfAttachment TestJsonAttachment(const TestRecord& test, const QList<ArchivedGroup>& groups);

// Lays the list's text out on pages: the list font, margins, as many lines as fit on a page, and
// "第 n 页 / 共 m 页" at the foot of each page. False when the device cannot be painted on.
bool DrawListPages(QPagedPaintDevice& device, int resolution, const QString& text);

// The list's pages as a whole PDF in memory, in the given paper and resolution (the margins are
// the list's own).
QByteArray ListPdf(const QString& text, const QPageLayout& paper, int resolution);

// The list printed, and written as a PDF file (A4).
bool PrintListText(QPrinter& printer, const QString& text, QString* message);
bool ExportListPdf(const QString& path, const QString& text, QString* message);

} // namespace velantis
