// SPDX-License-Identifier: GPL-3.0-or-later
// Makes the game's own text face (window/text_face.h) from VL Gothic as Qt draws it: for each size the game
// draws at and each device scale 1 to 4, the bitmap, place and advance of every character drawn at that size.
//
// usage: make_text_face <output .cpp file>
#include "tools/text_face/qt_text.h"

#include <QFontMetricsF>
#include <QGuiApplication>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

// The game's texts by size in points: its labels, numbers (a blank or a minus before, a blank after) and
// the key letters of the holes. A text of the game not listed here would draw only in part.
struct SizeSet {
    int points;
    const char* texts;
};
const SizeSet sizeSets[] = {
    {12, "得点：最高："},
    {15, "持ち時間秒 -0123456789"},
    {18, "ASDF"},
    {28, "START"},
    {30, "TIME UP" "PUSH [SPACE] KEY"},
};

// Each character of the texts once, in order.
QString charactersOf(const char* texts)
{
    QString characters;
    for (const QChar character : QString::fromUtf8(texts))
        if (!characters.contains(character))
            characters += character;
    return characters;
}

constexpr int scales[] = {1, 2, 3, 4};

struct Bitmap {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::vector<int> coverage;
};

// The ink of one character drawn alone, from its pen on the baseline, in device pixels. Drawn in white on
// black, a pixel's red level is the glyph's coverage of it.
Bitmap inkOf(QChar character, int pixelSize, int scale)
{
    const int room = pixelSize * 3;
    QImage image = qt_text::canvas(room, room, scale, qRgb(0, 0, 0));
    const int penX = pixelSize;
    const int top = pixelSize;
    qt_text::draw(image, penX, top, QString(character), qRgb(255, 255, 255), pixelSize);
    const int baseline = (top + QFontMetrics(qt_text::font(pixelSize), &image).ascent()) * scale;

    int minX = image.width(), minY = image.height(), maxX = -1, maxY = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qRed(image.pixel(x, y)) != 0) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
            }
    Bitmap ink;
    if (maxX < 0)
        return ink;
    ink = {minX - penX * scale, minY - baseline, maxX - minX + 1, maxY - minY + 1, {}};
    for (int y = minY; y <= maxY; ++y)
        for (int x = minX; x <= maxX; ++x)
            ink.coverage.push_back(qRed(image.pixel(x, y)));
    return ink;
}

void writeFace(std::ofstream& out)
{
    std::vector<int> coverage;
    std::string sizes;
    int sizeIndex = 0;
    for (const SizeSet& set : sizeSets) {
        const int pixelSize = static_cast<int>(std::lround(set.points * 20 / 15.0));
        const QString characters = charactersOf(set.texts);
        for (const int scale : scales) {
            QImage probe = qt_text::canvas(1, 1, scale, qRgb(255, 255, 255));
            const QFont font = qt_text::font(pixelSize);
            const QFontMetrics metrics(font, &probe);
            const QFontMetricsF exact(font, &probe);
            const std::string glyphs = "glyphs" + std::to_string(sizeIndex);
            out << "const Glyph " << glyphs << "[] = {\n";
            for (const QChar character : characters) {
                const Bitmap ink = inkOf(character, pixelSize, scale);
                const double advance = exact.horizontalAdvance(character);
                out << "    {U'\\x" << std::hex << static_cast<int>(character.unicode()) << std::dec << "', "
                    << std::lround(advance * 64) << ", " << std::lround(advance * scale) << ", " << ink.left << ", "
                    << ink.top << ", " << ink.width << ", " << ink.height << ", " << coverage.size() << "},\n";
                coverage.insert(coverage.end(), ink.coverage.begin(), ink.coverage.end());
            }
            out << "};\n";
            sizes += "    {" + std::to_string(pixelSize) + ", " + std::to_string(scale) + ", " +
                     std::to_string(metrics.ascent()) + ", " + std::to_string(metrics.height()) + ", " + glyphs +
                     "},\n";
            ++sizeIndex;
        }
    }
    out << "const FaceSize sizes[] = {\n" << sizes << "};\n";
    out << "const std::uint8_t coverage[] = {";
    for (std::size_t at = 0; at < coverage.size(); ++at)
        out << (at % 32 == 0 ? "\n    " : "") << coverage[at] << ",";
    out << "\n};\n";
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_text_face <output .cpp file>\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    std::ofstream out(argv[1]);
    out << "// Made by tools/text_face/make_text_face from " << qt_text::fontFile << "; do not edit.\n"
        << "#include \"window/text_face.h\"\n\nnamespace {\n";
    writeFace(out);
    out << "} // namespace\n\n"
        << "std::span<const FaceSize> textFaceSizes() { return sizes; }\n"
        << "const std::uint8_t* textFaceCoverage() { return coverage; }\n";
    return out.good() ? 0 : 1;
}
