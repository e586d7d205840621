// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The controller keeps its state as Chinese texts, and the verdicts are Chinese words in the data
// formats (velantis-cli prints them as they are, and scripts read them). The windows and the test
// report show them in the interface's language.
#include "records/download_end.h"

#include <QString>

namespace velantis {

// The controller's text in the interface's language: a text of one of the controller's forms is
// looked up in the translation, with the numbers, devices, paths and system reasons in it kept
// (and themselves looked up where they are the controller's texts). Any other text is shown as
// it is.
QString ShownText(const QString& controllerText);

// How a download ended, for the report and the history window, in the interface's language:
// empty for a complete download, else the groups stored of those announced and the reason,
// "58 / 100 组, 通信中断" ("?" where no count arrived).
QString DownloadEndingText(DownloadEnd how, int stored, int announced);

} // namespace velantis
