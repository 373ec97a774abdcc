// The window icon: a red mole peeking over a dark red band that carries its
// name, モグラ, in white pixel letters. At most sixteen colours.
#include "art.h"
#include "canvas.h"
#include "colours.h"

namespace {

using namespace colours;

bool inFace(int x, int y)
{
    const double dx = x + 0.5 - 16.0, dy = y + 0.5 - 12.0;
    return dx * dx / (10.0 * 10.0) + dy * dy / (9.0 * 9.0) <= 1.0;
}

} // namespace

QImage drawIcon()
{
    Canvas c(32, 32, iconSky);
    const std::map<char, QRgb> key{
        {'#', iconWhite}, {'o', iconInk}, {'f', iconFur}, {'d', iconFurDark}, {'l', iconFurLight},
        {'m', iconMuzzle}, {'n', iconNose}, {'s', iconSkyLight}, {'b', iconBandDark},
    };

    // A little cloud in the light-blue sky.
    c.stamp(1, 2, {".ss..", "sssss"}, key);
    c.stamp(26, 4, {"..ss.", ".ssss", "sssss"}, key);

    // The face, lit from the upper left.
    for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 32; ++x) {
            if (!inFace(x, y))
                continue;
            QRgb colour = iconFur;
            if (!inFace(x - 1, y) || !inFace(x + 1, y) || !inFace(x, y - 1))
                colour = iconFurDark;
            else if (!inFace(x - 2, y - 2))
                colour = iconFurLight;
            else if (!inFace(x + 2, y))
                colour = iconFurDark;
            c.set(x, y, colour);
        }
    c.stamp(10, 6, {
        "............",
        ".oo......oo.",
        ".oo......oo.",
        "....mmmm....",
        "...mmnnmm...",
        "..mmnnnnmm..",
        "..mommmmom..",
        "...moooom...",
        "....mmmm....",
    }, key);
    c.set(10, 7, iconWhite);
    c.set(19, 7, iconWhite);
    // Whiskers, out over the sky.
    c.line(11, 12, 3, 10, iconInk);
    c.line(11, 14, 3, 15, iconInk);
    c.line(20, 12, 28, 10, iconInk);
    c.line(20, 14, 28, 15, iconInk);

    // Paws gripping the edge of the band.
    for (int x : {6, 21})
        c.stamp(x, 17, {
            ".ddd.",
            "dmmmd",
            "mmmmm",
            "momom",
        }, key);

    // The band with the word, モ グ ラ.
    c.fill(0, 21, 31, 31, iconBand);
    c.fill(0, 21, 31, 21, iconBandDark);
    c.stamp(1, 22, {
        ".######.",
        "...#....",
        "...#....",
        "########",
        "...#....",
        "...#....",
        "...#....",
        "...#...#",
        "....###.",
    }, key);
    c.stamp(10, 21, {
        "........#.#",
        "..#......#.#",
        ".######.....",
        ".#....#.....",
        "#.....#.....",
        "......#.....",
        ".....#......",
        "....#.......",
        "..##........",
        "##..........",
    }, key);
    c.stamp(23, 22, {
        ".######.",
        "........",
        "########",
        ".......#",
        ".......#",
        "......#.",
        ".....#..",
        "...##...",
        "###.....",
    }, key);
    return c.picture();
}
