// SPDX-License-Identifier: GPL-3.0-or-later
// The browser's seams, each a call into the page (web/page.js, web/sound_library.js).
#include "web/web_platform.h"

#include <emscripten.h>

#include <cmath>

namespace {

EM_JS(double, pageSecondsSinceMidnight, (), {
    const now = new Date();
    return now.getHours() * 3600 + now.getMinutes() * 60 + now.getSeconds() + now.getMilliseconds() / 1000;
});

EM_ASYNC_JS(void, pageShowMessage, (const char* text, const char* title, int warning), {
    await zubotta.showMessage(UTF8ToString(text), UTF8ToString(title), warning !== 0);
});

EM_JS(int, pageBgmChecked, (), { return zubotta.bgmChecked() ? 1 : 0; });
EM_JS(void, pageSetBgmChecked, (int checked), { zubotta.setBgmChecked(checked !== 0); });
EM_JS(void, pageEnd, (), { zubotta.end(); });

EM_JS(int, soundInitialize, (), { return zubotta.sound.dsInitialize(); });
EM_JS(int, soundCreate, (int device, const std::uint8_t* bytes, int length, int count), {
    return zubotta.sound.dsCreateDSB(device, HEAPU8.slice(bytes, bytes + length), count);
});
EM_JS(int, soundCall, (int call, int handle), {
    const library = zubotta.sound;
    return [library.dsPlay, library.dsPlayLooping, library.dsStop, library.dsFree, library.dsTerminate][call]
        .call(library, handle);
});

enum SoundCall { play, playLooping, stop, freeSound, terminate };

} // namespace

double PageClock::secondsSinceMidnight()
{
    return pageSecondsSinceMidnight();
}

double PageClock::monotonicSeconds()
{
    return emscripten_get_now() / 1000;
}

void PageClock::sleepFor(double seconds)
{
    // The page's timers count whole milliseconds; a shorter rest is spent watching the clock instead.
    const auto milliseconds = static_cast<unsigned>(std::floor(seconds * 1000));
    if (milliseconds > 0)
        emscripten_sleep(milliseconds);
}

void PageDialogs::showMessage(const std::string& text, const std::string& title, MessageIcon icon)
{
    pageShowMessage(text.c_str(), title.c_str(), icon == MessageIcon::warning ? 1 : 0);
}

bool PageWindow::isBgmChecked()
{
    return pageBgmChecked() != 0;
}

void PageWindow::setBgmChecked(bool checked)
{
    pageSetBgmChecked(checked ? 1 : 0);
}

void PageWindow::endProgram()
{
    pageEnd();
    emscripten_force_exit(0);
}

std::int32_t WebAudioSoundLibrary::dsInitialize(std::int32_t)
{
    return soundInitialize();
}

SoundHandle WebAudioSoundLibrary::dsCreateDSB(std::int32_t device, std::span<const std::uint8_t> wavImage,
                                              std::int32_t bufferCount)
{
    return soundCreate(device, wavImage.data(), static_cast<int>(wavImage.size()), bufferCount);
}

std::int32_t WebAudioSoundLibrary::dsPlay(SoundHandle sound)
{
    return soundCall(play, sound);
}

std::int32_t WebAudioSoundLibrary::dsPlayLooping(SoundHandle sound)
{
    return soundCall(playLooping, sound);
}

std::int32_t WebAudioSoundLibrary::dsStop(SoundHandle sound)
{
    return soundCall(stop, sound);
}

std::int32_t WebAudioSoundLibrary::dsFree(SoundHandle sound)
{
    return soundCall(freeSound, sound);
}

std::int32_t WebAudioSoundLibrary::dsTerminate(std::int32_t device)
{
    return soundCall(terminate, device);
}
