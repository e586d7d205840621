// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary file contents through Open, the list view and Save.
//
// Open must take any file within the size limit and show what the system's own converter (iconv)
// reads in it: GBK, or UTF-8 after the UTF-8 mark; where iconv finds a bad sequence, at least
// every byte below 0x40 (which no GBK or UTF-8 sequence contains) must come through as itself, in
// order. The list view must break the text into the lines CR LF, LF and CR end. Save must write
// what iconv makes of the text in GBK plus CR LF, refuse a text with a replacement character with
// a reason and keep the old file, and whatever it writes must open to the same text. One list
// view serves every input; the files live in memory-backed storage.
#include "fuzz_check.h"

#include "records/data_file.h"
#include "windows/list_view.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QRegularExpression>

#include <iconv.h>

#include <optional>

using namespace velantis;

namespace {

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size() && file.flush();
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The bytes converted whole by iconv; nothing on any invalid or incomplete sequence.
std::optional<QByteArray> Iconv(const char* to, const char* from, const QByteArray& in) {
    const iconv_t cd = iconv_open(to, from);
    FUZZ_CHECK(cd != iconv_t(-1), "iconv knows GBK, UTF-8 and UTF-16LE");
    QByteArray out(in.size() * 4 + 16, '\0');
    char* inAt = const_cast<char*>(in.constData());
    std::size_t inLeft = std::size_t(in.size());
    char* outAt = out.data();
    std::size_t outLeft = std::size_t(out.size());
    const bool ok = iconv(cd, &inAt, &inLeft, &outAt, &outLeft) != std::size_t(-1) &&
                    iconv(cd, nullptr, nullptr, &outAt, &outLeft) != std::size_t(-1);
    iconv_close(cd);
    if (!ok)
        return std::nullopt;
    out.truncate(out.size() - qsizetype(outLeft));
    return out;
}

std::optional<QString> IconvDecode(const char* from, const QByteArray& bytes) {
    const auto utf16 = Iconv("UTF-16LE", from, bytes);
    if (!utf16)
        return std::nullopt;
    return QString(reinterpret_cast<const QChar*>(utf16->constData()), utf16->size() / 2);
}

// The characters below 0x40 (no GBK or UTF-8 sequence holds such a byte but as itself).
QString BelowAt(const QString& text) {
    QString out;
    for (const QChar c : text) {
        if (c.unicode() < 0x40)
            out += c;
    }
    return out;
}

ListView* g_view = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(*argc, *argv);
    static ListView view;
    view.resize(320, 200);
    g_view = &view;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QString opened = QDir(velantis::fuzz::MemoryFolder()).filePath("opened.txt");
    static const QString saved = QDir(velantis::fuzz::MemoryFolder()).filePath("saved.txt");
    static const QByteArray Utf8Mark("\xEF\xBB\xBF");
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    FUZZ_CHECK(WriteFile(opened, bytes), "the input is written");

    QString text = QStringLiteral("kept");
    QString error;
    FUZZ_CHECK(LoadDataFile(opened, &text, &error), "any file within the limit opens");
    const bool marked = bytes.startsWith(Utf8Mark);
    const QByteArray body = marked ? bytes.mid(Utf8Mark.size()) : bytes;
    if (auto want = IconvDecode(marked ? "UTF-8" : "GBK", body)) {
        if (marked && want->startsWith(QChar::ByteOrderMark))
            want->remove(0, 1); // a second mark goes with the first
        FUZZ_CHECK(text == *want, "Open shows the file's text");
    }
    FUZZ_CHECK(BelowAt(text) == BelowAt(QString::fromLatin1(body)),
               "every byte below 0x40 comes through as itself");

    // Lines end at CR LF, LF or CR; a last line without an end counts when it holds anything.
    QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    if (lines.size() > 1 && lines.last().isEmpty())
        lines.removeLast();
    ListView& view = *g_view;
    view.setText(text);
    FUZZ_CHECK(view.lineCount() == lines.size(), "the list has the text's lines");
    for (qsizetype i = 0; i < lines.size(); ++i)
        FUZZ_CHECK(view.line(i) == lines[i], "a list line is the text's line");
    view.selectAll();
    FUZZ_CHECK(view.selectedText() == lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"),
               "select all takes every line");
    if (size < 4096) {
        QImage image(view.size(), QImage::Format_ARGB32);
        view.render(&image); // painting any text must not fail
    }

    // Save over an existing file: the text in GBK, or a refusal that keeps the old file.
    const QByteArray old("old contents\r\n");
    FUZZ_CHECK(WriteFile(saved, old), "the old file is written");
    QString saveError;
    const bool ok = SaveDataFile(saved, text, &saveError);
    const QByteArray utf16(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    if (const auto gbk = Iconv("GBK", "UTF-16LE", utf16)) {
        FUZZ_CHECK(ok, "a GBK text saves");
        FUZZ_CHECK(ReadFile(saved) == *gbk + "\r\n", "Save writes the text in GBK and CR LF");
    } else if (text.contains(QChar::ReplacementCharacter)) {
        FUZZ_CHECK(!ok, "a text GBK cannot hold is refused");
    }
    if (ok) {
        QString back;
        FUZZ_CHECK(LoadDataFile(saved, &back, nullptr), "a saved file opens");
        FUZZ_CHECK(back == text + QStringLiteral("\r\n") || ReadFile(saved).startsWith(Utf8Mark),
                   "a saved file opens to the same text");
    } else {
        FUZZ_CHECK(!saveError.isEmpty(), "a refusal says why");
        FUZZ_CHECK(ReadFile(saved) == old, "a refused save keeps the old file");
    }
    return 0;
}
