// SPDX-License-Identifier: GPL-3.0-or-later
// velantis-web: the web-page window, in a process of its own so that the web engine's memory and
// any crash of it stay away from the program that shows the readings.

#include "web/web_control.h"
#include "web/web_page_window.h"
#include "windows/web_site.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <cstring>
#include <memory>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

const char* const HelpText =
    "Usage: velantis-web [options]\n"
    "The maker's web page in a small browser window; velantis starts it from its splash.\n"
    "When the page cannot be reached it shows the page that comes with the program.\n"
    "\n"
    "  --home ADDRESS     home address instead of the maker's site,\n"
    "                     e.g. file:///tmp/page.html\n"
    "  --control NAME     report to the program listening on NAME (used by velantis)\n"
    "  --version          print the version\n"
    "  --help             show this help\n";

// --help and --version are answered before the application object is made: without a display
// it would abort.
bool AnswersAtOnce(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(HelpText, stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("velantis-web %s\n", VELANTIS_VERSION);
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (AnswersAtOnce(argc, argv))
        return 0;
#ifdef Q_OS_UNIX
    // The engine's sandbox refuses to run as root and would abort the process.
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
#endif
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName("velantis-web");

    QCommandLineParser parser;
    const QCommandLineOption control(QString(velantis::kControlOption).mid(2),
                                     "Report to the program listening on NAME.", "NAME");
    const QCommandLineOption home(QString(velantis::kHomeOption).mid(2),
                                  "Home address instead of the maker's site.", "ADDRESS");
    parser.addOptions({control, home});
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
