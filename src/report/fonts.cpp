// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace velantis {

namespace {

// The first of the families that is installed; fontconfig would otherwise quietly substitute
// a proportional Latin face for a missing one.
QFont FirstInstalled(const QStringList& families, qreal pointSize, bool bold) {
    QString family = families.constLast();
    for (const QString& f : families) {
        if (QFontDatabase::hasFamily(f)) {
            family = f;
            break;
        }
    }
    QFont font(family);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

} // namespace

QFont SongFont(qreal pointSize, bool bold) {
    return FirstInstalled(
        {QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Zen Hei")},
        pointSize, bold);
}

QFont ListFont() {
    QFont font = FirstInstalled({QStringLiteral("宋体"), QStringLiteral("SimSun"),
                                 QStringLiteral("WenQuanYi Zen Hei Mono")},
                                9, false);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

} // namespace velantis
