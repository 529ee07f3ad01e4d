#include "ui/image_canvas.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cstdlib>

#include "document/screen_composer.h"
#include "image/dib.h"
#include "ui/document_model.h"

namespace zell {

namespace {

QColor toQColor(uint32_t color)
{
    return QColor(colorRed(color), colorGreen(color), colorBlue(color));
}

enum Edge : int { kLeft = 1, kTop = 2, kRight = 4, kBottom = 8 };
// How near (viewport pixels) a press must be to grab an edge or corner.
constexpr int kGrip = 4;
constexpr int kHandle = 5;

bool maskOpaque(const uint8_t* bits, uint32_t x)
{
    return (bits[x >> 3] & (0x80u >> (x & 7))) != 0;
}

} // namespace

QImage dibToImage(std::span<const uint8_t> dib, const ByteBuffer* mask)
{
    DibHeader h;
    if (dib.empty() || !checkDib(dib, &h))
        return {};
    ByteBuffer converted;
    std::span<const uint8_t> rgb = dib;
    if (h.bitCount != 24) {
        if (!convertToTrueColor(dib, converted) || !checkDib(converted.bytes(), &h))
            return {};
        rgb = converted.bytes();
    }
    DibHeader m;
    const bool masked = mask && !mask->empty() && checkDib(mask->bytes(), &m) && m.bitCount == 1
                        && m.width == h.width && m.absHeight() == h.absHeight();
    const int width = h.width;
    const int height = int(h.absHeight());
    QImage out(width, height, masked ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (out.isNull())
        return {};
    for (int y = 0; y < height; ++y) {
        const uint8_t* src = rgb.data() + dibRowOffset(h, uint32_t(y));
        const uint8_t* maskRow = masked ? mask->data() + dibRowOffset(m, uint32_t(y)) : nullptr;
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < width; ++x, src += 3) {
            const bool opaque = !maskRow || maskOpaque(maskRow, uint32_t(x));
            dst[x] = opaque ? qRgb(src[2], src[1], src[0]) : 0;
        }
    }
    return out;
}

ImageCanvas::ImageCanvas(const DocumentModel& document, QWidget* parent)
    : QAbstractScrollArea(parent), document_(document), wheelLines_(QApplication::wheelScrollLines())
{
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()})
        connect(bar, &QScrollBar::actionTriggered, this, [this, bar](int action) { adjustAction(bar, action); });
    updateScrollRanges();
}

int ImageCanvas::lineOf(const QScrollBar& bar)
{
    return std::max(1, bar.pageStep() / 8);
}

void ImageCanvas::adjustAction(QScrollBar* bar, int action)
{
    // A page moves seven lines, not a whole page; value() is still the old one.
    const int page = 7 * lineOf(*bar);
    if (action == QAbstractSlider::SliderPageStepAdd)
        bar->setSliderPosition(bar->value() + page);
    else if (action == QAbstractSlider::SliderPageStepSub)
        bar->setSliderPosition(bar->value() - page);
}

QSize ImageCanvas::screenSize() const
{
    return {document_.settings().screenWidth, document_.settings().screenHeight};
}

void ImageCanvas::updateScrollRanges()
{
    const QSize client = viewport()->size();
    const QSize screen = screenSize();
    const auto set = [](QScrollBar* bar, int logical, int page) {
        page = std::max(1, page);
        bar->setRange(0, std::max(0, logical - page));
        bar->setPageStep(page);
        bar->setSingleStep(std::max(1, page / 8));
    };
    set(horizontalScrollBar(), screen.width(), int(unscaled(client.width())));
    set(verticalScrollBar(), screen.height(), int(unscaled(client.height())));
    viewport()->update();
}

void ImageCanvas::refresh()
{
    updateScrollRanges();
}

void ImageCanvas::setFrame(RasterImage& picture)
{
    picture_.image.swap(picture.image);
    picture_.mask.release();
    rebuildFrameImage();
}

void ImageCanvas::clearFrame()
{
    picture_.image.release();
    picture_.mask.release();
    frameImage_ = QImage();
    viewport()->update();
}

bool ImageCanvas::setPalette(const ColorTable& table)
{
    DibHeader h;
    if (picture_.image.empty() || !checkDib(picture_.image.bytes(), &h) || h.bitCount > 8)
        return true;
    if (table.count < dibColorCount(h))
        return false;
    picture_.applyColorTable(&table);
    rebuildFrameImage();
    return true;
}

void ImageCanvas::setShowTransparency(bool on)
{
    showTransparency_ = on;
    rebuildFrameImage();
}

