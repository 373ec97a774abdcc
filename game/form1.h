// SPDX-License-Identifier: GPL-3.0-or-later
// Form1, the game window: it owns the game state record and holds every procedure of the game.
#pragma once

#include "game/game_state.h"
#include "game/platform.h"
#include "sound/sound_module.h"

#include <filesystem>
#include <string>
#include <string_view>

struct Picture;
struct Rect;
class Surface;
class SpriteCatalogue;

// What the game reaches outside itself; each front end wires its platform, tests wire fakes.
struct Platform {
    Surface& surface;
    const SpriteCatalogue& sprites;
    Clock& clock;
    RandomSource& random;
    Dialogs& dialogs;
    WindowSystem& window;
    SoundLibrary& sound;
    // Where an installed game keeps its sounds, looked in after the working directory; empty for none.
    std::filesystem::path installedSounds = {};
};

class Form1 {
public:
    explicit Form1(const Platform& platform);

    // Events of the window, its menus and its timer.
    void Form_Load();
    void Form_Unload();
    void Form_KeyDown(int keyCode, int shift);
    void Form_KeyPress(int characterCode);
    void Form_MouseDown(int button, int shift, double x, double y);
    void Timer1_Timer();
    void KAISI_Click();
    void OWARI_Click();
    void BGM_Click();
    void SONOTA_Click();

    // Game core.
    void 待ち時間(double seconds);
    void 処理_開始();
    void 処理_終了();
    void 初期設定();

    // Drawing.
    void 描画_四角形(double x, double y, double width, double height, int colour);
    void 描画_文字(double x, double y, std::string_view text, int colour, double size);
    void 描画_文字(double x, double y, int number, int colour, double size);
    void 描画_当たり時得点();
    void 描画_持ち時間(int seconds);
    void 描画_絵(int code, double column, double row);
    void 描画_逃モグラ(int frame, double column, double row);
    void 描画_ボタン(int code, double column, double row, const Letter& letter);
    void 描画_人(int aim, int frame, double column, double row);
    void 初期_画面描画();

    // Menus.
    void 処理_BGM();

    GameState state;
    Module1 module1;

private:
    void setConstants();
    // The steps of the game tick.
    void stepHole(int i);
    void drawMovedMole(int i);
    void stepHammerMan();
    void chooseTarget();
    void landBlow();
    void countSeconds();
    void endRound();
    // Copies a sprite at a column and row of the playfield grid; nothing for no picture.
    void drawOnGrid(const Picture* picture, double column, double row);
    // Erases a number shown at 15 points (its shadow 60 right, 30 down) and shows its new value.
    void renewNumber(double x, double y, int& shown, int newValue);
    // Shows the score and the best score again where a picture just covered part of them.
    void redrawNumbersUnder(const Rect& covered);
    static std::string shownNumber(int number);
    // A status text or number: black at the shadow offset first, then white at its place.
    template <typename Text>
    void drawShadowed(double x, double y, const Text& text, double size, double shadowDx, double shadowDy)
    {
        描画_文字(x + shadowDx, y + shadowDy, text, state.colourBlack, size);
        描画_文字(x, y, text, state.colourWhite, size);
    }

    Surface& surface;
    const SpriteCatalogue& sprites;
    Clock& clock;
    RandomSource& random;
    Dialogs& dialogs;
    WindowSystem& window;
    SoundLibrary& sound;
};
