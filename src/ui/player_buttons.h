// The image view's drawn buttons: play/stop, fast-forward, frame-step and
// the transparency toggle, each a push button with a glyph of its own that
// looks pushed while pressed or while its mode is on.
#pragma once

#include <QAbstractButton>

namespace zell {

class PlayerButton final : public QAbstractButton {
    Q_OBJECT
public:
    enum Glyph { PlayStop, FastForward, FrameStep, Label };

    PlayerButton(Glyph glyph, QWidget* parent = nullptr);

    Glyph glyph() const { return glyph_; }
    // Play/stop: a play sign while stopped, a stop sign while playing.
    void setPlaying(bool playing);
    bool playing() const { return playing_; }
    // Pressed by the mouse or held on by its mode.
    bool looksPushed() const { return isDown() || isChecked(); }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void drawTriangle(class QPainter& p, qreal x, qreal top, qreal h) const;

    Glyph glyph_;
    bool playing_ = false;
};

} // namespace zell