void ImageCanvas::rebuildFrameImage()
{
    // An index the picture has no entry for marks nothing: the frame is
    // drawn opaque, as the player composes it.
    picture_.mask.release();
    const Frame* frame = document_.currentFrame();
    const uint16_t transparent = frame ? frame->transparentIndex : kNoIndex;
    if (showTransparency_ && transparent != kNoIndex && !picture_.buildMask(transparent))
        picture_.mask.release();
    frameImage_ = dibToImage(picture_.image, showTransparency_ ? &picture_.mask : nullptr);
    viewport()->update();
}

void ImageCanvas::setComposed(bool on)
{
    composed_ = on;
    updateCursor();
    viewport()->update();
}

void ImageCanvas::setComposedScreen(const ByteBuffer& screen)
{
    composedImage_ = dibToImage(screen);
    viewport()->update();
}

void ImageCanvas::clearComposedScreen()
{
    composedImage_ = QImage();
    viewport()->update();
}

void ImageCanvas::setAnimationFrame(const ByteBuffer& screen)
{
    animationImage_ = dibToImage(screen);
    viewport()->update();
}

void ImageCanvas::setAnimating(bool on)
{
    animating_ = on;
    if (!on)
        animationImage_ = QImage();
    viewport()->update();
}

void ImageCanvas::setZoom(int zoom)
{
    zoom_ = std::clamp(zoom, -1, 3);
    updateScrollRanges();
}

void ImageCanvas::setPickMode(int mode)
{
    pickMode_ = mode;
    updateCursor();
}

void ImageCanvas::setCropping(bool on)
{
    cropping_ = on;
    dragging_ = false;
    updateCursor();
    viewport()->update();
}

void ImageCanvas::setCropRect(const QRect& rect)
{
    const QSize size = screenSize();
    crop_ = rect.intersected(QRect(QPoint(0, 0), size));
    viewport()->update();
}

QPoint ImageCanvas::screenPixel(const QPoint& at) const
{
    const QSize size = screenSize();
    const int64_t x = horizontalScrollBar()->value() + unscaled(at.x());
    const int64_t y = verticalScrollBar()->value() + unscaled(at.y());
    return {int(std::clamp<int64_t>(x, 0, std::max(size.width() - 1, 0))),
            int(std::clamp<int64_t>(y, 0, std::max(size.height() - 1, 0)))};
}

QRect ImageCanvas::cropOutline() const
{
    const int64_t sx = horizontalScrollBar()->value();
    const int64_t sy = verticalScrollBar()->value();
    const int left = int(scaled(crop_.left() - sx));
    const int top = int(scaled(crop_.top() - sy));
    const int right = int(scaled(int64_t(crop_.right()) + 1 - sx));
    const int bottom = int(scaled(int64_t(crop_.bottom()) + 1 - sy));
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

int ImageCanvas::edgesAt(const QPoint& at) const
{
    if (crop_.isEmpty())
        return 0;
    const QRect r = cropOutline();
    if (!r.adjusted(-kGrip, -kGrip, kGrip, kGrip).contains(at))
        return 0;
    int edges = 0;
    if (std::abs(at.x() - r.left()) <= kGrip)
        edges |= kLeft;
    else if (std::abs(at.x() - r.right()) <= kGrip)
        edges |= kRight;
    if (std::abs(at.y() - r.top()) <= kGrip)
        edges |= kTop;
    else if (std::abs(at.y() - r.bottom()) <= kGrip)
        edges |= kBottom;
    return edges;
}

void ImageCanvas::dragCrop(const QPoint& pixel)
{
    QPoint a = anchor_, b = pixel;
    if (dragEdges_ != 0) {
        // The edges held stay; the moved ones follow the pointer, past the
        // opposite edge too.
        a = QPoint(dragEdges_ & kRight ? dragStart_.left() : pixel.x(),
                   dragEdges_ & kBottom ? dragStart_.top() : pixel.y());
        b = QPoint(dragEdges_ & kLeft ? dragStart_.right() : pixel.x(),
                   dragEdges_ & kTop ? dragStart_.bottom() : pixel.y());
        if (!(dragEdges_ & (kLeft | kRight))) {
            a.setX(dragStart_.left());
            b.setX(dragStart_.right());
        }
        if (!(dragEdges_ & (kTop | kBottom))) {
            a.setY(dragStart_.top());
            b.setY(dragStart_.bottom());
        }
    }
    const QRect rect(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                     QPoint(std::max(a.x(), b.x()), std::max(a.y(), b.y())));
    if (rect == crop_)
        return;
    setCropRect(rect);
    emit cropRectDragged(crop_);
}

void ImageCanvas::paintCrop(QPainter& p)
{
    if (!cropping_ || crop_.isEmpty())
        return;
    p.setClipping(false);
    const QRect r = cropOutline();
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 1));
    p.drawRect(r);
    p.setPen(QPen(Qt::black, 1, Qt::DashLine));
    p.drawRect(r);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    const int xs[3] = {r.left(), r.center().x(), r.right()};
    const int ys[3] = {r.top(), r.center().y(), r.bottom()};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            if (i != 1 || j != 1)
                p.drawRect(xs[i] - kHandle / 2, ys[j] - kHandle / 2, kHandle - 1, kHandle - 1);
}

