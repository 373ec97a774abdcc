// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for everything that reads a .wav file: the sound library's dsCreateDSB on an image in
// memory, and the sound module's path from a file in the game's folder to a sound handle.
//
// Each input is one file image. It goes to dsCreateDSB directly; a sound it accepts must play, loop,
// stop and free like any other. The same bytes are then written as "BGM.wav" into a scratch folder and
// loaded through Module1::サウンド_読込, which must agree with the library (a sound exactly when the
// library made one) and show exactly the boxes of its failure table: one for an empty file, none
// otherwise. Any disagreement aborts, so the fuzzer reports it like a crash.
#include "desktop/sdl_sound_library.h"
#include "sound/sound_module.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>

namespace {

class CountingDialogs final : public Dialogs {
public:
    void showMessage(const std::string& text, const std::string&, MessageIcon) override
    {
        ++shown;
        lastText = text;
    }
    std::size_t shown = 0;
    std::string lastText;
};

[[noreturn]] void fail(const char* what, std::size_t size)
{
    std::fprintf(stderr, "sound fuzz target: %s (input of %zu bytes)\n", what, size);
    std::abort();
}

struct Harness;
Harness& harness();

struct Harness {
    Harness()
    {
        // The device is real SDL_mixer on SDL's dummy driver: the mixer thread runs and mixes every sound.
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        std::string pattern = (std::filesystem::temp_directory_path() / "zubotta-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            fail("cannot make a scratch folder", 0);
        folder = pattern;
        std::atexit([] { std::error_code ignored; std::filesystem::remove_all(harness().folder, ignored); });
        module.サウンド_初期化(0);
        device = module.サウンド装置;
        if (device == 0)
            fail("the dummy audio device did not open", 0);
    }

    SdlSoundLibrary library;
    CountingDialogs dialogs;
    Module1 module{library, dialogs};
    std::int32_t device = 0;
    std::filesystem::path folder;
};

Harness& harness()
{
    // Built on first use and kept for the whole run: opening the device per input would measure SDL.
    static Harness* const instance = new Harness;
    return *instance;
}

void exerciseSound(SdlSoundLibrary& library, SoundHandle sound, std::size_t size)
{
    if (library.dsPlay(sound) != 1)
        fail("a sound that was created does not play", size);
    library.dsPlay(sound);
    library.dsPlayLooping(sound);
    library.dsStop(sound);
    if (library.dsFree(sound) != 1)
        fail("a sound that was created cannot be freed", size);
    if (library.dsPlay(sound) != 0 || library.dsFree(sound) != 0)
        fail("a freed handle still acts", size);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    harness();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Harness& h = harness();
    const std::span<const std::uint8_t> image(data, size);
    // The buffer count follows the length, so one input always takes the same path: 1 to 3 as the game
    // uses, and now and then one the library must refuse.
    const std::int32_t count = size % 16 == 15 ? 0 : std::int32_t(1 + size % 3);

    const SoundHandle direct = h.library.dsCreateDSB(h.device, image, count);
    if (direct != 0)
        exerciseSound(h.library, direct, size);

    {
        std::ofstream file(h.folder / "BGM.wav", std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), std::streamsize(size));
        if (!file)
            fail("cannot write the scratch file", size);
    }
    // The module reads from the working folder, as the game does; libFuzzer keeps its own paths
    // relative to where it started, so the scratch folder is only entered for the load.
    const std::size_t boxesBefore = h.dialogs.shown;
    const auto started = std::filesystem::current_path();
    std::filesystem::current_path(h.folder);
    const SoundHandle loaded = h.module.サウンド_読込("BGM.wav", count);
    std::filesystem::current_path(started);
    const std::size_t boxes = h.dialogs.shown - boxesBefore;
    if (size == 0 && boxes != 1)
        fail("an empty file did not give exactly one box", size);
    if (size != 0 && boxes != 0)
        fail("a readable file gave a box", size);
    if ((loaded != 0) != (direct != 0))
        fail("the module and the library disagree about the same bytes", size);
    if (loaded != 0)
        exerciseSound(h.library, loaded, size);
    return 0;
}
