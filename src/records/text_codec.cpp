#include "records/text_codec.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace velantis {

QByteArray EncodeGbk(const QString& text) {
    QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    if (!encoder.isValid())
        qFatal("This Qt build has no GBK codec (it needs ICU)");
    return encoder.encode(text);
}

QString DecodeGbk(const QByteArray& bytes) {
    QStringDecoder decoder("GBK", QStringConverter::Flag::Stateless);
    if (!decoder.isValid())
        qFatal("This Qt build has no GBK codec (it needs ICU)");
    return decoder.decode(bytes);
}

} // namespace velantis
