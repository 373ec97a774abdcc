// SPDX-License-Identifier: GPL-3.0-or-later
// The persistent drawing surface: 32-bit pixels at a whole device scale, drawn on in twips.
#include "window/surface.h"

#include "window/text_face.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// The next character of a UTF-8 text; a malformed byte stands for itself.
char32_t nextCharacter(std::string_view text, std::size_t& at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at++);
    const int tail = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    if (tail == 0 || at + tail > text.size())
        return lead;
    char32_t character = lead & (0x3F >> tail);
    for (int i = 0; i < tail; ++i)
        character = character << 6 | (byte(at++) & 0x3F);
    return character;
}

// The face at a pixel size for a device scale. The face holds scales 1 to 4; a larger scale takes the
// scale-1 glyphs enlarged by it, so the layout stays the same and every pixel stays crisp.
struct ScaledFace {
    const FaceSize* face = nullptr;
    int enlargement = 1;
};

ScaledFace faceFor(double points, int scale)
{
    const int pixelSize = std::max(1, static_cast<int>(std::lround(points * 20 / Surface::twipsPerPixel)));
    const FaceSize* atScaleOne = nullptr;
    for (const FaceSize& face : textFaceSizes()) {
        if (face.pixelSize != pixelSize)
            continue;
        if (face.scale == scale)
            return {&face, 1};
        if (face.scale == 1)
            atScaleOne = &face;
    }
    return {atScaleOne, atScaleOne != nullptr ? scale : 1};
}

// A character outside the face draws nothing and takes no room.
const Glyph* glyphFor(const FaceSize& face, char32_t character)
{
    const auto found = std::find_if(face.glyphs.begin(), face.glyphs.end(),
                                    [&](const Glyph& glyph) { return glyph.character == character; });
    return found != face.glyphs.end() ? &*found : nullptr;
}

// Each channel times a / 255, rounded as Qt's raster engine rounds it, so soft glyph edges blend to the
// very levels the font engine gave them on the desktop.
Rgb byteTimes(Rgb x, Rgb a)
{
    Rgb redBlue = (x & 0xff00ff) * a;
    redBlue = ((redBlue + ((redBlue >> 8) & 0xff00ff) + 0x800080) >> 8) & 0xff00ff;
    Rgb alphaGreen = ((x >> 8) & 0xff00ff) * a;
    alphaGreen = (alphaGreen + ((alphaGreen >> 8) & 0xff00ff) + 0x800080) & 0xff00ff00;
    return alphaGreen | redBlue;
}

// A colour laid over a pixel with a glyph's coverage of it.
Rgb covered(Rgb pixel, Rgb colour, Rgb coverage)
{
    return coverage == 255 ? colour : byteTimes(colour, coverage) + byteTimes(pixel, 255 - coverage);
}

} // namespace

Surface::Surface(int widthPixels, int heightPixels, double devicePixelRatio)
    : width(widthPixels),
      height(heightPixels),
      scale(std::max(1, static_cast<int>(std::lround(devicePixelRatio)))),
      canvas(static_cast<std::size_t>(deviceWidth()) * deviceHeight())
{
    clear(windowBackgroundColour);
}

int Surface::toPixel(double twips)
{
    return static_cast<int>(std::lround(twips / twipsPerPixel));
}

void Surface::markChanged(const Rect& logicalArea)
{
    // The score, the seconds, the hammer man and the moles change apart: kept apart, each is repainted alone.
    // An area takes in those it overlaps; past a few, the two whose union adds least become one.
    constexpr std::size_t mostAreas = 6;
    Rect area = logicalArea.intersected({0, 0, width, height});
    if (area.isEmpty())
        return;
    for (auto other = changed.begin(); other != changed.end();) {
        if (!other->intersects(area)) {
            ++other;
            continue;
        }
        area = area.united(*other);
        changed.erase(other);
        other = changed.begin();
    }
    changed.push_back(area);
    if (changed.size() <= mostAreas)
        return;
    const auto growth = [](const Rect& a, const Rect& b) {
        const Rect both = a.united(b);
        return both.width * both.height - a.width * a.height - b.width * b.height;
    };
    auto joined = changed.begin();
    for (auto other = changed.begin(); other != changed.end() - 1; ++other)
        if (growth(*other, area) < growth(*joined, area))
            joined = other;
    *joined = joined->united(area);
    changed.pop_back();
}

void Surface::fillDevice(Rect area, Rgb colour)
{
    area = area.intersected({0, 0, deviceWidth(), deviceHeight()});
    for (int y = area.y; y < area.bottom(); ++y) {
        const auto row = canvas.begin() + static_cast<std::ptrdiff_t>(y) * deviceWidth();
        std::fill(row + area.x, row + area.right(), colour);
    }
}

void Surface::clear(int colour)
{
    if (const auto rgb = paletteColour(colour)) {
        std::fill(canvas.begin(), canvas.end(), *rgb);
        markChanged({0, 0, width, height});
    }
}

