// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "records/test_report.h"

#include <QByteArray>
#include <QList>
#include <QSizeF>
#include <QString>

#include <functional>

class QPageLayout;
class QPagedPaintDevice;
class QPainter;

namespace velantis {

// Draws pages on a paged device (a printer, a PDF writer) at its resolution; false when the
// device cannot be painted on.
using PageDrawer = std::function<bool(QPagedPaintDevice& device, int resolution)>;

// The pages as a whole PDF in memory, on the given paper at the given resolution; empty when
// they could not be drawn.
QByteArray PagesPdf(const PageDrawer& draw, const QPageLayout& paper, int resolution);

// A file carried inside a PDF (the test's JSON beside its report): `pdfdetach -list` names it by
// fileName and `pdfdetach -save` gives back data byte for byte.
struct PdfAttachment {
    QString fileName; // "test-0017.json"
    QByteArray data;
    QString mimeType; // "application/json"; empty: none named
};
// The same PDF with the attachment embedded (none when its data is empty). The attachment is
// handed to the writer before the drawer's painter begins, the only time the writer takes it.
QByteArray PagesPdf(const PageDrawer& draw, const QPageLayout& paper, int resolution,
                    const PdfAttachment& attachment);
// The same with any number of attachments (each test's JSON beside a PDF of several reports).
QByteArray PagesPdf(const PageDrawer& draw, const QPageLayout& paper, int resolution,
                    const QList<PdfAttachment>& attachments);

// A4 portrait, the paper of every PDF the program writes, and its resolution.
QPageLayout A4Paper();
inline constexpr int PdfResolution = 1200;

// The test report on A4: the organisation and its logo, title, test information (the report
// number, nameplate, conditions, the test set and its calibration), the download (and how it
// ended when it did not end complete), the class, its limit row and the decision rule, a
// summary and the overall verdict, the table of groups (its heading on
// every page, 超差 rows boxed and bold for black-and-white print, the reason beside 不判定),
// signature lines, the footnote and the report number beside "第 n 页 / 共 m 页" on each page. One
// layout for printing, the preview and the PDF. Every text is laid out by its measured width and
// wraps, onto further pages where it has to: nothing is cut. False, and nothing drawn, when there
// is no font for Chinese text (see ReportFontProblem).
bool DrawTestReport(QPagedPaintDevice& device, int resolution, const TestReport& report);
// The same pages drawn by a painter begun on any paint device (its fonts are bound to it), each
// page's printable area of the given size in pixels at the resolution from the painter's origin;
// newPage() is called between two pages and gives up the drawing when it returns false.
bool DrawTestReport(QPainter& painter, const QSizeF& area, int resolution,
                    const std::function<bool()>& newPage, const TestReport& report);
// The same as a drawer for PagesPdf and the printing, holding its own copy of the report.
PageDrawer ReportDrawer(const TestReport& report);
// Several reports one after the other, each starting on a page of its own with its own report
// number and its own "第 n 页 / 共 m 页" (the tests of one download, say).
PageDrawer ReportsDrawer(const QList<TestReport>& reports);

// The report's number, printed on every page: the prefix (trailing dashes dropped), the test
// date (yyyyMMdd, left out when the test has none) and the test's number in the record database
// zero-padded to four digits, joined by dashes: "HX-20261209-0017". "未存档" (in the interface's
// language) for a test not archived (archived 0).
QString ReportNumber(const TestInfo& info, qint64 archived);

// Why a report cannot be drawn here, naming the fonts looked for, in the interface's language;
// empty when it can.
QString ReportFontProblem();

} // namespace velantis
