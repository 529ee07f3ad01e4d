// The dialogs of the everyday edits: thin out, speed, resize and crop. Each
// only gathers numbers and keeps them within what the edit can take; the
// commands run the edits.
#pragma once

#include <QDialog>

#include <cstdint>

#include "operations/frame_edits.h"

class QCheckBox;
class QComboBox;
class QRadioButton;
class QSpinBox;

namespace zell {

// Keep one frame in every n (n >= 2, at most the frames there are).
class ThinOutDialog final : public QDialog {
    Q_OBJECT
public:
    ThinOutDialog(QWidget* parent, int frames, bool selectedOnly);
    uint32_t every() const;
    bool selectedOnly() const;
    QSpinBox* everyBox() const { return every_; }
    QComboBox* whichBox() const { return which_; }

private:
    QSpinBox* every_;
    QComboBox* which_;
};

// Scale every delay by a percentage, or set one delay.
class SpeedDialog final : public QDialog {
    Q_OBJECT
public:
    SpeedDialog(QWidget* parent, int currentDelay, bool selectedOnly);
    bool setsDelay() const;
    uint32_t percent() const;
    uint32_t delay() const;
    bool selectedOnly() const;
    QRadioButton* scaleRadio() const { return scale_; }
    QRadioButton* setRadio() const { return set_; }
    QSpinBox* percentBox() const { return percent_; }
    QSpinBox* delayBox() const { return delay_; }
    QComboBox* whichBox() const { return which_; }

private:
    QRadioButton* scale_;
    QRadioButton* set_;
    QSpinBox* percent_;
    QSpinBox* delay_;
    QComboBox* which_;
};

// A new screen size, typed or as a percentage; with the aspect kept (the
// default) each size follows the other.
class ResizeDialog final : public QDialog {
    Q_OBJECT
public:
    ResizeDialog(QWidget* parent, uint32_t screenWidth, uint32_t screenHeight);
    ResizeOptions options() const;
    QSpinBox* widthBox() const { return width_; }
    QSpinBox* heightBox() const { return height_; }
    QSpinBox* percentBox() const { return percent_; }
    QCheckBox* aspectBox() const { return aspect_; }
    QComboBox* filterBox() const { return filter_; }
    QCheckBox* ditherBox() const { return dither_; }

private:
    void widthChanged(int width);
    void heightChanged(int height);
    void percentChanged(int percent);
    void setQuietly(QSpinBox* box, int value);

    uint32_t screenWidth_, screenHeight_;
    QSpinBox* width_;
    QSpinBox* height_;
    QSpinBox* percent_;
    QCheckBox* aspect_;
    QComboBox* filter_;
    QCheckBox* dither_;
    bool updating_ = false;
};

// A rectangle that always lies inside the screen: the left and top reach
// at most the last pixel, and the size at most what remains beyond them.
class CropDialog final : public QDialog {
    Q_OBJECT
public:
    CropDialog(QWidget* parent, uint32_t screenWidth, uint32_t screenHeight);
    ScreenRect rect() const;
    // Takes a rectangle (a drag on the image view), clamped to the screen.
    void setRect(const ScreenRect& rect);
    QSpinBox* leftBox() const { return left_; }
    QSpinBox* topBox() const { return top_; }
    QSpinBox* widthBox() const { return width_; }
    QSpinBox* heightBox() const { return height_; }

signals:
    // Any of the numbers changed.
    void rectChanged();

private:
    void updateLimits();

    uint32_t screenWidth_, screenHeight_;
    QSpinBox* left_;
    QSpinBox* top_;
    QSpinBox* width_;
    QSpinBox* height_;
};

} // namespace zell