void Surface::fillRectangle(double x1, double y1, double x2, double y2, int colour)
{
    const auto rgb = paletteColour(colour);
    if (!rgb)
        return;
    const int left = toPixel(std::min(x1, x2));
    const int top = toPixel(std::min(y1, y2));
    const Rect area{left, top, toPixel(std::max(x1, x2)) - left, toPixel(std::max(y1, y2)) - top};
    fillDevice({area.x * scale, area.y * scale, area.width * scale, area.height * scale}, *rgb);
    markChanged(area);
}

void Surface::drawText(double x, double y, std::string_view utf8Text, int colour, double points)
{
    const auto rgb = paletteColour(colour);
    const ScaledFace scaled = faceFor(points, scale);
    if (!rgb || scaled.face == nullptr)
        return;
    const int e = scaled.enlargement;
    int penX = toPixel(x) * scale;
    const int baseline = (toPixel(y) + scaled.face->ascent) * scale;
    for (std::size_t at = 0; at < utf8Text.size();) {
        const Glyph* glyph = glyphFor(*scaled.face, nextCharacter(utf8Text, at));
        if (glyph == nullptr)
            continue;
        drawGlyph(*glyph, penX, baseline, e, *rgb);
        penX += glyph->deviceAdvance * e;
    }
    markChanged(textBox(x, y, utf8Text, points));
}

void Surface::drawGlyph(const Glyph& glyph, int penX, int baseline, int enlargement, Rgb colour)
{
    const std::uint8_t* coverage = textFaceCoverage() + glyph.firstByte;
    for (int gy = 0; gy < glyph.height * enlargement; ++gy) {
        const int y = baseline + glyph.top * enlargement + gy;
        if (y < 0 || y >= deviceHeight())
            continue;
        Rgb* row = canvas.data() + static_cast<std::ptrdiff_t>(y) * deviceWidth();
        for (int gx = 0; gx < glyph.width * enlargement; ++gx) {
            const int x = penX + glyph.left * enlargement + gx;
            const Rgb level = coverage[(gy / enlargement) * glyph.width + gx / enlargement];
            if (level != 0 && x >= 0 && x < deviceWidth())
                row[x] = covered(row[x], colour, level);
        }
    }
}

Rect Surface::textBox(double x, double y, std::string_view utf8Text, double points) const
{
    const ScaledFace scaled = faceFor(points, scale);
    if (scaled.face == nullptr)
        return {toPixel(x), toPixel(y), 0, 0};
    int advance64 = 0;
    for (std::size_t at = 0; at < utf8Text.size();)
        if (const Glyph* glyph = glyphFor(*scaled.face, nextCharacter(utf8Text, at)))
            advance64 += glyph->advance64;
    // Glyphs reach a little past their advance; the box is the line box, as a text layout gives it.
    return {toPixel(x), toPixel(y), (advance64 + 32) / 64, scaled.face->lineHeight};
}

Rect Surface::copyPicture(const Picture& picture, double x, double y)
{
    const Rect place{toPixel(x), toPixel(y), picture.width, picture.height};
    const Rect shown = place.intersected({0, 0, width, height});
    // Row by row: each picture row widened to the device scale once, then laid on the rows below it where they
    // differ from it. Only what changed is reported: the hammer man's frames differ from each other in a part.
    Rect changedArea;
    const std::size_t length = static_cast<std::size_t>(shown.width) * scale;
    widenedRow.resize(length);
    for (int py = shown.y; py < shown.bottom(); ++py) {
        const Rgb* source = picture.pixels.data() + static_cast<std::ptrdiff_t>(py - place.y) * picture.width +
                            (shown.x - place.x);
        // At scale 1 the picture's own row is the one to lay.
        const Rgb* row = source;
        if (scale > 1) {
            for (int i = 0; i < shown.width; ++i)
                std::fill_n(widenedRow.data() + static_cast<std::ptrdiff_t>(i) * scale, scale, source[i]);
            row = widenedRow.data();
        }
        const Rgb* const end = row + length;
        for (int copy = 0; copy < scale; ++copy) {
            Rgb* target = canvas.data() + static_cast<std::ptrdiff_t>(py * scale + copy) * deviceWidth() + shown.x * scale;
            // Most rows are as they were, which comparing them whole finds fastest.
            if (std::equal(row, end, target))
                continue;
            const Rgb* const first = std::mismatch(row, end, target).first;
            const Rgb* const last = std::mismatch(std::reverse_iterator(end), std::reverse_iterator(first),
                                                  std::reverse_iterator(target + length)).first.base();
            std::copy(first, last, target + (first - row));
            const int left = static_cast<int>(first - row) / scale;
            const int right = static_cast<int>(last - row + scale - 1) / scale;
            changedArea = changedArea.united({shown.x + left, py, right - left, 1});
        }
    }
    markChanged(changedArea);
    return place;
}

void Surface::refresh()
{
    // The listener may take the changes to show only those; what it leaves is shown by now all the same.
    if (refreshListener)
        refreshListener();
    changed.clear();
}

std::vector<Rect> Surface::takeChanges()
{
    return std::exchange(changed, {});
}

void Surface::setRefreshListener(std::function<void()> listener)
{
    refreshListener = std::move(listener);
}

Rgb Surface::pixelAt(int x, int y) const
{
    return canvas[static_cast<std::size_t>(y) * scale * deviceWidth() + static_cast<std::size_t>(x) * scale];
}
