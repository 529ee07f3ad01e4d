// The 16 x 16 grid of a colour table's cells with the background and
// transparent marks. Its geometry is given in 96-dpi pixels and scaled as a
// whole for the screen, so clicks are mapped back through the same scale.
#pragma once

#include <QWidget>

#include "image/color_table.h"

namespace zell {

class PaletteGrid final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSide = 290; // 96-dpi pixels, outline included

    explicit PaletteGrid(QWidget* parent = nullptr);

    // The cell under `point` (widget pixels at `scale`), or -1 on a gap, the
    // outline or an index at or beyond `count`.
    static int cellAt(QPointF point, qreal scale, int count);

    // What to draw; the marks are indices or -1 for none.
    void setTable(const ColorTable& table, int backgroundMark, int transparentMark);
    qreal scale() const { return scale_; }
    void setScale(qreal scale);

signals:
    void cellClicked(int index);
    void cellRightClicked(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    ColorTable table_;
    int backgroundMark_ = -1;
    int transparentMark_ = -1;
    qreal scale_ = 1;
};

} // namespace zell
