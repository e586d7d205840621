// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace velantis {

inline const QString NoReading = QStringLiteral("- - - -");
inline const QString NoSetting = QStringLiteral("设定:---/-.-A");
inline const QString NoRatio = QStringLiteral("变比:---/-.-A");
inline const QString ZeroError = QStringLiteral("0.0%");

// Everything the controller shows, as plain data. The main window copies it into the widgets of
// the same names; the command-line tool and the tests read it directly.
struct DisplayState {
    // Reading grid: "1st" column Label8/9/10, "2nd" column Label2/4/5, "F.Er" Label13/19/20.
    QString Label8 = NoReading, Label9 = NoReading, Label10 = NoReading;
    QString Label2 = NoReading, Label4 = NoReading, Label5 = NoReading;
    QString Label13 = ZeroError, Label19 = ZeroError, Label20 = ZeroError;
    QString Label14 = NoSetting; // setting line
    QString Label17 = NoRatio;   // ratio line
    bool Label15Visible = false; // "高压端电压低"
    bool Label16Visible = false; // "低压端电压低"

    // Status fields and status bar panels.
    QString Text1 = QStringLiteral("COM1");
    QString Text2, Text3, Text4;
    QString panel1, panel2, panel3;

    // The port field and the device behind the port in use ("/dev/ttyUSB0"; empty when none).
    QString Combo1 = QStringLiteral("1");
    QString portDevice;
    // A one-off word about the port for the user (a missing permission, an unplugged device).
    QString portNotice;

    int progressValue = 0;
    bool progressVisible = false;
    bool progressEnabled = false;

    bool Command1Enabled = true; // open
    bool Command2Enabled = true; // read
    bool Command3Enabled = true; // save
    bool Command4Enabled = true; // clear

    // How the last download went, for the status text: empty before the first one.
    QString downloadSummary;
};

} // namespace velantis
