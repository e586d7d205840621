// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace velantis {

// How a download ended.
enum class DownloadEnd {
    None,      // no download yet
    Running,   // still going
    EndFrame,  // the instrument said it has no more groups
    Watchdog,  // three repeats of one request went unanswered
    LinkLost,  // no valid frame for more than 30 supervision ticks
    StoreFull, // the instrument announced more groups than the 4000 the store holds
    // The instrument ended the download (end frame) before every announced group was stored,
    // or before any count had arrived: never a complete download.
    Incomplete,
    // The program was closed or stopped (window closed, SIGTERM, SIGINT) while it read.
    Interrupted,
};

} // namespace velantis
