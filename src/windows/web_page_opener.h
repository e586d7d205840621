// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace velantis {

class WebLauncher;

// Shows the maker's web page when the user asks for it. Which way is the build's choice: the
// web-page window (velantis-web, started or raised by `web`) where the program comes with one,
// the system's browser on Windows, whose build has no web engine.
void OpenWebPage(WebLauncher& web);

} // namespace velantis
