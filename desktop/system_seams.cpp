// SPDX-License-Identifier: GPL-3.0-or-later
// The real clock and message boxes behind the game's seams, and where the installed sounds lie.
#include "desktop/system_seams.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QTime>

#include <chrono>
#include <thread>

double SystemClock::secondsSinceMidnight()
{
    return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
}

double SystemClock::monotonicSeconds()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration<double>(now).count();
}

void SystemClock::sleepFor(double seconds)
{
    if (seconds <= 0) {
        std::this_thread::yield();
        return;
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

void MessageBoxes::showMessage(const std::string& text, const std::string& title, MessageIcon icon)
{
    // Lines are joined by a lone carriage return, which not every style breaks at.
    QString shown = QString::fromStdString(text);
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // A box shown before the window (at start-up) still needs the window's native handle to belong to it.
    owner.winId();
    QMessageBox box(icon == MessageIcon::warning ? QMessageBox::Warning : QMessageBox::NoIcon,
                    QString::fromStdString(title), shown, QMessageBox::Ok, &owner);
    box.exec();
}

std::filesystem::path installedSoundFolder()
{
    return std::filesystem::path(QCoreApplication::applicationDirPath().toStdString()) / ZUBOTTA_SOUNDS_FROM_PROGRAM;
}
