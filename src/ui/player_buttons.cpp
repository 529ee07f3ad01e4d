#include "ui/player_buttons.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace zell {

PlayerButton::PlayerButton(Glyph glyph, QWidget* parent) : QAbstractButton(parent), glyph_(glyph)
{
    setFocusPolicy(Qt::TabFocus);
}

void PlayerButton::setPlaying(bool playing)
{
    if (playing_ == playing)
        return;
    playing_ = playing;
    update();
}

QSize PlayerButton::sizeHint() const
{
    return {28, 24};
}

void PlayerButton::drawTriangle(QPainter& p, qreal x, qreal top, qreal h) const
{
    // Half the inner height tall, half as wide as tall, pointing right.
    QPainterPath path;
    path.moveTo(x, top);
    path.lineTo(x + h / 4, top + h / 4);
    path.lineTo(x, top + h / 2);
    path.closeSubpath();
    p.fillPath(path, p.brush());
}

void PlayerButton::paintEvent(QPaintEvent*)
{
    QStylePainter p(this);
    QStyleOptionButton option;
    option.initFrom(this);
    option.state |= looksPushed() ? QStyle::State_Sunken : QStyle::State_Raised;
    if (isChecked())
        option.state |= QStyle::State_On;
    p.drawControl(QStyle::CE_PushButtonBevel, option);

    const QRect inner = rect().adjusted(2, 2, -2, -2);
    // The style's pressed look is faint; a mode that is on must show from afar.
    if (looksPushed())
        p.fillRect(inner, QColor(0, 0, 0, 48));
    const qreal h = inner.height();
    const qreal shift = looksPushed() ? 1 : 0;
    const QColor ink = palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    const qreal top = inner.top() + h / 4 + shift;
    qreal x = inner.left() + h / 4 + shift;
    switch (glyph_) {
    case FastForward:
        drawTriangle(p, x, top, h);
        drawTriangle(p, x + h / 4, top, h);
        break;
    case FrameStep:
        for (int i = 0; i < 2; ++i, x += 0.16 * h)
            p.fillRect(QRectF(x, top, 0.12 * h, h / 2), ink);
        drawTriangle(p, x, top, h);
        break;
    case PlayStop:
        if (playing_) {
            // A stop sign: a black square inset by 2 pixels and a fifth.
            const int dx = 2 + width() / 5;
            const int dy = 2 + height() / 5;
            p.setRenderHint(QPainter::Antialiasing, false);
            p.fillRect(rect().adjusted(dx, dy, -dx, -dy).translated(int(shift), int(shift)), Qt::black);
        } else {
            // A play sign: one triangle, centred.
            drawTriangle(p, inner.left() + (inner.width() - h / 4) / 2 + shift, top, h);
        }
        break;
    case Label:
        p.setPen(ink);
        p.drawText(rect().translated(int(shift), int(shift)), Qt::AlignCenter, text());
        break;
    }
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(3, 3, -3, -3);
        p.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

} // namespace zell
