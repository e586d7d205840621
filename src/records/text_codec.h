#pragma once

#include <QByteArray>
#include <QString>

namespace velantis {

// Files of this program are in GBK (code page 936), without a byte-order mark.
QByteArray EncodeGbk(const QString& text);
QString DecodeGbk(const QByteArray& bytes);

} // namespace velantis
