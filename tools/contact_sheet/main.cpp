// SPDX-License-Identifier: GPL-3.0-or-later
// contact_sheet ART_FOLDER OUTPUT.png: puts every sprite picture and the icon
// on one sheet, enlarged 4x pixel for pixel, each with its name underneath.
// A picture that is not there yet gets an empty, labelled slot.
#include <QColor>
#include <QDir>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int scale = 4;
constexpr int margin = 24;
constexpr int gap = 24;
constexpr int labelHeight = 28;
constexpr QSize missingSize(40, 40); // in picture pixels

struct Slot {
    QString name;
    QImage picture; // null when the file is missing
    QSize size() const { return picture.isNull() ? missingSize * scale : picture.size() * scale; }
    QString label() const
    {
        return picture.isNull() ? name
                                : QStringLiteral("%1  %2x%3").arg(name).arg(picture.width()).arg(picture.height());
    }
};

// One row per kind of picture, in the order the game uses them.
std::vector<QStringList> sheetRows()
{
    std::vector<QStringList> rows;
    rows.push_back({"MOGURA1", "MOGURA2", "MOGURA3", "MOGURA4", "MOGURA5", "MOGURA6",
                    "NIGE0", "NIGE1", "NIGE2"});
    rows.push_back({"BOTAN_HUDAN", "BOTAN_UE", "BOTAN_SITA", "icon"});
    for (const char* man : {"HITO_A", "HITO_B", "HITO_C", "HITO_D"}) {
        QStringList frames;
        for (int frame = 0; frame <= 4; ++frame)
            frames << QStringLiteral("%1%2").arg(QLatin1String(man)).arg(frame);
        rows.push_back(frames);
    }
    return rows;
}

} // namespace

int main(int argc, char** argv)
{
    // Text needs a font database but no screen.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: contact_sheet ART_FOLDER OUTPUT.png\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));

    std::vector<std::vector<Slot>> rows;
    int missing = 0;
    for (const QStringList& names : sheetRows()) {
        std::vector<Slot> row;
        for (const QString& name : names) {
            QImage picture(folder.filePath(name + QStringLiteral(".png")));
            if (picture.isNull())
                ++missing;
            row.push_back({name, picture});
        }
        rows.push_back(row);
    }

    QFont font;
    font.setPixelSize(18);
    const QFontMetrics metrics(font);
    auto slotWidth = [&](const Slot& slot) {
        return std::max(slot.size().width(), metrics.horizontalAdvance(slot.label()));
    };

    // Size the sheet: each row as tall as its tallest slot plus its labels.
    int width = 0, height = margin;
    std::vector<int> rowHeights;
    for (const auto& row : rows) {
        int rowWidth = margin, rowHeight = 0;
        for (const Slot& slot : row) {
            rowWidth += slotWidth(slot) + gap;
            rowHeight = std::max(rowHeight, slot.size().height());
        }
        width = std::max(width, rowWidth - gap + margin);
        rowHeights.push_back(rowHeight);
        height += rowHeight + labelHeight + gap;
    }
    height += margin - gap;

    QImage sheet(width, height, QImage::Format_RGB32);
    sheet.fill(QColor(48, 48, 56));
    QPainter painter(&sheet);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.setFont(font);

    int y = margin;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        int x = margin;
        for (const Slot& slot : rows[r]) {
            const QRect place(QPoint(x, y), slot.size());
            if (slot.picture.isNull()) {
                painter.setPen(QPen(QColor(200, 80, 80), 2, Qt::DashLine));
                painter.drawRect(place.adjusted(1, 1, -1, -1));
                painter.drawText(place, Qt::AlignCenter, QStringLiteral("missing"));
            } else {
                // Without smooth transformation this repeats each pixel 4 x 4.
                painter.drawImage(place, slot.picture);
            }
            painter.setPen(QColor(235, 235, 235));
            painter.drawText(QRect(x, y + slot.size().height() + 4, slotWidth(slot), labelHeight),
                             Qt::AlignLeft | Qt::AlignTop, slot.label());
            x += slotWidth(slot) + gap;
        }
        y += rowHeights[r] + labelHeight + gap;
    }
    painter.end();

    const QString output = QString::fromLocal8Bit(argv[2]);
    if (!sheet.save(output, "PNG")) {
        std::fprintf(stderr, "contact_sheet: cannot write %s\n", argv[2]);
        return 1;
    }
    if (missing > 0)
        std::fprintf(stderr, "contact_sheet: %d picture(s) missing, shown as empty slots\n", missing);
    return 0;
}
