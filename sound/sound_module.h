// SPDX-License-Identifier: GPL-3.0-or-later
// Module1: creates the sound device, turns .wav file names into sound handles and reports sound errors.
#pragma once

#include "game/platform.h"
#include "sound/sound_library.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>

class Module1 {
public:
    // Sounds missing from the working directory are looked for in `installedSounds`, when one is given.
    Module1(SoundLibrary& library, Dialogs& dialogs, std::filesystem::path installedSounds = {})
        : library(library), dialogs(dialogs), installedSounds(std::move(installedSounds))
    {
    }

    void サウンド_初期化(std::int32_t window);
    SoundHandle サウンド_読込(const std::string& name, std::int32_t count);
    void サウンド_終了();
    void エラー_表示(const std::string& text);

    // The device handle; 0 while there is no device.
    std::int32_t サウンド装置 = 0;

private:
    // The file a sound name stands for: the working directory's first, then the installed one's; empty for none.
    std::filesystem::path soundFile(const std::string& name) const;

    SoundLibrary& library;
    Dialogs& dialogs;
    std::filesystem::path installedSounds;
};
