// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>

namespace velantis {

// A line on the given stream (standard error unless told), UTF-8, written at once.
inline void PrintLine(const QString& text, std::FILE* to = stderr) {
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), to);
    std::fflush(to);
}

} // namespace velantis
