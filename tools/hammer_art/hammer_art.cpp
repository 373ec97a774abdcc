// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the hammer man's twenty frames (four aims, five frames each) as opaque PNG files.
//
// The man is posed from a few parts (legs, torso, head, arms, hammer) on a canvas laid out like the
// window, in screen pixels, so he stands on the same spot in every frame; each frame is then cut out
// at the place where the game copies it. The game draws the frames over each other without erasing,
// so the poses keep every figure inside the rectangles of the frames that can follow it; the program
// checks that and refuses to write anything that would leave a trace on the screen.
//
//   hammer_art <folder>    writes <folder>/HITO_A0.png .. HITO_D4.png
#include <QColor>
#include <QDir>
#include <QImage>
#include <QPolygonF>
#include <QRect>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

namespace {

// ---------------------------------------------------------------- palette (light from the top left)

constexpr QRgb green = qRgb(0, 128, 0);

struct Shades {
    QRgb light, base, shadow, outline;
};

constexpr Shades skin{qRgb(255, 216, 172), qRgb(236, 172, 122), qRgb(192, 122, 80), qRgb(92, 46, 24)};
constexpr Shades hair{qRgb(66, 66, 84), qRgb(22, 22, 26), qRgb(8, 8, 10), qRgb(8, 8, 10)};
constexpr Shades trousers{qRgb(92, 118, 214), qRgb(56, 76, 170), qRgb(34, 44, 110), qRgb(20, 22, 56)};
constexpr Shades belt{qRgb(120, 76, 40), qRgb(84, 50, 24), qRgb(56, 32, 14), qRgb(30, 16, 6)};
constexpr Shades shoes{qRgb(110, 76, 52), qRgb(64, 40, 26), qRgb(40, 24, 14), qRgb(22, 12, 6)};
constexpr Shades wood{qRgb(232, 180, 110), qRgb(196, 134, 68), qRgb(140, 86, 40), qRgb(70, 40, 16)};
constexpr Shades hammerRed{qRgb(255, 110, 96), qRgb(222, 30, 30), qRgb(150, 14, 22), qRgb(72, 8, 10)};

constexpr QRgb eyeWhite = qRgb(255, 255, 255);
constexpr QRgb pupil = qRgb(16, 16, 20);
constexpr QRgb mouthDark = qRgb(110, 30, 24);
constexpr QRgb teeth = qRgb(250, 250, 240);
constexpr QRgb buckle = qRgb(244, 204, 64);
constexpr QRgb buckleDark = qRgb(170, 120, 30);
constexpr QRgb impactYellow = qRgb(255, 238, 80);
constexpr QRgb impactWhite = qRgb(255, 255, 255);
constexpr QRgb trail = qRgb(176, 236, 176);

// ---------------------------------------------------------------- placement on the window

constexpr int twipsPerPixel = 15;
constexpr int canvasWidth = 340;
constexpr int canvasHeight = 170;

int toPixel(double twips) { return static_cast<int>(std::lround(twips / twipsPerPixel)); }

enum Aim { A, B, C, D };
constexpr std::array<char, 4> aimLetter{'A', 'B', 'C', 'D'};

constexpr std::array<std::array<QSize, 5>, 4> frameSize{{
    {QSize(136, 146), QSize(137, 146), QSize(131, 146), QSize(164, 155), QSize(136, 155)},
    {QSize(137, 146), QSize(137, 146), QSize(137, 146), QSize(137, 155), QSize(137, 155)},
    {QSize(135, 146), QSize(137, 146), QSize(137, 146), QSize(137, 155), QSize(137, 155)},
    {QSize(137, 146), QSize(137, 146), QSize(152, 146), QSize(164, 155), QSize(164, 155)},
}};

// Where the game copies a frame, in screen pixels.
QRect frameRect(int aim, int frame)
{
    constexpr std::array<double, 5> xOfA{1950, 2000, 1850, 1300, 1300};
    const double xTwips = aim == A ? xOfA[static_cast<std::size_t>(frame)] : 2 * 970.0;
    const double yTwips = static_cast<double>(0.03f * 1580.0f);
    return QRect(QPoint(toPixel(xTwips), toPixel(yTwips)), frameSize[aim][static_cast<std::size_t>(frame)]);
}

// ---------------------------------------------------------------- masks and shaded parts

class Mask {
public:
    Mask() : on(canvasWidth * canvasHeight, 0) {}

