// SPDX-License-Identifier: GPL-3.0-or-later
#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Constructed first, as in the programs: on Unix it applies the environment's locale.
    QCoreApplication app(argc, argv);
    // The record database of every velantis-cli the tests start lies in a folder of the run,
    // never in the user's data folder.
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
