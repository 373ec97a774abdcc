// Module1: creates the sound device, turns .wav file names into sound handles and reports sound errors.
#pragma once

#include "game/platform.h"
#include "sound/sound_library.h"

#include <cstdint>
#include <string>

class Module1 {
public:
    Module1(SoundLibrary& library, Dialogs& dialogs) : library(library), dialogs(dialogs) {}

    void サウンド_初期化(std::int32_t window);
    SoundHandle サウンド_読込(const std::string& name, std::int32_t count);
    void サウンド_終了();
    void エラー_表示(const std::string& text);

    // The device handle; 0 while there is no device.
    std::int32_t サウンド装置 = 0;

private:
    SoundLibrary& library;
    Dialogs& dialogs;
};
