// SPDX-License-Identifier: GPL-3.0-or-later
// controller_picture OUTPUT.png: draws a game controller with each button the game uses labelled by the key it
// presses (A, S, D, F for the holes, Space, F1, and OK in a box), the rest of the pad in grey.
#include "qt_text.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int width = 720;
constexpr int height = 440;

// The picture's own few colours: the game's key buttons are brown with white letters, so the pad's are too.
constexpr QRgb background = qRgb(48, 48, 56);
constexpr QRgb body = qRgb(92, 94, 104);
constexpr QRgb bodyEdge = qRgb(34, 34, 40);
constexpr QRgb unused = qRgb(66, 68, 76);
constexpr QRgb key = qRgb(128, 64, 0);
constexpr QRgb keyLight = qRgb(176, 104, 36);
constexpr QRgb ok = qRgb(0, 128, 0); // the game's green
constexpr QRgb letter = qRgb(255, 255, 255);
constexpr QRgb note = qRgb(210, 210, 216);
constexpr QRgb quiet = qRgb(150, 150, 160);

// VL Gothic, as the game's own texts, smoothed here since the picture is drawn smooth.
QFont face(int pixelSize, bool bold = false)
{
    QFont chosen = qt_text::font(pixelSize);
    chosen.setStyleStrategy(QFont::PreferAntialias);
    chosen.setBold(bold);
    return chosen;
}

void text(QPainter& painter, const QRectF& box, const QString& words, QRgb colour, const QFont& font,
          Qt::Alignment alignment = Qt::AlignCenter)
{
    painter.setFont(font);
    painter.setPen(QColor(colour));
    painter.drawText(box, alignment, words);
}

// The pad's outline: a body with two grips.
QPainterPath padOutline()
{
    QPainterPath body;
    body.addRoundedRect(QRectF(150, 118, 420, 160), 70, 70);
    QPainterPath leftGrip;
    leftGrip.addEllipse(QRectF(132, 170, 170, 210));
    QPainterPath rightGrip;
    rightGrip.addEllipse(QRectF(418, 170, 170, 210));
    return body.united(leftGrip).united(rightGrip);
}