void ImageCanvas::updateCursor()
{
    if (cropping_)
        viewport()->setCursor(Qt::CrossCursor);
    else if (!composed_ && (pickMode_ == kPickBackground || pickMode_ == kPickTransparent))
        viewport()->setCursor(Qt::CrossCursor);
    else
        viewport()->unsetCursor();
}

void ImageCanvas::paintEvent(QPaintEvent*)
{
    QPainter p(viewport());
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.fillRect(viewport()->rect(), palette().color(QPalette::Dark));
    const int64_t sx = horizontalScrollBar()->value();
    const int64_t sy = verticalScrollBar()->value();
    const QSize size = screenSize();
    const QRect screen(0, 0, int(scaled(size.width() - sx)), int(scaled(size.height() - sy)));
    if (screen.isEmpty())
        return;
    p.setClipRect(screen);
    p.fillRect(screen, toQColor(backgroundColor(document_.settings())));
    const Frame* frame = document_.currentFrame();
    const bool whole = animating_ || (composed_ && !composedImage_.isNull());
    const QImage& image = animating_ ? animationImage_ : whole ? composedImage_ : frameImage_;
    if (!image.isNull() && (whole || frame)) {
        const int64_t left = whole ? 0 : frame->left;
        const int64_t top = whole ? 0 : frame->top;
        const QRect target(int(scaled(left - sx)), int(scaled(top - sy)), int(scaled(image.width())),
                           int(scaled(image.height())));
        p.drawImage(target, image, image.rect());
    }
    paintCrop(p);
}

void ImageCanvas::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRanges();
}

void ImageCanvas::scrollContentsBy(int, int)
{
    // Scroll units are logical pixels, not canvas pixels: repaint instead.
    viewport()->update();
}

void ImageCanvas::mousePressEvent(QMouseEvent* event)
{
    if (cropping_ && !animating_) {
        if (event->button() == Qt::LeftButton) {
            const QPoint at = event->position().toPoint();
            dragging_ = true;
            dragEdges_ = edgesAt(at);
            dragStart_ = crop_;
            anchor_ = screenPixel(at);
            if (dragEdges_ == 0)
                dragCrop(anchor_);
        }
        event->accept();
        return;
    }
    if (animating_ || composed_ || (pickMode_ != kPickBackground && pickMode_ != kPickTransparent)) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const int target = pickMode_ == kPickBackground ? 0 : 1;
    if (event->button() == Qt::RightButton) {
        emit colorIndexPicked(target, -1);
    } else if (event->button() == Qt::LeftButton) {
        const QPoint at = event->position().toPoint();
        const int64_t x = horizontalScrollBar()->value() + unscaled(at.x());
        const int64_t y = verticalScrollBar()->value() + unscaled(at.y());
        const Frame* frame = document_.currentFrame();
        const int index = hasFrame() && frame ? picture_.pixelIndex(x - frame->left, y - frame->top) : -1;
        emit colorIndexPicked(target, index);
    }
    event->accept();
}

void ImageCanvas::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragging_) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    dragCrop(screenPixel(event->position().toPoint()));
    event->accept();
}

void ImageCanvas::mouseReleaseEvent(QMouseEvent* event)
{
    if (dragging_ && event->button() == Qt::LeftButton) {
        dragCrop(screenPixel(event->position().toPoint()));
        dragging_ = false;
        event->accept();
        return;
    }
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void ImageCanvas::wheelEvent(QWheelEvent* event)
{
    event->accept();
    if (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier))
        return;
    QScrollBar* bar = verticalScrollBar()->maximum() > 0 ? verticalScrollBar() : horizontalScrollBar();
    const QPoint angle = event->angleDelta();
    const int delta = angle.y() != 0 ? angle.y() : angle.x();
    // At most seven lines a notch either way, so a page-per-notch setting
    // cannot jump the view to its far end.
    const int lines = std::clamp(-delta * wheelLines_ / 120, -7, 7);
    bar->setValue(bar->value() + lines * lineOf(*bar));
}

} // namespace zell
