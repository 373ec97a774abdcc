// SPDX-License-Identifier: GPL-3.0-or-later
// The game state record: every variable of the game, owned by the game window.
#pragma once

#include "sound/sound_library.h"

#include <array>
#include <optional>

// The game's general value as the key letters use it: a capital letter or empty.
using Letter = std::optional<char>;

// Per-hole arrays are indexed by hole number 1 to 4; index 0 is never used.
template <typename T>
using ByHole = std::array<T, 5>;

struct GameState {
    // Constants, set once by Form_Load.
    int flagOn = 0;
    int flagOff = 0;
    int dirDown = 0;
    int dirUp = 0;
    int columnWidth = 0;
    int rowHeight = 0;
    double moleRow = 0;
    double buttonRow = 0;
    double hammerManRow = 0;
    int buttonPicRest = 0;
    int buttonPicUp = 0;
    int buttonPicDown = 0;
    ByHole<int> hammerAimByHole{};
    int scoreX = 0;
    int scoreY = 0;
    int timeBoxX = 0;
    int timeBoxY = 0;
    int colourWhite = 0;
    int colourBlack = 0;
    int colourBackground = 0;
    int groundColour = 0;

    // Sound handles; 0 is a sound that failed to load.
    SoundHandle sndOther = 0;
    SoundHandle sndForbidden = 0;
    SoundHandle sndHit = 0;
    SoundHandle sndBgm = 0;
    SoundHandle sndMiss = 0;
    SoundHandle sndTimeUp = 0;
    SoundHandle sndMole = 0;

    // Round state, renewed by 初期設定.
    int gameStopped = 0;
    int score = 0;
    int timeLeft = 0;
    char lastSecondDigit = '0';
    int hammerAim = 0;
    int hammerFrame = 0;
    int hammerDir = 0;

    // Hole state, renewed by 初期_画面描画.
    ByHole<int> moleStageByHole{};
    ByHole<int> moleDirByHole{};
    ByHole<int> keyEnabledByHole{};
    ByHole<int> escapingByHole{};
    ByHole<Letter> letterByHole{};
    ByHole<Letter> buttonLabelByHole{};

    // Lasts until the program ends.
    int bestScore = 0;
};
