#pragma once

#include <QString>

class QPrinter;

namespace velantis {

// Lays the list's text out on the printer's pages: the list font, margins, as many lines as fit
// on a page, and "第 n 页 / 共 m 页" at the foot of each page. False with the reason when the
// printer (or the PDF file behind it) cannot be started.
bool PrintListText(QPrinter& printer, const QString& text, QString* error);

} // namespace velantis
