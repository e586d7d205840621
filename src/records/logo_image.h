// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace velantis {

// Why an image file gives no logo; each caller says it in its own words.
struct LogoProblem {
    enum class Reason {
        None,
        NoFile,     // nothing at the path
        NotAFile,   // a folder, a FIFO, a device
        FileTooBig, // larger than MaxLogoFileBytes: not read at all
        CannotRead, // see system
        NotAnImage, // no PNG or JPEG image
    };
    Reason reason = Reason::None;
    QString system;
};

// A picture file larger than this is not read at all.
inline constexpr qint64 MaxLogoFileBytes = 32 * 1024 * 1024;

// The logo an image file gives, as PNG bytes of at most MaxLogoBytes: a PNG file that small is
// taken byte for byte; any other PNG or JPEG is converted, and scaled down until it fits. Empty,
// and the problem, when the file cannot be read or is no image.
QByteArray LogoFromFile(const QString& path, LogoProblem* problem);

} // namespace velantis
