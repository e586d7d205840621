#include "records/text_codec.h"

#include <QStringDecoder>
#include <QStringEncoder>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace velantis {

namespace {

#ifdef Q_OS_WIN
// Qt builds without ICU know no GBK; Windows itself always has code page 936.
constexpr UINT Gbk = 936;
#endif

} // namespace

QByteArray EncodeGbk(const QString& text) {
    QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    if (encoder.isValid())
        return encoder.encode(text);
#ifdef Q_OS_WIN
    const auto* wide = reinterpret_cast<const wchar_t*>(text.utf16());
    const int size =
        WideCharToMultiByte(Gbk, 0, wide, int(text.size()), nullptr, 0, nullptr, nullptr);
    QByteArray out(size, Qt::Uninitialized);
    WideCharToMultiByte(Gbk, 0, wide, int(text.size()), out.data(), size, nullptr, nullptr);
    return out;
#else
    qFatal("This Qt build has no GBK codec (it needs ICU)");
#endif
}

QString DecodeGbk(const QByteArray& bytes) {
    QStringDecoder decoder("GBK", QStringConverter::Flag::Stateless);
    if (decoder.isValid())
        return decoder.decode(bytes);
#ifdef Q_OS_WIN
    const int size = MultiByteToWideChar(Gbk, 0, bytes.constData(), int(bytes.size()), nullptr, 0);
    QString out(size, Qt::Uninitialized);
    MultiByteToWideChar(Gbk, 0, bytes.constData(), int(bytes.size()),
                        reinterpret_cast<wchar_t*>(out.data()), size);
    return out;
#else
    qFatal("This Qt build has no GBK codec (it needs ICU)");
#endif
}

} // namespace velantis