    bool at(int x, int y) const
    {
        return x >= 0 && y >= 0 && x < canvasWidth && y < canvasHeight && on[index(x, y)];
    }
    void set(int x, int y)
    {
        if (x >= 0 && y >= 0 && x < canvasWidth && y < canvasHeight)
            on[index(x, y)] = 1;
    }

    // Pixels whose centres lie within r of the segment a-b.
    void capsule(QPointF a, QPointF b, double r)
    {
        const QPointF d = b - a;
        const double length2 = std::max(QPointF::dotProduct(d, d), 1e-9);
        forBox(QRectF(a, b).normalized().adjusted(-r - 1, -r - 1, r + 1, r + 1), [&](QPointF p) {
            const double t = std::clamp(QPointF::dotProduct(p - a, d) / length2, 0.0, 1.0);
            const QPointF q = p - (a + t * d);
            return QPointF::dotProduct(q, q) <= r * r;
        });
    }
    void polygon(const QPolygonF& shape)
    {
        forBox(shape.boundingRect().adjusted(-1, -1, 1, 1),
               [&](QPointF p) { return shape.containsPoint(p, Qt::OddEvenFill); });
    }
    void ellipse(QPointF centre, double rx, double ry)
    {
        forBox(QRectF(centre.x() - rx - 1, centre.y() - ry - 1, 2 * rx + 2, 2 * ry + 2), [&](QPointF p) {
            const double u = (p.x() - centre.x()) / rx, v = (p.y() - centre.y()) / ry;
            return u * u + v * v <= 1.0;
        });
    }

private:
    static std::size_t index(int x, int y) { return static_cast<std::size_t>(y * canvasWidth + x); }

    template <typename Inside> void forBox(QRectF box, Inside inside)
    {
        for (int y = static_cast<int>(std::floor(box.top())); y <= static_cast<int>(std::ceil(box.bottom())); ++y)
            for (int x = static_cast<int>(std::floor(box.left())); x <= static_cast<int>(std::ceil(box.right())); ++x)
                if (inside(QPointF(x + 0.5, y + 0.5)))
                    set(x, y);
    }

    std::vector<unsigned char> on;
};

class Canvas {
public:
    // Only the picture's own rectangle is drawn on; what would fall outside it is not part of it.
    explicit Canvas(QRect picture) : image(canvasWidth, canvasHeight, QImage::Format_RGB32), clip(picture)
    {
        image.fill(green);
    }

    void put(int x, int y, QRgb colour)
    {
        if (clip.contains(x, y))
            image.setPixel(x, y, colour);
    }
    void put(QPointF p, QRgb colour) { put(static_cast<int>(std::floor(p.x())), static_cast<int>(std::floor(p.y())), colour); }

    // A dark line around the part, then the part lit from the top left: a bright rim on the upper
    // and left edges, a two-pixel shadow on the right and a one-pixel shadow along the bottom.
    void paint(const Mask& part, const Shades& shades, bool outlined = true)
    {
        for (int y = 0; y < canvasHeight; ++y)
            for (int x = 0; x < canvasWidth; ++x) {
                if (part.at(x, y)) {
                    QRgb colour = shades.base;
                    if (!part.at(x - 1, y) || !part.at(x, y - 1))
                        colour = shades.light;
                    if (!part.at(x + 1, y) || !part.at(x + 2, y) || !part.at(x, y + 1))
                        colour = shades.shadow;
                    put(x, y, colour);
                } else if (outlined && (part.at(x - 1, y) || part.at(x + 1, y) || part.at(x, y - 1) || part.at(x, y + 1))) {
                    put(x, y, shades.outline);
                }
            }
    }

