// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/logo_image.h"

#include "records/test_report.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

namespace velantis {

namespace {

// Printed 15 mm high, a logo needs no more pixels than this in height.
constexpr int LogoHeight = 600;

QByteArray Fail(LogoProblem* problem, LogoProblem::Reason reason, const QString& system = {}) {
    *problem = {reason, system};
    return {};
}

QByteArray Png(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

QByteArray LogoFromFile(const QString& path, LogoProblem* problem) {
    using R = LogoProblem::Reason;
    *problem = {};
    const QFileInfo info(path);
    // A FIFO or a device would block the reading or never end.
    if (!info.isFile())
        return Fail(problem, info.exists() ? R::NotAFile : R::NoFile);
    if (info.size() > MaxLogoFileBytes)
        return Fail(problem, R::FileTooBig);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Fail(problem, R::CannotRead, file.errorString());
    const QByteArray bytes = file.readAll();
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QByteArray format = reader.format();
    if (format != "png" && format != "jpeg")
        return Fail(problem, R::NotAnImage);
    if (format == "png" && bytes.size() <= MaxLogoBytes)
        return bytes;
    QImage image = reader.read();
    if (image.isNull())
        return Fail(problem, R::NotAnImage, reader.errorString());
    if (image.height() > LogoHeight)
        image = image.scaledToHeight(LogoHeight, Qt::SmoothTransformation);
    QByteArray png = Png(image);
    while (png.size() > MaxLogoBytes && image.width() > 1 && image.height() > 1) {
        image = image.scaled(image.width() / 2, image.height() / 2, Qt::KeepAspectRatio,
                             Qt::SmoothTransformation);
        png = Png(image);
    }
    if (png.isEmpty() || png.size() > MaxLogoBytes)
        return Fail(problem, R::NotAnImage);
    return png;
}

} // namespace velantis
