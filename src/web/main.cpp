// SPDX-License-Identifier: GPL-3.0-or-later
// velantis-web: the web-page window, in a process of its own so that the web engine's memory and
// any crash of it stay away from the program that shows the readings.

#include "i18n/language.h"
#include "web/web_control.h"
#include "web/web_page_window.h"
#include "windows/web_site.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <cstring>
#include <memory>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

QString HelpText() {
    return QCoreApplication::translate(
        "velantis::WebProgram",
        "用法: velantis-web [选项]\n"
        "在一个小浏览器窗口中显示制造商的网页; velantis 从启动画面打开它。\n"
        "网页无法访问时, 显示程序自带的网页。\n"
        "\n"
        "  --home ADDRESS     主页地址, 代替制造商的网站,\n"
        "                     例如 file:///tmp/page.html\n"
        "  --control NAME     向在 NAME 上等待的程序报告 (由 velantis 使用)\n"
        "  --lang zh|en       界面语言: 中文或英文 (默认按系统区域设置)\n"
        "  --version          显示版本\n"
        "  --help             显示本帮助\n");
}

void InstallWindowTranslations(velantis::Language language) {
    velantis::InstallTranslations(
        language, {{QStringLiteral(":/i18n/velantis-web_en"), velantis::Language::Chinese}});
}

// --help and --version are answered before the application object is made: without a display
// it would abort.
enum class Asked { Nothing, Help, Version };
Asked AskedAtOnce(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
            return Asked::Help;
        if (std::strcmp(argv[i], "--version") == 0)
            return Asked::Version;
    }
    return Asked::Nothing;
}

} // namespace

int main(int argc, char** argv) {
    // Set before any application object exists, the help's included.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The window's language: --lang (velantis passes its own), else the locale's.
    const velantis::Language language = velantis::ChosenOrLocale(
        velantis::FindLanguageArgument(argc, argv).language, velantis::CLocaleLanguage::Chinese);
    if (const Asked asked = AskedAtOnce(argc, argv); asked != Asked::Nothing) {
        // The help speaks the window's language; no window system is needed for it.
        QCoreApplication helper(argc, argv);
        InstallWindowTranslations(language);
        std::fputs(qPrintable(asked == Asked::Help ? HelpText()
                                                   : QStringLiteral("velantis-web %1\n")
                                                         .arg(QLatin1String(VELANTIS_VERSION))),
                   stdout);
        return 0;
    }
#ifdef Q_OS_UNIX
    // The engine's sandbox refuses to run as root and would abort the process.
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName("velantis-web");
    InstallWindowTranslations(language);

    QCommandLineParser parser;
    const QCommandLineOption control(QString(velantis::kControlOption).mid(2),
                                     "Report to the program listening on NAME.", "NAME");
    const QCommandLineOption home(QString(velantis::kHomeOption).mid(2),
                                  "Home address instead of the maker's site.", "ADDRESS");
    const QCommandLineOption lang(QStringLiteral("lang"), QString(), QStringLiteral("zh|en"));
    parser.addOptions({control, home, lang});
    // The engine takes options of its own from the command line: leave those alone.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    parser.parse(QApplication::arguments());

    velantis::WebPageWindow window(
        parser.isSet(home) ? parser.value(home) : velantis::WebPageWindow::DefaultHomeAddress());
    std::unique_ptr<velantis::WebControl> channel;
    if (parser.isSet(control)) {
        channel = std::make_unique<velantis::WebControl>(parser.value(control), window);
        QObject::connect(channel.get(), &velantis::WebControl::endRequested, &app,
                         &QCoreApplication::exit);
    }
    window.show();
    return app.exec();
}