    QImage image;

private:
    QRect clip;
};

QPointF unit(double degrees)
{
    const double radians = degrees * std::numbers::pi / 180.0;
    return QPointF(std::cos(radians), std::sin(radians));
}

QPointF normalised(QPointF v)
{
    const double length = std::hypot(v.x(), v.y());
    return length > 0 ? v / length : QPointF(0, 0);
}

// ---------------------------------------------------------------- the poses

// One frame of the swing, in screen pixels. The hammer is given by the centre of its head and the
// direction of the handle (degrees, 0 = pointing right, 90 = pointing down), from the hands to the head.
struct Pose {
    double shift;       // the whole man stepped sideways
    double lean;        // upper body shifted sideways towards the blow
    double crouch;      // upper body lowered
    QPointF hammerHead; // centre of the red head
    double handleAngle;
    double handle;      // from the lower hand to the centre of the head, as seen (shorter when tilted away)
    int lookX, lookY;   // where the eyes look: -1 left, 1 right; 1 down
    int stepLeft, stepRight; // feet moved sideways
    bool landed;        // frame 4: head flat on the hole, seen end-on, with a bang
    bool clenched;      // gritted teeth instead of a set mouth
};

constexpr double centreX = 195; // the man's middle on the screen

// Frame 0 is the same for every aim: hammer held up over the right side of his head, ready.
constexpr Pose ready{0, 0, 0, {238.2, 20.5}, -12, 36, 0, 0, 0, 0, false, false};

// Frames 1 to 4 of each aim: the hammer tips over towards the target (1), comes down in front of
// him (2, 3) and lands on the hole (4); his eyes and body follow it.
constexpr std::array<std::array<Pose, 4>, 4> swing{{
    // A: hole 1, far left; he steps and lunges left, the blow lands at the bottom-left corner.
    {{{0, -2, 0, {166.2, 19.2}, -165, 34, -1, 0, 0, 0, false, false},
      {0, -5, 2, {145.7, 59}, 205, 40, -1, 0, -1, 0, false, true},
      {-8, -8, 4, {135.4, 117.7}, 140, 40, -1, 1, -3, 0, false, true},
      {-14, -16, 12, {96, 152}, 139, 51, -1, 1, -6, 0, true, true}}},
    // B: hole 2, just left of him.
    {{{0, -1, 0, {181.4, 16.4}, -135, 22, -1, 0, 0, 0, false, false},
      {0, -3, 2, {155.7, 51.7}, 225, 40, -1, 0, 0, 0, false, true},
      {-2, -4, 3, {162, 130.6}, 120, 40, -1, 1, -1, 0, false, true},
      {-2, -6, 8, {161, 152}, 120, 39, -1, 1, -2, 0, true, true}}},
    // C: hole 3, just right of him.
    {{{0, 1, 0, {216.6, 16.4}, -45, 22, 1, 0, 0, 0, false, false},
      {0, 3, 2, {234.3, 51.7}, -45, 40, 1, 0, 0, 0, false, true},
      {2, 4, 3, {228, 130.6}, 60, 40, 1, 1, 0, 1, false, true},
      {2, 6, 8, {226, 152}, 65, 37, 1, 1, 0, 2, true, true}}},
    // D: hole 4, far right; he steps and lunges right, the blow lands at the bottom-right corner.
    {{{0, 3, 0, {236.2, 48}, 30, 36, 1, 0, 0, 0, false, false},
      {0, 5, 2, {246.3, 59}, -25, 40, 1, 0, 0, 1, false, true},
      {6, 8, 4, {256.6, 119.7}, 40, 40, 1, 1, 0, 3, false, true},
      {14, 16, 12, {287, 152}, 41, 51, 1, 1, 0, 6, true, true}}},
}};

Pose poseOf(int aim, int frame) { return frame == 0 ? ready : swing[aim][static_cast<std::size_t>(frame - 1)]; }

// ---------------------------------------------------------------- drawing the man

void drawLegs(Canvas& canvas, const Pose& pose)
{
    const double cx = centreX + pose.shift;
    const double beltBottom = 110 + pose.crouch / 2;
    Mask legs;
    // Each leg from the hip to the ankle; a lunge moves the foot out.
    legs.polygon(QPolygonF({{cx - 17, beltBottom - 1}, {cx + 17, beltBottom - 1},
                            {cx + 17, beltBottom + 6}, {cx - 17, beltBottom + 6}}));
    legs.polygon(QPolygonF({{cx - 17, beltBottom + 2}, {cx - 1, beltBottom + 2},
                            {cx - 2 + pose.stepLeft, 142}, {cx - 17 + pose.stepLeft, 142}}));
    legs.polygon(QPolygonF({{cx + 1, beltBottom + 2}, {cx + 17, beltBottom + 2},
                            {cx + 17 + pose.stepRight, 142}, {cx + 2 + pose.stepRight, 142}}));
    canvas.paint(legs, trousers);
    // The crease down each leg and the shade between them.
    for (int y = static_cast<int>(beltBottom) + 8; y < 139; ++y) {
        const double t = (y - beltBottom) / (142 - beltBottom);
        canvas.put(QPointF(cx - 10 + pose.stepLeft * t, y), trousers.shadow);
        canvas.put(QPointF(cx + 8 + pose.stepRight * t, y), trousers.shadow);
    }

    Mask feet;
    feet.polygon(QPolygonF({{cx - 19 + pose.stepLeft, 141}, {cx - 1 + pose.stepLeft, 141},
                            {cx - 1 + pose.stepLeft, 147}, {cx - 21 + pose.stepLeft, 147}}));
    feet.polygon(QPolygonF({{cx + 1 + pose.stepRight, 141}, {cx + 19 + pose.stepRight, 141},
                            {cx + 21 + pose.stepRight, 147}, {cx + 1 + pose.stepRight, 147}}));
    canvas.paint(feet, shoes);
}

void drawTorso(Canvas& canvas, const Pose& pose)
{
    const double cx = centreX + pose.shift;
    const double dx = pose.lean, dy = pose.crouch;
    const double waistY = 106 + dy / 2;

    Mask neck;
    neck.polygon(QPolygonF({{cx - 5 + dx, 58 + dy}, {cx + 5 + dx, 58 + dy},
                            {cx + 6 + dx, 69 + dy}, {cx - 6 + dx, 69 + dy}}));
    canvas.paint(neck, skin);

    Mask torso;
    torso.polygon(QPolygonF({{cx - 14 + dx, 66 + dy}, {cx + 14 + dx, 66 + dy},
                             {cx + 24 + dx, 71 + dy}, {cx + 23 + dx, 80 + dy},
                             {cx + 19 + dx * 0.7, 92 + dy}, {cx + 16 + dx * 0.3, waistY + 1},
                             {cx - 16 + dx * 0.3, waistY + 1}, {cx - 19 + dx * 0.7, 92 + dy},
                             {cx - 23 + dx, 80 + dy}, {cx - 24 + dx, 71 + dy}}));
    canvas.paint(torso, skin);

    // Chest and belly: the line under each pectoral, the middle line, the navel.
    for (int i = 0; i < 8; ++i) {
        canvas.put(QPointF(cx - 15 + i + dx, 82 + dy + i / 4), skin.shadow);
        canvas.put(QPointF(cx + 14 - i + dx, 82 + dy + i / 4), skin.shadow);
    }
    for (int y = 86; y < 100; ++y)
        canvas.put(QPointF(cx + dx * (0.3 + 0.4 * (100 - y) / 14.0), y + dy), skin.shadow);
    for (int i = 0; i < 3; ++i) {
        canvas.put(QPointF(cx - 6 + i + dx * 0.5, 93 + dy), skin.shadow);
        canvas.put(QPointF(cx + 4 + i + dx * 0.5, 93 + dy), skin.shadow);
    }
    canvas.put(QPointF(cx + dx * 0.3, 101 + dy), skin.outline);
    canvas.put(QPointF(cx - 9 + dx, 73 + dy), skin.light);
    canvas.put(QPointF(cx - 8 + dx, 73 + dy), skin.light);

    Mask belt;
    belt.polygon(QPolygonF({{cx - 17 + dx * 0.3, waistY}, {cx + 17 + dx * 0.3, waistY},
                            {cx + 17, waistY + 5}, {cx - 17, waistY + 5}}));
    canvas.paint(belt, ::belt);
    const double bx = cx + dx * 0.15;
    for (int y = 0; y < 5; ++y)
        for (int x = -3; x <= 2; ++x) {
            const bool edge = y == 0 || y == 4 || x == -3 || x == 2;
            canvas.put(QPointF(bx + x, waistY + y + 0.5), edge ? buckle : buckleDark);
        }
}

void drawHead(Canvas& canvas, const Pose& pose)
{
    const double cx = centreX + pose.shift;
    const QPointF c(cx + pose.lean + pose.lookX, 50 + pose.crouch);

    Mask ears;
    ears.ellipse(c + QPointF(-10.5, 1), 2.2, 3.2);
    ears.ellipse(c + QPointF(10.5, 1), 2.2, 3.2);
    canvas.paint(ears, skin);

    Mask face;
    face.polygon(QPolygonF({c + QPointF(-10, -9), c + QPointF(10, -9), c + QPointF(10, 4), c + QPointF(7, 10),
                            c + QPointF(3, 12), c + QPointF(-3, 12), c + QPointF(-7, 10), c + QPointF(-10, 4)}));
    canvas.paint(face, skin);

    // Spiky black hair with short sideburns.
    Mask hairMask;
    hairMask.polygon(QPolygonF({c + QPointF(-11, -1), c + QPointF(-12, -8), c + QPointF(-14, -11),
                                c + QPointF(-10, -12), c + QPointF(-10, -16), c + QPointF(-6, -14),
                                c + QPointF(-4, -18), c + QPointF(0, -15), c + QPointF(3, -19),
                                c + QPointF(6, -15), c + QPointF(10, -17), c + QPointF(11, -12),
                                c + QPointF(14, -11), c + QPointF(12, -7), c + QPointF(11, -1),
                                c + QPointF(9, -2), c + QPointF(8, -6), c + QPointF(3, -6),
                                c + QPointF(0, -5), c + QPointF(-3, -7), c + QPointF(-8, -6),
                                c + QPointF(-9, -2)}));
    canvas.paint(hairMask, hair);

    // Heavy brows, eyes looking where the hammer goes, nose, mouth.
    const QPointF look(pose.lookX, pose.lookY);
    for (const int side : {-1, 1}) {
        const QPointF eye = c + QPointF(side * 4.5, -1);
        for (int i = -2; i <= 2; ++i) // brows slant down towards the nose: a determined look
            canvas.put(eye + QPointF(i, -3 + (i * side < 0 ? 1 : 0)), hair.base);
        for (int y = 0; y < 3; ++y)
            for (int x = -1; x <= 1; ++x)
                canvas.put(eye + QPointF(x, y - 1), eyeWhite);
        canvas.put(eye + look + QPointF(0, -1 + std::max(0, pose.lookY)), pupil);
        canvas.put(eye + look + QPointF(0, 0), pupil);
    }
    canvas.put(c + QPointF(0, 3), skin.shadow);
    canvas.put(c + QPointF(1, 3), skin.shadow);
    canvas.put(c + QPointF(0, 2), skin.light);
    if (pose.clenched) {
        for (int x = -3; x <= 3; ++x) {
            canvas.put(c + QPointF(x, 6), mouthDark);
            canvas.put(c + QPointF(x, 7), x % 2 == 0 ? teeth : qRgb(210, 210, 200));
            canvas.put(c + QPointF(x, 8), mouthDark);
        }
        canvas.put(c + QPointF(-4, 7), mouthDark);
        canvas.put(c + QPointF(4, 7), mouthDark);
    } else {
        for (int x = -3; x <= 3; ++x)
            canvas.put(c + QPointF(x, 7 + (std::abs(x) == 3 ? -1 : 0)), mouthDark);
    }
}

struct Grip {
    QPointF lower, upper; // the two hands on the handle
};

Grip gripOf(const Pose& pose)
{
    const QPointF along = unit(pose.handleAngle);
    // A landed head is seen end-on and the handle leaves its top.
    const QPointF anchor = pose.landed ? pose.hammerHead + QPointF(0, -6) : pose.hammerHead;
    const QPointF lower = anchor - pose.handle * along;
    return {lower, lower + 7 * along};
}

void drawHammer(Canvas& canvas, const Pose& pose)
{
    const QPointF along = unit(pose.handleAngle);
    const Grip grip = gripOf(pose);
    const QPointF butt = grip.lower - 3 * along;

    Mask handle;
    if (pose.landed) {
        handle.capsule(butt, pose.hammerHead + QPointF(0, -6), 1.6);
    } else {
        handle.capsule(butt, pose.hammerHead, 1.6);
    }
    canvas.paint(handle, wood);

    Mask head;
    if (pose.landed) {
        // Narrow enough that the head and its outline stay inside the span of the hole.
        const double halfWidth = pose.hammerHead.x() < 120 ? 5 : 4;
        const QPointF h = pose.hammerHead;
        head.polygon(QPolygonF({h + QPointF(-halfWidth + 1, -6), h + QPointF(halfWidth - 1, -6),
                                h + QPointF(halfWidth, -5), h + QPointF(halfWidth, 6),
                                h + QPointF(-halfWidth, 6), h + QPointF(-halfWidth, -5)}));
        // The face rests on the bottom row of the frame; the outline under it falls outside the picture.
        canvas.paint(head, hammerRed);
        for (int x = static_cast<int>(h.x() - halfWidth); x < static_cast<int>(h.x() + halfWidth); ++x)
            canvas.put(x, static_cast<int>(h.y() + 2), hammerRed.shadow); // iron band
    } else {
        const QPointF across(-along.y(), along.x());
        const QPointF h = pose.hammerHead;
        const double halfLength = 9, halfThick = 5;
        head.polygon(QPolygonF({h + halfLength * across + halfThick * along, h + halfLength * across - halfThick * along,
                                h - halfLength * across - halfThick * along, h - halfLength * across + halfThick * along}));
        canvas.paint(head, hammerRed);
        // Dark iron faces at both ends of the head.
        for (double t = -halfThick + 0.5; t < halfThick; t += 0.5) {
            canvas.put(h + (halfLength - 1.5) * across + t * along, hammerRed.shadow);
            canvas.put(h - (halfLength - 1.5) * across + t * along, hammerRed.shadow);
        }
    }
}

void drawArms(Canvas& canvas, const Pose& pose)
{
    const double cx = centreX + pose.shift;
    const Grip grip = gripOf(pose);
    const double dx = pose.lean, dy = pose.crouch;
    const QPointF leftShoulder(cx - 19 + dx, 72 + dy), rightShoulder(cx + 19 + dx, 72 + dy);
    // The hand nearer the hammer head belongs to the shoulder on the hammer's side.
    const bool hammerLeft = pose.hammerHead.x() < cx + dx;
    const QPointF leftHand = hammerLeft ? grip.upper : grip.lower;
    const QPointF rightHand = hammerLeft ? grip.lower : grip.upper;

    auto arm = [&](QPointF shoulder, QPointF hand, double outward) {
        // Two segments of 24 pixels; the elbow bends away from the body, and with the hands
        // above the head the upper arm goes up beside it so that the face stays clear.
        constexpr double segment = 24;
        const QPointF d = hand - shoulder;
        const double reach = std::min(std::hypot(d.x(), d.y()), 2 * segment);
        const double bend = std::sqrt(std::max(0.0, segment * segment - reach * reach / 4));
        QPointF side(-d.y(), d.x());
        side = normalised(side);
        if (side.x() * outward < 0 || (std::abs(side.x()) < 0.2 && side.y() < 0))
            side = -side;
        QPointF elbow = shoulder + d / 2 + bend * side;
        if (hand.y() < shoulder.y() - 28)
            elbow = QPointF(shoulder.x() + outward, std::max(hand.y() + 9, shoulder.y() - 36));
        Mask upper, lower;
        upper.capsule(shoulder, elbow, 3.4);
        upper.ellipse(shoulder + QPointF(0, 1), 4.5, 4.5);
        lower.capsule(elbow, hand, 2.8);
        canvas.paint(upper, skin);
        canvas.paint(lower, skin);
    };
    // The arm nearer the viewer's side of the swing is drawn last, in front.
    if (hammerLeft) {
        arm(rightShoulder, rightHand, 1);
        arm(leftShoulder, leftHand, -1);
    } else {
        arm(leftShoulder, leftHand, -1);
        arm(rightShoulder, rightHand, 1);
    }
    Mask hands;
    hands.ellipse(grip.lower, 3.2, 3.2);
    hands.ellipse(grip.upper, 3.2, 3.2);
    canvas.paint(hands, skin);
    // Knuckles across the fists.
    const QPointF along = unit(pose.handleAngle);
    canvas.put(grip.lower + 1.5 * along, skin.shadow);
    canvas.put(grip.upper + 1.5 * along, skin.shadow);
}

// Streaks behind the moving hammer head show which way it is going.
void drawTrail(Canvas& canvas, int aim, int frame)
{
    if (frame < 2 || frame > 3)
        return;
    const Pose now = poseOf(aim, frame), before = poseOf(aim, frame - 1);
    const QPointF from = before.hammerHead, to = now.hammerHead;
    const QPointF d = to - from;
    const QPointF across = normalised(QPointF(-d.y(), d.x()));
    for (const double offset : {-5.0, 0.0, 5.0}) {
        for (double t = 0.25; t < 0.62; t += 0.02) {
            const double bulge = 6 * std::sin(t * std::numbers::pi);
            canvas.put(from + t * d + (offset + bulge) * across * (aim < C ? 1 : -1), trail);
        }
    }
}

// Short rays of the bang beside the landed head, only where the frame has room for them.
void drawImpact(Canvas& canvas, const Pose& pose, QRect room)
{
    auto ray = [&](QPointF p, QRgb colour) {
        if (room.contains(static_cast<int>(std::floor(p.x())), static_cast<int>(std::floor(p.y()))))
            canvas.put(p, colour);
    };
    const QPointF foot = pose.hammerHead + QPointF(0, 5);
    for (const int side : {-1, 1}) {
        const double edge = pose.hammerHead.x() + side * 7;
        for (int i = 0; i < 4; ++i) {
            ray(QPointF(edge + side * (i + 1), foot.y() - 1 - i), i < 2 ? impactWhite : impactYellow);
            ray(QPointF(edge + side * (i + 2), foot.y() - 6 - i / 2), impactYellow);
        }
    }
}

QImage drawFrame(int aim, int frame)
{
    const Pose pose = poseOf(aim, frame);
    Canvas canvas(frameRect(aim, frame));
    drawTrail(canvas, aim, frame);
    drawLegs(canvas, pose);
    drawTorso(canvas, pose);
    drawHead(canvas, pose);
    drawHammer(canvas, pose);
    drawArms(canvas, pose);
    if (pose.landed)
        drawImpact(canvas, pose, frameRect(aim, frame).adjusted(1, 1, -1, -2));
    return canvas.image;
}

// ---------------------------------------------------------------- checks before writing

// The bounding box of the figure (every non-green pixel), in screen pixels.
QRect figureBox(const QImage& screen)
{
    QRect box;
    for (int y = 0; y < screen.height(); ++y)
        for (int x = 0; x < screen.width(); ++x)
            if (screen.pixel(x, y) != green)
                box |= QRect(x, y, 1, 1);
    return box;
}

// The frames that the game may draw next over each frame: the swing down and back up, frame 0 after
// the swing's last frame 1, and frame 1 of any aim after frame 0 or 1.
std::vector<std::pair<int, int>> followersOf(int aim, int frame)
{
    std::vector<std::pair<int, int>> next;
    if (frame >= 1 && frame <= 3)
        next.push_back({aim, frame + 1});
    if (frame >= 2)
        next.push_back({aim, frame - 1});
    if (frame == 1)
        next.push_back({aim, 0});
    if (frame <= 1)
        for (int other = A; other <= D; ++other)
            next.push_back({other, 1});
    return next;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: hammer_art <folder for the PNG files>\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.exists() && !QDir().mkpath(folder.path())) {
        std::fprintf(stderr, "hammer_art: cannot make %s\n", argv[1]);
        return 1;
    }

