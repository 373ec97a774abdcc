// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the game's seven sounds as .wav files into the folder given as the only argument.
#include "sounds.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: make_sounds <output folder>\n";
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    for (const std::string_view name : soundFileNames) {
        const std::filesystem::path path = folder / std::string(name);
        const std::vector<std::uint8_t> bytes = soundWav(name);
        std::ofstream file(path, std::ios::binary);
        file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        if (!file) {
            std::cerr << "make_sounds: cannot write " << path.string() << "\n";
            return 1;
        }
    }
    return 0;
}
