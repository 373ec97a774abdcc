// SPDX-License-Identifier: GPL-3.0-or-later
// The browser front end: the game on the page's canvas. The page (web/page.js) hands in its events one at a
// time, each to its end, as a window's one event thread would.
#include "game/form1.h"
#include "game/unseeded_random.h"
#include "web/web_platform.h"
#include "window/sprite_catalogue.h"
#include "window/surface.h"

#include <emscripten.h>

#include <optional>

namespace {

// The client area as designed, and the part of it the window shows: 6000 twips, 400 pixels wide.
constexpr int designWidth = 578;
constexpr int designHeight = 437;
constexpr int shownWidth = 400;

// The scale the page chose at start; the surface keeps it for good.
EM_JS(int, pageDeviceScale, (), { return zubotta.deviceScale(); });
EM_JS(void, pageShowPixels, (int x, int y, int width, int height), { zubotta.showPixels(x, y, width, height); });
EM_JS(void, pageSizeCanvas, (const Rgb* pixels, int width, int height, int deviceScale), {
    zubotta.sizeCanvas(pixels, width, height, deviceScale);
});
EM_JS(void, pageReady, (), { zubotta.ready(); });

class WebGame {
public:
    WebGame() : surface(designWidth, designHeight, pageDeviceScale())
    {
        surface.setRefreshListener([this] { show(); });
        pageSizeCanvas(surface.pixels(), surface.deviceWidth(), surface.deviceHeight(), surface.deviceScale());
    }

    Form1& form() { return game; }

    // Puts what changed on the canvas, area by area, in device pixels; the page reads them from the surface.
    void show()
    {
        const int s = surface.deviceScale();
        for (const Rect& changed : surface.takeChanges()) {
            const Rect shown = changed.intersected({0, 0, shownWidth, designHeight});
            if (!shown.isEmpty())
                pageShowPixels(shown.x * s, shown.y * s, shown.width * s, shown.height * s);
        }
    }

private:
    SpriteCatalogue sprites;
    Surface surface;
    PageClock clock;
    UnseededRandom random;
    PageDialogs dialogs;
    PageWindow window;
    WebAudioSoundLibrary sound;
    Form1 game{Platform{surface, sprites, clock, random, dialogs, window, sound}};
};

// The page's one game, made by main; the handlers below are the page's way in.
std::optional<WebGame> page;

// Runs one event's handler, then shows what it drew.
template <typename Handler>
void deliver(Handler handler)
{
    handler(page->form());
    page->show();
}

enum MenuItem { KAISI, OWARI, BGM, SONOTA };

} // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE void zubotta_key_down(int keyCode)
{
    deliver([=](Form1& game) { game.Form_KeyDown(keyCode, 0); });
}

EMSCRIPTEN_KEEPALIVE void zubotta_key_press(int characterCode)
{
    deliver([=](Form1& game) { game.Form_KeyPress(characterCode); });
}

EMSCRIPTEN_KEEPALIVE void zubotta_mouse_down(int button, double xTwips, double yTwips)
{
    deliver([=](Form1& game) { game.Form_MouseDown(button, 0, xTwips, yTwips); });
}

EMSCRIPTEN_KEEPALIVE void zubotta_menu(int item)
{
    deliver([=](Form1& game) {
        switch (item) {
        case KAISI: game.KAISI_Click(); break;
        case OWARI: game.OWARI_Click(); break;
        case BGM: game.BGM_Click(); break;
        case SONOTA: game.SONOTA_Click(); break;
        default: break;
        }
    });
}

EMSCRIPTEN_KEEPALIVE void zubotta_tick()
{
    deliver([](Form1& game) { game.Timer1_Timer(); });
}

// Whether a round runs, so the page knows to keep the timer going.
EMSCRIPTEN_KEEPALIVE int zubotta_round_running()
{
    return page->form().state.gameStopped != page->form().state.flagOn;
}

} // extern "C"

int main()
{
    page.emplace();
    page->form().Form_Load();
    page->show();
    pageReady();
    return 0;
}