    std::array<std::array<QImage, 5>, 4> screens;
    for (int aim = A; aim <= D; ++aim)
        for (int frame = 0; frame < 5; ++frame)
            screens[aim][frame] = drawFrame(aim, frame);

    bool fits = true;
    for (int aim = A; aim <= D; ++aim)
        for (int frame = 0; frame < 5; ++frame) {
            const QRect box = figureBox(screens[aim][frame]);
            // One green pixel all round, except that the landed head may rest on the bottom edge.
            QRect room = frameRect(aim, frame).adjusted(1, 1, -1, frame == 4 ? 0 : -1);
            for (const auto& [nextAim, nextFrame] : followersOf(aim, frame))
                room &= frameRect(nextAim, nextFrame);
            if (!room.contains(box)) {
                std::fprintf(stderr, "HITO_%c%d: figure x %d..%d y %d..%d, room x %d..%d y %d..%d\n",
                             aimLetter[aim], frame, box.left(), box.right(), box.top(), box.bottom(),
                             room.left(), room.right(), room.top(), room.bottom());
                fits = false;
            }
        }
    if (!fits) {
        std::fprintf(stderr, "hammer_art: a figure would be left on the screen by the next frame\n");
        return 1;
    }

    for (int aim = A; aim <= D; ++aim)
        for (int frame = 0; frame < 5; ++frame) {
            const QImage picture = screens[aim][frame].copy(frameRect(aim, frame)).convertToFormat(QImage::Format_RGB888);
            const QString name = QStringLiteral("HITO_%1%2.png").arg(QChar(aimLetter[aim])).arg(frame);
            if (!picture.save(folder.filePath(name), "PNG")) {
                std::fprintf(stderr, "hammer_art: cannot write %s\n", qPrintable(folder.filePath(name)));
                return 1;
            }
        }
    return 0;
}
