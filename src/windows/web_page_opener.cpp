// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/web_page_opener.h"

#include "windows/web_launcher.h"

namespace velantis {

void OpenWebPage(WebLauncher& web) {
    web.show();
}

} // namespace velantis
