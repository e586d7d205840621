// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace velantis {

// Files of this program are in GBK (code page 936), without a byte-order mark.
QByteArray EncodeGbk(const QString& text);
QString DecodeGbk(const QByteArray& bytes);

// GBK bytes of text, or nothing when a character has no GBK form; *firstUnencodable then
// names the first such character.
std::optional<QByteArray> EncodeGbkExact(const QString& text, QString* firstUnencodable);

// Whether a text codec of the given name can be had (both directions).
using CodecLookup = std::function<bool(const char* name)>;
bool QtCodecAvailable(const char* name);

// Whether the program can read and write its GBK files: Qt's codec (from ICU), or on Windows the
// system's code page 936. The programs check this once at start-up and stop with
// NoGbkCodecMessage() and NoGbkCodecExitCode when it fails.
bool GbkCodecAvailable(const CodecLookup& lookup = QtCodecAvailable);
QString NoGbkCodecMessage();
inline constexpr int NoGbkCodecExitCode = 6;

} // namespace velantis
