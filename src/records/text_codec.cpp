// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/text_codec.h"

#include <QCoreApplication>
#include <QStringDecoder>
#include <QStringEncoder>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace velantis {

namespace {

constexpr const char* GbkName = "GBK";

#ifdef Q_OS_WIN
// Qt builds without ICU know no GBK; Windows itself always has code page 936.
constexpr UINT Gbk = 936;
#endif

// Whether the bytes end in a byte that opens a two-byte code with nothing after it. Walked as
// the decoders do: a lead byte (0x81..0xFE) with a trail byte (0x40..0xFE but 0x7F) is one code,
// a lead byte followed by anything else stands alone.
bool EndsInLoneLeadByte(const QByteArray& bytes) {
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x81 || lead > 0xFE)
            continue;
        if (i + 1 == n)
            return true;
        const auto trail = static_cast<unsigned char>(bytes[i + 1]);
        if (trail >= 0x40 && trail <= 0xFE && trail != 0x7F)
            ++i;
    }
    return false;
}

QString DecodeWhole(const QByteArray& bytes) {
    QStringDecoder decoder(GbkName, QStringConverter::Flag::Stateless);
    if (decoder.isValid())
        return decoder.decode(bytes);
#ifdef Q_OS_WIN
    const int size = MultiByteToWideChar(Gbk, 0, bytes.constData(), int(bytes.size()), nullptr, 0);
    QString out(size, Qt::Uninitialized);
    MultiByteToWideChar(Gbk, 0, bytes.constData(), int(bytes.size()),
                        reinterpret_cast<wchar_t*>(out.data()), size);
    return out;
#else
    return QString::fromLocal8Bit(bytes);
#endif
}

} // namespace

bool QtCodecAvailable(const char* name) {
    return QStringEncoder(name).isValid() && QStringDecoder(name).isValid();
}

bool GbkCodecAvailable(const CodecLookup& lookup) {
#ifdef Q_OS_WIN
    if (IsValidCodePage(Gbk))
        return true;
#endif
    return lookup && lookup(GbkName);
}

QString NoGbkCodecMessage() {
    return QCoreApplication::translate(
        "TextCodec",
        "This build of Qt has no GBK text codec (Qt needs ICU for it), so the program cannot "
        "read or write its data files. Install a Qt built with ICU and start it again.");
}

// Without a codec (which the start-up check rules out) the text goes through the system's own
// 8-bit encoding rather than stopping the program.
QByteArray EncodeGbk(const QString& text) {
    QStringEncoder encoder(GbkName, QStringConverter::Flag::Stateless);
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
    return text.toLocal8Bit();
#endif
}

QString DecodeGbk(const QByteArray& bytes) {
    // The decoders drop a lead byte left without its trail at the very end (a file cut short);
    // it is shown as the replacement character, like any other broken sequence.
    if (EndsInLoneLeadByte(bytes))
        return DecodeWhole(bytes.chopped(1)) + QChar(QChar::ReplacementCharacter);
    return DecodeWhole(bytes);
}

std::optional<QByteArray> EncodeGbkExact(const QString& text, QString* firstUnencodable) {
    QStringEncoder encoder(GbkName, QStringConverter::Flag::Stateless);
    QByteArray bytes;
    bool failed = false;
    if (encoder.isValid()) {
        bytes = encoder.encode(text);
        failed = encoder.hasError();
    } else {
        bytes = EncodeGbk(text);
        failed = DecodeGbk(bytes) != text;
    }
    if (!failed)
        return bytes;
    if (firstUnencodable) {
        // Character by character (surrogate pairs kept together) to find the first that fails.
        firstUnencodable->clear();
        for (qsizetype i = 0; i < text.size(); ++i) {
            const qsizetype len = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            const QString one = text.mid(i, len);
            QStringEncoder single(GbkName, QStringConverter::Flag::Stateless);
            bool bad = false;
            if (single.isValid()) {
                const QByteArray encoded = single.encode(one); // the encoder works on conversion
                bad = single.hasError() || encoded.isEmpty();
            } else {
                bad = DecodeGbk(EncodeGbk(one)) != one;
            }
            if (bad) {
                *firstUnencodable = one;
                break;
            }
            i += len - 1;
        }
    }
    return std::nullopt;
}

} // namespace velantis
