// SPDX-License-Identifier: GPL-3.0-or-later
// The page's sounds, made in a worker of the page by the generator that makes the desktop's .wav files, so
// the page downloads none of them: each is posted to the page as soon as it is made, the tune last.
#include "sounds.h"

#include <emscripten.h>

#include <string>

namespace {

EM_JS(void, postSound, (const char* name, const std::uint8_t* bytes, int length), {
    const wave = HEAPU8.slice(bytes, bytes + length);
    postMessage({name: UTF8ToString(name), wave}, [wave.buffer]);
});

} // namespace

int main()
{
    for (const std::string_view name : soundFileNames) {
        const std::vector<std::uint8_t> wave = soundWav(name);
        postSound(std::string(name).c_str(), wave.data(), static_cast<int>(wave.size()));
    }
    return 0;
}
