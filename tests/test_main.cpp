// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a test program headless: the offscreen platform unless one was chosen, and one QApplication.
#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>

int main(int argc, char** argv)
{
    // Test discovery runs the programs at build time, outside CTest's environment.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
