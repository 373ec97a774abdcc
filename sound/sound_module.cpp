// SPDX-License-Identifier: GPL-3.0-or-later
// Module1: creates the sound device, reads .wav files into sound handles and reports sound errors in a box.
#include "sound/sound_module.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <memory>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

// Larger files are refused rather than read: no .wav of the game comes near this, and start-up stays quick.
constexpr std::size_t largestSoundFile = 128 * 1024 * 1024;

// One character in UTF-8: a lead byte that tells how many continuation bytes of six bits follow.
void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
        return;
    }
    const int tail = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    const char32_t lead[] = {0xC0, 0xE0, 0xF0};
    out += char(lead[tail - 1] | (c >> (6 * tail)));
    for (int shift = 6 * (tail - 1); shift >= 0; shift -= 6)
        out += char(0x80 | ((c >> shift) & 0x3F));
}

// The platform's description of an error, as UTF-8 for the box. It comes in the locale's encoding, which
// only the C library knows: Qt 6 takes local 8-bit text for UTF-8 on every Unix.
std::string systemText(int error)
{
    const std::string_view text = std::strerror(error);
    std::string utf8;
    std::mbstate_t state{};
    for (std::size_t at = 0; at < text.size();) {
        wchar_t wide = 0;
        std::size_t used = std::mbrtowc(&wide, text.data() + at, text.size() - at, &state);
        if (used == std::size_t(-1) || used == std::size_t(-2) || used == 0) {
            wide = L'\uFFFD';
            used = 1;
            state = {};
        }
        appendUtf8(utf8, char32_t(wide));
        at += used;
    }
    return utf8;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Reads the whole file; on failure leaves the platform's description of the error in `error`.
// Reads to the end rather than trusting the size on disk, which some files (e.g. under /proc) misstate.
bool readWholeFile(const std::string& name, std::vector<std::uint8_t>& bytes, std::string& error)
{
    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(name.c_str(), "rb"));
    if (!file) {
        error = systemText(errno != 0 ? errno : EIO);
        return false;
    }
    std::error_code sizeError;
    const auto sizeOnDisk = std::filesystem::file_size(name, sizeError);
    if (!sizeError && sizeOnDisk > largestSoundFile) {
        error = systemText(EFBIG);
        return false;
    }
    if (!sizeError)
        bytes.reserve(std::size_t(sizeOnDisk));
    std::uint8_t block[65536];
    for (;;) {
        errno = 0;
        const std::size_t got = std::fread(block, 1, sizeof block, file.get());
        if (std::ferror(file.get())) {
            error = systemText(errno != 0 ? errno : EIO);
            return false;
        }
        if (bytes.size() + got > largestSoundFile) {
            error = systemText(EFBIG);
            return false;
        }
        bytes.insert(bytes.end(), block, block + got);
        if (got < sizeof block)
            break;
    }
    if (bytes.empty()) {
        error = "ファイルが空です。";
        return false;
    }
    return true;
}

}  // namespace

void Module1::サウンド_初期化(std::int32_t window)
{
    サウンド装置 = library.dsInitialize(window);
    if (サウンド装置 == 0)
        エラー_表示("Direct Soundインターフェースが作成できません。");
}

SoundHandle Module1::サウンド_読込(const std::string& name, std::int32_t count)
{
    if (サウンド装置 == 0)
        return 0;
    const std::filesystem::path file = soundFile(name);
    if (file.empty())
        return 0;

    std::vector<std::uint8_t> image;
    std::string error;
    try {
        if (!readWholeFile(file.string(), image, error)) {
            エラー_表示(error);
            return 0;
        }
    } catch (const std::bad_alloc&) {
        エラー_表示(systemText(ENOMEM));
        return 0;
    }
    return library.dsCreateDSB(サウンド装置, image, count);
}

std::filesystem::path Module1::soundFile(const std::string& name) const
{
    // Only an ordinary file counts (after following symbolic links); anything else is treated as missing.
    const auto isSound = [](const std::filesystem::path& file) {
        std::error_code statusError;
        return std::filesystem::is_regular_file(file, statusError);
    };
    if (isSound(name))
        return name;
    if (!installedSounds.empty() && isSound(installedSounds / name))
        return installedSounds / name;
    return {};
}

void Module1::サウンド_終了()
{
    if (サウンド装置 != 0)
        library.dsTerminate(サウンド装置);
}

void Module1::エラー_表示(const std::string& text)
{
    dialogs.showMessage(text, "Zubotta.dll", MessageIcon::warning);
}
