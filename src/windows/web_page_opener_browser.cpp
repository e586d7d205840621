// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/web_page_opener.h"

#include "windows/web_site.h"

#include <QDesktopServices>
#include <QUrl>

namespace velantis {

// The address is written as a host name; the browser gets it with its scheme.
void OpenWebPage(WebLauncher&) {
    QDesktopServices::openUrl(QUrl(QStringLiteral("http://") + QLatin1String(kHomeAddress)));
}

} // namespace velantis
