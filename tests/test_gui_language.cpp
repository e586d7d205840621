// SPDX-License-Identifier: GPL-3.0-or-later
// The windows in each language: every caption, menu, tooltip and status text a user reads, walked
// over the main window, the print-range dialog, the test information dialog, the history window
// and the test report. In English none of them holds a Chinese character; in Chinese they are
// the windows' own texts. The list and the data formats stay as they are in both.
#include "support/window_fixture.h"

#include "link/monitor.h"
#include "report/report_pages.h"
#include "report/shown_texts.h"
#include "windows/history_window.h"
#include "windows/interface_language.h"
#include "windows/list_view.h"
#include "windows/print_range_dialog.h"
#include "windows/test_info_dialog.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QBuffer>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QTranslator>

namespace velantis {
namespace {

using testing::WindowFixture;

bool HasChinese(const QString& text) {
    static const QRegularExpression han(QStringLiteral("\\p{Han}"));
    return text.contains(han);
}

void AddActions(const QList<QAction*>& actions, QStringList& texts) {
    for (QAction* a : actions) {
        // The language menu names each language in its own words.
        if (a->objectName() == LanguageCode(Language::Chinese))
            continue;
        texts << a->text() << a->toolTip() << a->statusTip();
        if (a->menu())
            AddActions(a->menu()->actions(), texts);
    }
}

// What a user reads on a window and its children, leaving out the list (a data format).
QStringList ReadableTexts(QWidget* root) {
    QStringList texts;
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* w : widgets) {
        if (qobject_cast<ListView*>(w))
            continue;
        texts << w->windowTitle() << w->toolTip() << w->statusTip();
        AddActions(w->actions(), texts);
        if (auto* l = qobject_cast<QLabel*>(w))
            texts << l->text();
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            texts << b->text();
        if (auto* g = qobject_cast<QGroupBox*>(w))
            texts << g->title();
        if (auto* e = qobject_cast<QLineEdit*>(w))
            texts << e->text() << e->placeholderText();
        if (auto* c = qobject_cast<QComboBox*>(w))
            for (int i = 0; i < c->count(); ++i)
                texts << c->itemText(i);
        if (auto* v = qobject_cast<QAbstractItemView*>(w); v && v->model()) {
            const QAbstractItemModel* m = v->model();
            for (int c = 0; c < m->columnCount(); ++c) {
                texts << m->headerData(c, Qt::Horizontal).toString();
                for (int r = 0; r < m->rowCount(); ++r)
                    texts << m->index(r, c).data().toString();
            }
        }
    }
    texts.removeAll(QString());
    return texts;
}

// The report's pages as text (pdftotext), or an empty string where it is not installed.
QString ReportText(const TestReport& report, const QString& folder) {
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&pdf);
        EXPECT_TRUE(DrawTestReport(writer, 300, report));
    }
    const QString path = folder + QStringLiteral("/report.pdf");
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(pdf.data()) == pdf.size());
    file.close();
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!p.waitForFinished(30000))
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

class InterfaceLanguage : public WindowFixture, public ::testing::WithParamInterface<Language> {
protected:
    void SetUp() override {
        missing = InstallTranslations(GetParam(), WindowCatalogues());
        WindowFixture::SetUp();
    }
    void TearDown() override {
        WindowFixture::TearDown();
        for (QTranslator* t : QCoreApplication::instance()->findChildren<QTranslator*>()) {
            QCoreApplication::removeTranslator(t);
            delete t;
        }
    }
    QStringList missing;
};

TEST_P(InterfaceLanguage, WindowsDialogsAndReportSpeakIt) {
    const bool english = GetParam() == Language::English;
    // Qt's Chinese dialog texts come with Qt's translations package; the program's own are built
    // in.
    missing.removeAll(QStringLiteral("qtbase_zh_CN"));
    EXPECT_TRUE(missing.isEmpty()) << missing.join(u' ').toStdString();

    window->setRecordsPath(folder.filePath(QStringLiteral("records.sqlite")));
    TestInfo info;
    info.station = QStringLiteral("North");
    info.accuracy = AccuracyClass::C0_5;
    window->setTestInfo(info);
    download(5);
    window->ShowHistory();
    ASSERT_NE(window->historyWindow(), nullptr);
    TestInfoDialog infoDialog(window->testInfo(), QStringLiteral("100/5A"));
    find<QPushButton>("Command6")->click();
    ASSERT_NE(window->printRangeDialog(), nullptr);

    QStringList texts = ReadableTexts(window) + ReadableTexts(window->printRangeDialog()) +
                        ReadableTexts(window->historyWindow()) + ReadableTexts(&infoDialog);
    const QString report = ReportText(window->currentReport(), folder.path());
    if (!report.isEmpty())
        texts << report;
    window->printRangeDialog()->close();

    if (english) {
        for (const QString& text : texts)
            EXPECT_FALSE(HasChinese(text)) << text.toStdString();
        EXPECT_TRUE(texts.contains(QStringLiteral("Print Options")));
        EXPECT_TRUE(texts.contains(QStringLiteral("Test Records")));
    } else {
        for (const char* own : {"文件", "操作", "打  开", "删除数据", "状态信息", "打印选项",
                                "确  定", "历史记录", "测试信息", "准确级", "合格"})
            EXPECT_TRUE(texts.contains(QString::fromUtf8(own))) << own;
        if (!report.isEmpty()) {
            EXPECT_TRUE(report.contains(QStringLiteral("电流互感器变比试验报告")));
        }
    }
    // The list is the same bytes in both languages.
    EXPECT_TRUE(find<ListView>("RichTextBox1")->text().contains(QStringLiteral("组数")));
}

// The controller's texts of every form, with numbers, devices and paths kept as they are (a '%'
// in a device name included) and nothing of them left in Chinese in English.
TEST_P(InterfaceLanguage, ControllerTextsKeepWhatIsPutIn) {
    QStringList texts;
    for (DownloadEnd end : {DownloadEnd::Running, DownloadEnd::EndFrame, DownloadEnd::Watchdog,
                            DownloadEnd::LinkLost, DownloadEnd::StoreFull, DownloadEnd::Incomplete})
        texts << DownloadSummary(end, 12, 200);
    texts << SlowAdapterNotice(QStringLiteral("/dev/ttyUSB%1"),
                               {16, QStringLiteral("/sys/x/latency_timer")});
    for (const QString& text : texts) {
        const QString shown = ShownText(text);
        if (GetParam() == Language::Chinese) {
            EXPECT_EQ(shown, text);
            continue;
        }
        EXPECT_FALSE(HasChinese(shown)) << shown.toStdString();
        EXPECT_TRUE(shown.contains(QStringLiteral("12/200")) ||
                    (shown.contains(QStringLiteral("/dev/ttyUSB%1")) &&
                     shown.contains(QStringLiteral("/sys/x/latency_timer"))))
            << shown.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Both, InterfaceLanguage,
                         ::testing::Values(Language::Chinese, Language::English),
                         [](const auto& info) { return LanguageCode(info.param).toStdString(); });

} // namespace
} // namespace velantis
