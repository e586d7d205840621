// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/fonts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QStandardPaths>
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

bool WritesChinese(const QString& family) {
    return QFontDatabase::writingSystems(family).contains(QFontDatabase::SimplifiedChinese);
}

// The first family of a font file that holds Chinese, loaded into the program; empty when the
// file is not there or holds none.
QString Loaded(const QString& path) {
    if (!QFileInfo(path).isFile())
        return {};
    const int id = QFontDatabase::addApplicationFont(path);
    if (id < 0)
        return {};
    for (const QString& family : QFontDatabase::applicationFontFamilies(id))
        if (WritesChinese(family))
            return family;
    QFontDatabase::removeApplicationFont(id);
    return {};
}

QString FindChineseFamily() {
    for (const QString& f :
         {QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Zen Hei")})
        if (QFontDatabase::hasFamily(f) && WritesChinese(f))
            return f;
    for (const QString& f : QFontDatabase::families(QFontDatabase::SimplifiedChinese))
        if (QFontDatabase::isSmoothlyScalable(f))
            return f;
    // Windows' own Chinese fonts, by their file names: SimSun, Microsoft YaHei, SimHei.
    for (const QString& folder : QStandardPaths::standardLocations(QStandardPaths::FontsLocation))
        for (const char* file : {"simsun.ttc", "msyh.ttc", "simhei.ttf"})
            if (QString family = Loaded(QDir(folder).filePath(QString::fromLatin1(file)));
                !family.isEmpty())
                return family;
    return Loaded(ShippedFontPath());
}

} // namespace

QString ChineseFontFamily() {
    static const QString family = FindChineseFamily();
    return family;
}

QString ShippedFontPath() {
    return QDir(QCoreApplication::applicationDirPath())
        .filePath(QStringLiteral("fonts/wqy-microhei.ttc"));
}

QFont SongFont(qreal pointSize, bool bold) {
    const QString chinese = ChineseFontFamily();
    return FirstInstalled({QStringLiteral("宋体"), QStringLiteral("SimSun"),
                           chinese.isEmpty() ? QStringLiteral("WenQuanYi Zen Hei") : chinese},
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
