// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "records/test_report.h"

#include <QByteArray>

#include <functional>

class QPageLayout;
class QPagedPaintDevice;

namespace velantis {

// Draws pages on a paged device (a printer, a PDF writer) at its resolution; false when the
// device cannot be painted on.
using PageDrawer = std::function<bool(QPagedPaintDevice& device, int resolution)>;

// The pages as a whole PDF in memory, on the given paper at the given resolution; empty when
// they could not be drawn.
QByteArray PagesPdf(const PageDrawer& draw, const QPageLayout& paper, int resolution);

// A4 portrait, the paper of every PDF the program writes, and its resolution.
QPageLayout A4Paper();
inline constexpr int PdfResolution = 1200;

// The test report on A4: title, test information, the download, the class and its limit row, a
// summary, the table of groups (its heading on every page, 超差 rows boxed and bold for
// black-and-white print), signature lines, the footnote and "第 n 页 / 共 m 页" on each page. One
// layout for printing, the preview and the PDF.
bool DrawTestReport(QPagedPaintDevice& device, int resolution, const TestReport& report);
// The same as a drawer for PagesPdf and the printing, holding its own copy of the report.
PageDrawer ReportDrawer(const TestReport& report);

} // namespace velantis
