// The image view's drawing surface: the logical screen at a power-of-two
// zoom, showing the current frame alone, the screen composed up to it, or
// the player's screen, with scroll bars over the logical screen and colour
// picking. The
// screen, its background and the frame's place are read from the document
// whenever it is painted; the frame's decoded picture is the one thing it
// holds, and its window gives it a new one when the document changes.
#pragma once

#include <QAbstractScrollArea>
#include <QImage>

#include <cstdint>
#include <span>

#include "image/byte_buffer.h"
#include "image/color_table.h"
#include "image/raster_image.h"

class QPainter;
class QScrollBar;

namespace zell {

class DocumentModel;

// A 24-bit or indexed packed DIB as a QImage (RGB32); with a 1-bit mask of
// the same size, its see-through pixels get alpha 0 (premultiplied ARGB32).
// A null image when the DIB cannot be read.
QImage dibToImage(std::span<const uint8_t> dib, const ByteBuffer* mask = nullptr);
inline QImage dibToImage(const ByteBuffer& dib, const ByteBuffer* mask = nullptr)
{
    return dibToImage(dib.bytes(), mask);
}

enum PickMode : int { kPickNone = 0, kPickBackground = 1, kPickTransparent = 2 };

class ImageCanvas final : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit ImageCanvas(const DocumentModel& document, QWidget* parent = nullptr);

    // The screen's size or background changed: scroll over it anew.
    void refresh();
    // Takes the current frame's picture (8-bit, as read from its work file);
    // clearFrame leaves only the background.
    void setFrame(RasterImage& picture);
    void clearFrame();
    // False when the table has fewer entries than the picture uses: the
    // picture keeps its colours.
    bool setPalette(const ColorTable& table);
    bool hasFrame() const { return !picture_.image.empty(); }

    void setShowTransparency(bool on);
    bool showTransparency() const { return showTransparency_; }
    // The composed screen after the current frame replaces the bare frame
    // while `composed` is on; without a screen the bare frame stays. Picking
    // is off then: what lies under the pointer may belong to an earlier frame,
    // so the index picked would not be the colour clicked.
    void setComposed(bool on);
    bool composed() const { return composed_; }
    void setComposedScreen(const ByteBuffer& screen);
    void clearComposedScreen();
    // The player's screen replaces the single frame while it plays.
    void setAnimationFrame(const ByteBuffer& screen);
    void setAnimating(bool on);
    bool animating() const { return animating_; }

    // While cropping, the left button drags a rectangle of screen pixels
    // (from the pixel pressed to the pixel under the pointer, both in it) or
    // resizes the one shown by its corners and edges; picking waits.
    void setCropping(bool on);
    bool cropping() const { return cropping_; }
    // Clamped to the screen; an empty rectangle shows none.
    void setCropRect(const QRect& rect);
    QRect cropRect() const { return crop_; }

    // -1 (half) to 3 (eight times).
    void setZoom(int zoom);
    int zoom() const { return zoom_; }
    void setPickMode(int mode);
    int pickMode() const { return pickMode_; }

    // v in logical-screen pixels as canvas pixels at the current zoom.
    int64_t scaled(int64_t v) const { return zoom_ < 0 ? v >> 1 : v << zoom_; }
    int64_t unscaled(int64_t v) const { return zoom_ < 0 ? v << 1 : v >> zoom_; }
    // One scroll line: an eighth of the page, at least 1.
    static int lineOf(const QScrollBar& bar);

signals:
    // target 0: the background index, 1: the frame's transparent index;
    // index -1 clears it (or the point lay outside the frame).
    void colorIndexPicked(int target, int index);
    // The user dragged the crop rectangle to this (screen pixels).
    void cropRectDragged(const QRect& rect);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void updateScrollRanges();
    void rebuildFrameImage();
    void adjustAction(QScrollBar* bar, int action);
    void updateCursor();
    // The screen pixel under a viewport point, clamped to the screen.
    QPoint screenPixel(const QPoint& at) const;
    // The crop rectangle's outline in viewport pixels.
    QRect cropOutline() const;
    // Which edges of the crop rectangle lie near a viewport point.
    int edgesAt(const QPoint& at) const;
    void dragCrop(const QPoint& pixel);
    void paintCrop(QPainter& painter);
    QSize screenSize() const;

    const DocumentModel& document_;
    RasterImage picture_;
    QImage frameImage_;
    bool showTransparency_ = false;
    QImage composedImage_;
    bool composed_ = false;
    bool cropping_ = false;
    QRect crop_;
    // A drag under way: the edges it moves (none: a new rectangle from
    // anchor_), and the rectangle as it was when it began.
    bool dragging_ = false;
    int dragEdges_ = 0;
    QPoint anchor_;
    QRect dragStart_;
    QImage animationImage_;
    bool animating_ = false;
    int zoom_ = 0;
    int pickMode_ = kPickNone;
    int wheelLines_;
};

} // namespace zell
