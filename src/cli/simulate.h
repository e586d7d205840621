// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

// `velantis-cli simulate [options]`: runs the simulated instrument on a pseudo-terminal until
// SIGINT/SIGTERM or until its simulated plug is pulled. `args` are the words after "simulate".
// Returns 0, or 2 for bad options.
int RunSimulate(const QStringList& args);
