#include "ui/palette_grid.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace zell {
namespace {

constexpr int kStep = 18;
constexpr int kOrigin = 2;

QColor qColorOf(uint32_t rgb)
{
    return QColor(int(rgb & 0xFF), int((rgb >> 8) & 0xFF), int((rgb >> 16) & 0xFF));
}

QPoint cellOrigin(int index)
{
    return QPoint(index % 16 * kStep + kOrigin, index / 16 * kStep + kOrigin);
}

// One-pixel strokes as filled rectangles, so that scaling keeps them crisp.
void stroke(QPainter& p, int x0, int y0, int x1, int y1)
{
    p.fillRect(QRect(QPoint(x0, y0), QPoint(x1, y1)), Qt::black);
}

void drawBackgroundMark(QPainter& p, QPoint cell)
{
    const int x = cell.x(), y = cell.y();
    p.fillRect(x + 4, y + 4, 7, 10, Qt::white);
    stroke(p, x + 5, y + 5, x + 5, y + 12);
    stroke(p, x + 6, y + 8, x + 8, y + 8);
    stroke(p, x + 6, y + 12, x + 8, y + 12);
    stroke(p, x + 9, y + 8, x + 9, y + 11);
}

void drawTransparentMark(QPainter& p, QPoint cell)
{
    const int x = cell.x(), y = cell.y();
    p.fillRect(x + 9, y + 6, 7, 10, Qt::white);
    stroke(p, x + 10, y + 9, x + 14, y + 9);
    stroke(p, x + 12, y + 7, x + 12, y + 13);
    stroke(p, x + 13, y + 14, x + 13, y + 14);
}

} // namespace

PaletteGrid::PaletteGrid(QWidget* parent) : QWidget(parent)
{
    setCursor(Qt::UpArrowCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setScale(1);
}

void PaletteGrid::setScale(qreal scale)
{
    scale_ = std::max<qreal>(scale, 1);
    setFixedSize(int(std::ceil(kSide * scale_)), int(std::ceil(kSide * scale_)));
    update();
}

int PaletteGrid::cellAt(QPointF point, qreal scale, int count)
{
    const qreal s = scale > 0 ? scale : 1;
    const int x = int(std::floor(point.x() / s)) - kOrigin;
    const int y = int(std::floor(point.y() / s)) - kOrigin;
    if (x < 0 || y < 0 || x >= 16 * kStep || y >= 16 * kStep)
        return -1;
    // The last pixel of each step is the gap between two cells.
    if (x % kStep == kStep - 1 || y % kStep == kStep - 1)
        return -1;
    const int index = y / kStep * 16 + x / kStep;
    return index < count ? index : -1;
}

void PaletteGrid::setTable(const ColorTable& table, int backgroundMark, int transparentMark)
{
    table_ = table;
    backgroundMark_ = backgroundMark;
    transparentMark_ = transparentMark;
    update();
}

void PaletteGrid::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    p.scale(scale_, scale_);
    p.setPen(Qt::NoPen);
    const int side = kSide;
    stroke(p, 0, 0, side - 1, 0);
    stroke(p, 0, side - 1, side - 1, side - 1);
    stroke(p, 0, 0, 0, side - 1);
    stroke(p, side - 1, 0, side - 1, side - 1);
    const int count = std::min<int>(table_.count, 256);
    for (int i = 0; i < count; ++i) {
        const QPoint o = cellOrigin(i);
        p.fillRect(o.x(), o.y(), 17, 17, Qt::black);
        p.fillRect(o.x() + 1, o.y() + 1, 15, 15, qColorOf(table_.color(uint32_t(i))));
    }
    if (backgroundMark_ >= 0 && backgroundMark_ < count)
        drawBackgroundMark(p, cellOrigin(backgroundMark_));
    if (transparentMark_ >= 0 && transparentMark_ < count)
        drawTransparentMark(p, cellOrigin(transparentMark_));
}

void PaletteGrid::mousePressEvent(QMouseEvent* event)
{
    const int index = cellAt(event->position(), scale_, table_.count);
    if (event->button() == Qt::LeftButton && index >= 0)
        emit cellClicked(index);
    else if (event->button() == Qt::RightButton && index >= 0)
        emit cellRightClicked(index);
}

} // namespace zell
