// SPDX-License-Identifier: GPL-3.0-or-later
// The golden screens played on the core as the browser runs it, compiled to WebAssembly and run under node,
// and compared with tests/golden pixel for pixel: the page shows these very pixels.
//
// usage: node golden_screens.js <folder of the golden images>
#include "golden/screens.h"

#include <stb_image.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>

namespace {

// A picture's device pixels, alpha left out.
std::vector<Rgb> pixelsOf(const Surface& surface)
{
    std::vector<Rgb> pixels(surface.pixels(), surface.pixels() + surface.deviceWidth() * surface.deviceHeight());
    for (Rgb& pixel : pixels)
        pixel &= 0xffffffu;
    return pixels;
}

// The golden image's pixels, empty if it does not load.
std::vector<Rgb> goldenPixels(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in), {}};
    int width = 0, height = 0, channels = 0;
    const std::unique_ptr<stbi_uc, void (*)(void*)> rgb(
        stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels, 3),
        stbi_image_free);
    std::vector<Rgb> pixels;
    for (int i = 0; rgb && i < width * height; ++i)
        pixels.push_back(::rgb(rgb.get()[3 * i], rgb.get()[3 * i + 1], rgb.get()[3 * i + 2]) & 0xffffffu);
    return pixels;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: golden_screens <folder of the golden images>\n");
        return 2;
    }
    int passed = 0, failed = 0;
    for (const golden::Screen& screen : golden::screens)
        for (const int scale : screen.scales) {
            const std::string file = golden::fileName(screen.name, scale);
            const std::vector<Rgb> expected = goldenPixels(std::string(argv[1]) + "/" + file);
            const std::vector<Rgb> shown = golden::play(screen.name, scale, pixelsOf);
            const bool same = !expected.empty() && shown == expected;
            std::printf("%s %s\n", same ? "ok  " : "FAIL", file.c_str());
            ++(same ? passed : failed);
        }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
