// SPDX-License-Identifier: GPL-3.0-or-later
// Starts Zubotta: one application, one game window.
#include "desktop/game_window.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    GameWindow window;
    window.start();
    return application.exec();
}
