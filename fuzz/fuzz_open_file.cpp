// Arbitrary file contents through Open, the list view and Save.
//
// Open must take any file within the size limit, decoding it as the list shows it; the list
// view must index every line without its line end; Save of that text must either write a file
// that opens to the same text (plus the CR LF Save adds) or refuse with a reason and leave the
// file that was there untouched.
#include "fuzz_check.h"

#include "records/data_file.h"
#include "windows/list_view.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

using namespace velantis;
using velantis::fuzz::GbkEncodable;

namespace {

QTemporaryDir* g_folder = nullptr;

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size() && file.flush();
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(*argc, *argv);
    static QTemporaryDir folder;
    g_folder = &folder;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString opened = g_folder->filePath(QStringLiteral("opened.txt"));
    FUZZ_CHECK(WriteFile(opened, bytes), "the input is written");

    QString text = QStringLiteral("kept");
    QString error;
    FUZZ_CHECK(LoadDataFile(opened, &text, &error), "any file within the limit opens");
    static const QByteArray Utf8Mark("\xEF\xBB\xBF");
    const QString want =
        bytes.startsWith(Utf8Mark) ? QString::fromUtf8(bytes.mid(3)) : DecodeGbk(bytes);
    FUZZ_CHECK(text == want, "Open shows the file's text");

    ListView view;
    view.resize(320, 200);
    view.setText(text);
    FUZZ_CHECK(view.text() == text, "the list holds the text as opened");
    qsizetype chars = 0;
    for (qsizetype i = 0; i < view.lineCount(); ++i) {
        const QString line = view.line(i);
        FUZZ_CHECK(!line.contains(QLatin1Char('\r')) && !line.contains(QLatin1Char('\n')),
                   "a list line holds no line end");
        chars += line.size();
    }
    FUZZ_CHECK(view.lineCount() >= 1 && chars <= text.size(), "the lines are inside the text");
    view.selectAll();
    FUZZ_CHECK(view.selectedText().size() >= chars, "select all takes every line");
    if (size < 4096) {
        QImage image(view.size(), QImage::Format_ARGB32);
        view.render(&image); // painting any text must not fail
    }

    // Save over an existing file: the same text back, or a refusal that keeps the old file.
    const QString saved = g_folder->filePath(QStringLiteral("saved.txt"));
    const QByteArray old("old contents\r\n");
    FUZZ_CHECK(WriteFile(saved, old), "the old file is written");
    QString saveError;
    const bool ok = SaveDataFile(saved, text, &saveError);
    if (GbkEncodable(text)) {
        FUZZ_CHECK(ok, "a GBK text saves");
        FUZZ_CHECK(ReadFile(saved) == DataFileBytes(text), "Save writes the list's bytes");
        QString back;
        FUZZ_CHECK(LoadDataFile(saved, &back, nullptr), "a saved file opens");
        FUZZ_CHECK(back == text + QStringLiteral("\r\n") ||
                       DataFileBytes(text).startsWith(Utf8Mark),
                   "a saved file opens to the same text");
    } else {
        FUZZ_CHECK(!ok && !saveError.isEmpty(), "a text GBK cannot hold is refused with a reason");
        FUZZ_CHECK(ReadFile(saved) == old, "a refused save keeps the old file");
    }
    return 0;
}