// A button that presses one of the game's keys, with the key on it.
void keyButton(QPainter& painter, const QPainterPath& shape, const QString& name, int pixelSize)
{
    painter.setPen(QPen(QColor(bodyEdge), 2));
    painter.setBrush(QColor(key));
    painter.drawPath(shape);
    // A light rim along the top, as on the game's own key buttons.
    painter.setPen(QPen(QColor(keyLight), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(shape.translated(0, 2).intersected(shape));
    text(painter, shape.boundingRect(), name, letter, face(pixelSize, true));
}

QPainterPath circle(QPointF centre, double radius)
{
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    return path;
}

QPainterPath rounded(const QRectF& box, double radius)
{
    QPainterPath path;
    path.addRoundedRect(box, radius, radius);
    return path;
}

void drawUnused(QPainter& painter, const QPainterPath& shape)
{
    painter.setPen(QPen(QColor(bodyEdge), 2));
    painter.setBrush(QColor(unused));
    painter.drawPath(shape);
}

// The d-pad's four arms around its centre, each with its hole's key.
void drawDpad(QPainter& painter, QPointF centre)
{
    constexpr double arm = 36;   // across
    constexpr double reach = 50; // from the centre to an arm's end
    const QRectF left(centre.x() - reach, centre.y() - arm / 2, reach - arm / 2, arm);
    const QRectF right(centre.x() + arm / 2, centre.y() - arm / 2, reach - arm / 2, arm);
    const QRectF up(centre.x() - arm / 2, centre.y() - reach, arm, reach - arm / 2);
    const QRectF down(centre.x() - arm / 2, centre.y() + arm / 2, arm, reach - arm / 2);
    drawUnused(painter, rounded(QRectF(centre.x() - arm / 2, centre.y() - arm / 2, arm, arm), 2));
    keyButton(painter, rounded(left, 5), QStringLiteral("A"), 20);
    keyButton(painter, rounded(down, 5), QStringLiteral("S"), 20);
    keyButton(painter, rounded(up, 5), QStringLiteral("D"), 20);
    keyButton(painter, rounded(right, 5), QStringLiteral("F"), 20);
}

// The four face buttons by where they sit: west A, south S, north D, east F.
void drawFaceButtons(QPainter& painter, QPointF centre)
{
    constexpr double apart = 40;
    constexpr double radius = 19;
    keyButton(painter, circle(centre + QPointF(-apart, 0), radius), QStringLiteral("A"), 20);
    keyButton(painter, circle(centre + QPointF(0, apart), radius), QStringLiteral("S"), 20);
    keyButton(painter, circle(centre + QPointF(0, -apart), radius), QStringLiteral("D"), 20);
    keyButton(painter, circle(centre + QPointF(apart, 0), radius), QStringLiteral("F"), 20);
}

// South's second meaning, on a tag at its side: OK in a box of the game.
void drawOkTag(QPainter& painter, QPointF southCentre)
{
    const QRectF tag(southCentre.x() + 10, southCentre.y() + 10, 34, 20);
    painter.setPen(QPen(QColor(bodyEdge), 2));
    painter.setBrush(QColor(ok));
    painter.drawRoundedRect(tag, 10, 10);
    text(painter, tag, QStringLiteral("OK"), letter, face(13, true));
}

// A note outside the pad with a thin line to what it names.
void callout(QPainter& painter, QPointF from, QPointF to, const QRectF& box, const QString& words,
             Qt::Alignment alignment)
{
    painter.setPen(QPen(QColor(note), 1.5));
    painter.drawLine(from, to);
    painter.setBrush(QColor(note));
    painter.drawEllipse(to, 2.5, 2.5);
    text(painter, box, words, note, face(17), alignment | Qt::AlignVCenter);
}

void draw(QPainter& painter)
{
    painter.fillRect(QRect(0, 0, width, height), QColor(background));
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);

    // Shoulders and triggers, behind the body.
    drawUnused(painter, rounded(QRectF(182, 98, 110, 34), 14));
    drawUnused(painter, rounded(QRectF(428, 98, 110, 34), 14));

    painter.setPen(QPen(QColor(bodyEdge), 3));
    painter.setBrush(QColor(body));
    painter.drawPath(padOutline());

    const QPointF dpad(240, 200);
    const QPointF faces(480, 200);
    drawDpad(painter, dpad);
    drawFaceButtons(painter, faces);
    drawOkTag(painter, faces + QPointF(0, 40));
    keyButton(painter, rounded(QRectF(312, 160, 40, 22), 11), QStringLiteral("F1"), 13);
    keyButton(painter, rounded(QRectF(368, 160, 40, 22), 11), QStringLiteral("Space"), 11);
    drawUnused(painter, circle(QPointF(360, 215), 15));
    drawUnused(painter, circle(QPointF(298, 282), 27));
    drawUnused(painter, circle(QPointF(422, 282), 27));

    callout(painter, QPointF(300, 58), QPointF(332, 160), QRectF(20, 42, 272, 32),
            QStringLiteral("Back: music on or off"), Qt::AlignRight);
    callout(painter, QPointF(420, 58), QPointF(388, 160), QRectF(428, 42, 272, 32),
            QStringLiteral("Start: a round"), Qt::AlignLeft);
    callout(painter, QPointF(150, 330), QPointF(222, 238), QRectF(10, 314, 134, 32),
            QStringLiteral("holes 1 to 4"), Qt::AlignRight);
    callout(painter, QPointF(570, 330), QPointF(524, 262), QRectF(576, 314, 140, 32),
            QStringLiteral("in a box"), Qt::AlignLeft);
    text(painter, QRectF(0, height - 42, width, 30),
         QStringLiteral("Home, the sticks, the shoulders and the triggers do nothing."),
         quiet, face(15));
}

} // namespace

int main(int argc, char** argv)
{
    // Text needs a font database but no screen.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: controller_picture OUTPUT.png\n");
        return 2;
    }
    QImage picture(width, height, QImage::Format_RGB32);
    QPainter painter(&picture);
    draw(painter);
    painter.end();
    if (!picture.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "controller_picture: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
