#include "windows/list_printing.h"

#include "windows/fonts.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>

namespace velantis {

bool PrintListText(QPrinter& printer, const QString& text, QString* error) {
    printer.setPageMargins(QMarginsF(20, 15, 15, 15), QPageLayout::Millimeter);
    QStringList lines = text.split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast(); // the list ends with CR LF: no empty line after the last row

    QPainter painter;
    if (!painter.begin(&printer)) {
        if (error) {
            *error = printer.outputFileName().isEmpty()
                         ? QStringLiteral("打印机无法开始打印")
                         : QStringLiteral("无法写入 %1").arg(printer.outputFileName());
        }
        return false;
    }
    // Fonts are given in points; the painter works in device pixels of the printer.
    const QFont font(ListFont(), &printer);
    painter.setFont(font);
    const QFontMetricsF metrics(font, &printer);
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    const QRectF area(0, 0, page.width(), page.height());
    const qreal lineHeight = metrics.lineSpacing();
    const qreal footerHeight = 2 * lineHeight;
    const int perPage = std::max(1, static_cast<int>((area.height() - footerHeight) / lineHeight));
    const int pages = std::max<int>(1, static_cast<int>((lines.size() + perPage - 1) / perPage));

    for (int pageIndex = 0; pageIndex < pages; ++pageIndex) {
        if (pageIndex > 0)
            printer.newPage();
        const qsizetype first = static_cast<qsizetype>(pageIndex) * perPage;
        const qsizetype end = std::min<qsizetype>(lines.size(), first + perPage);
        qreal y = metrics.ascent();
        for (qsizetype i = first; i < end; ++i, y += lineHeight)
            painter.drawText(QPointF(0, y), lines[i]);
        const QString footer = QStringLiteral("第 %1 页 / 共 %2 页").arg(pageIndex + 1).arg(pages);
        painter.drawText(QRectF(0, area.height() - lineHeight, area.width(), lineHeight),
                         Qt::AlignHCenter | Qt::AlignBottom, footer);
    }
    painter.end();
    return true;
}

} // namespace velantis
