// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/list_printing.h"

#include "records/data_file.h"
#include "records/test_json.h"
#include "report/fonts.h"
#include "windows/file_messages.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>

namespace velantis {

namespace {

const QMarginsF ListMargins(20, 15, 15, 15); // millimetres

QPageLayout WithListMargins(const QPageLayout& paper) {
    return QPageLayout(paper.pageSize(), paper.orientation(), ListMargins, QPageLayout::Millimeter);
}

bool SavePdf(const QString& path, const QByteArray& pdf, QString* message) {
    FileError failure;
    if (SaveFileBytes(path, pdf, nullptr, &failure))
        return true;
    if (message)
        *message = SaveFailureText(path, failure);
    return false;
}

PageDrawer ListDrawer(const QString& text) {
    return [text](QPagedPaintDevice& device, int resolution) {
        return DrawListPages(device, resolution, text);
    };
}

} // namespace

bool PrintPages(QPrinter& printer, const PageDrawer& draw, QString* message,
                const QList<PdfAttachment>& attachments) {
    const QString file = printer.outputFileName();
    if (!file.isEmpty())
        return SavePdf(
            file, PagesPdf(draw, printer.pageLayout(), printer.resolution(), attachments), message);
    if (draw(printer, printer.resolution()))
        return true;
    if (message)
        *message = QCoreApplication::translate("velantis::ListPrinting", "打印机无法开始打印。");
    return false;
}

bool ExportPagesPdf(const QString& path, const PageDrawer& draw, QString* message,
                    const QList<PdfAttachment>& attachments) {
    return SavePdf(path, PagesPdf(draw, A4Paper(), PdfResolution, attachments), message);
}

PdfAttachment TestJsonAttachment(const TestRecord& test, const QList<ArchivedGroup>& groups) {
    return {TestJsonFileName(test.number), TestJson(test, groups),
            QStringLiteral("application/json")};
}

bool DrawListPages(QPagedPaintDevice& device, int resolution, const QString& text) {
    device.setPageLayout(WithListMargins(device.pageLayout()));
    QStringList lines = text.split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast(); // the list ends with CR LF: no empty line after the last row

    QPainter painter;
    if (!painter.begin(&device))
        return false;
    // Fonts are given in points; the painter works in device pixels.
    const QFont font(ListFont(), &device);
    painter.setFont(font);
    const QFontMetricsF metrics(font, &device);
    const QRectF page = device.pageLayout().paintRectPixels(resolution);
    const QRectF area(0, 0, page.width(), page.height());
    const qreal lineHeight = metrics.lineSpacing();
    const qreal footerHeight = 2 * lineHeight;
    const int perPage = std::max(1, static_cast<int>((area.height() - footerHeight) / lineHeight));
    const int pages = std::max<int>(1, static_cast<int>((lines.size() + perPage - 1) / perPage));

    for (int pageIndex = 0; pageIndex < pages; ++pageIndex) {
        if (pageIndex > 0)
            device.newPage();
        const qsizetype first = static_cast<qsizetype>(pageIndex) * perPage;
        const qsizetype end = std::min<qsizetype>(lines.size(), first + perPage);
        qreal y = metrics.ascent();
        for (qsizetype i = first; i < end; ++i, y += lineHeight)
            painter.drawText(QPointF(0, y), lines[i]);
        const QString footer =
            QCoreApplication::translate("velantis::ListPrinting", "第 %1 页 / 共 %2 页")
                .arg(pageIndex + 1)
                .arg(pages);
        painter.drawText(QRectF(0, area.height() - lineHeight, area.width(), lineHeight),
                         Qt::AlignHCenter | Qt::AlignBottom, footer);
    }
    return painter.end();
}

QByteArray ListPdf(const QString& text, const QPageLayout& paper, int resolution) {
    return PagesPdf(ListDrawer(text), paper, resolution);
}

bool PrintListText(QPrinter& printer, const QString& text, QString* message) {
    return PrintPages(printer, ListDrawer(text), message);
}

bool ExportListPdf(const QString& path, const QString& text, QString* message) {
    return ExportPagesPdf(path, ListDrawer(text), message);
}

} // namespace velantis
