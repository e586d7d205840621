// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "records/record_store.h"

#include <QString>

namespace velantis {

// Line 1 and line 2 of every list, each ended by CR LF.
QString HistoryHeading();

// The file the Windows setup program leaves beside the programs it installs.
inline const QString InstalledMarker = QStringLiteral("velantis.installed");
// Whether the program in programFolder was installed by the setup program (the marker file is
// there). A portable copy (the zip, a build) is not.
bool InstalledBySetup(const QString& programFolder);
// The folder the history file is kept in: beside a portable program, in the user's data folder
// (made when missing) for an installed one, whose program folder holds only what the setup
// program put there.
QString HistoryFolder(const QString& programFolder);

// The two list texts (the visible list and the print buffer), rebuilt from the record store
// through the history file "lishi.txt" in the program's folder. The texts are kept here byte for
// byte, CR LF included; widgets only display them.
class HistoryList {
public:
    static constexpr int DefaultFirst = 1;
    static constexpr int DefaultLast = 3500;

    explicit HistoryList(QString programFolder);

    // Rebuilds the lists from groups first..last. A 0 for either end means its default (1 and
    // 3500), is written back into the caller's variable and makes this a full refresh (both
    // lists); otherwise only the print buffer gets the range. The range is cut to the store's
    // slots; rows of empty slots are skipped.
    void RefreshHistory(const RecordStore& store, int& first, int& last);

    const QString& listText() const { return listText_; }   // the visible list
    const QString& printText() const { return printText_; } // the hidden print buffer
    void setListText(const QString& text) { listText_ = text; }

    QString historyPath() const;
    // Whether the last refresh went through the file; false when the program folder would not
    // take it (read-only, say) and the text was built in memory instead.
    bool lastRefreshUsedFile() const { return lastUsedFile_; }

private:
    QString folder_;
    QString listText_;
    QString printText_;
    bool lastUsedFile_ = false;
};

} // namespace velantis
