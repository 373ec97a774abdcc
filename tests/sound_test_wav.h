// SPDX-License-Identifier: GPL-3.0-or-later
// Builds small .wav images for the sound tests, well-formed or deliberately broken.
#pragma once

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <cstdlib>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

namespace soundtest {

inline void putLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(std::uint8_t(value >> (8 * i)));
}

inline void putTag(std::vector<std::uint8_t>& out, const char* tag)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(std::uint8_t(tag[i]));
}

inline void setLe32(std::vector<std::uint8_t>& image, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        image[at + i] = std::uint8_t(value >> (8 * i));
}

struct WavFormat {
    std::uint16_t code = 1;  // 1 integer PCM, 3 float
    std::uint16_t channels = 1;
    std::uint32_t rate = 44100;
    std::uint16_t bits = 16;
};

// A canonical file: RIFF header, a 16-byte "fmt " chunk, then "data". Offsets: RIFF size at 4,
// format code at 20, channels 22, rate 24, block align 32, bits 34, data size at 40, samples from 44.
inline std::vector<std::uint8_t> wavImage(const WavFormat& format, const std::vector<std::uint8_t>& data)
{
    const std::uint16_t blockAlign = std::uint16_t(format.channels * format.bits / 8);
    std::vector<std::uint8_t> out;
    putTag(out, "RIFF");
    putLe(out, std::uint32_t(36 + data.size() + (data.size() & 1)), 4);
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    putLe(out, 16, 4);
    putLe(out, format.code, 2);
    putLe(out, format.channels, 2);
    putLe(out, format.rate, 4);
    putLe(out, format.rate * blockAlign, 4);
    putLe(out, blockAlign, 2);
    putLe(out, format.bits, 2);
    putTag(out, "data");
    putLe(out, std::uint32_t(data.size()), 4);
    out.insert(out.end(), data.begin(), data.end());
    if (data.size() & 1)
        out.push_back(0);
    return out;
}

// 16-bit mono at 44100 Hz.
inline std::vector<std::uint8_t> pcm16Wav(const std::vector<std::int16_t>& samples)
{
    std::vector<std::uint8_t> data;
    for (const std::int16_t sample : samples)
        putLe(data, std::uint16_t(sample), 2);
    return wavImage({}, data);
}

inline std::vector<std::int16_t> sine(double hertz, double seconds, double amplitude, double rate = 44100)
{
    std::vector<std::int16_t> samples(std::size_t(seconds * rate));
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = std::int16_t(std::lround(amplitude * std::sin(2 * std::numbers::pi * hertz * double(i) / rate)));
    return samples;
}

inline std::vector<std::int16_t> constant(std::int16_t level, double seconds)
{
    return std::vector<std::int16_t>(std::size_t(seconds * 44100), level);
}

inline void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A fresh empty directory under the system's temporary directory, removed with the object.
class TempDir {
public:
    explicit TempDir(const std::string& stem)
    {
        std::string pattern = (std::filesystem::temp_directory_path() / (stem + "-XXXXXX")).string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace soundtest
