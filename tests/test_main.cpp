#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Constructed first, as in the programs: on Unix it applies the environment's locale.
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
