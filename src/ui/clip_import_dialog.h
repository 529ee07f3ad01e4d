// How to turn a clip (a video, an animated WebP or PNG) into frames: the
// stretch, the rate, the size and the colours, with the first frame to see
// and the number of frames it would make.
#pragma once

#include <QDialog>
#include <QImage>

#include "document/clip_import.h"

class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace zell {

class ClipImportDialog final : public QDialog {
    Q_OBJECT
public:
    ClipImportDialog(QWidget* parent, const QString& path, const ClipInfo& info, const QImage& firstFrame);

    ClipOptions options() const;
    uint64_t frameEstimate() const;
    // A stretch of more frames than the limit is taken only when the user
    // says so; saying yes lifts the limit for this import.
    void accept() override;

    QDoubleSpinBox* fpsBox() const { return fps_; }
    QDoubleSpinBox* startBox() const { return start_; }
    QDoubleSpinBox* endBox() const { return end_; }
    QSpinBox* widthBox() const { return width_; }
    QSpinBox* heightBox() const { return height_; }
    QRadioButton* paletteButton(ClipPalette palette) const { return palettes_[int(palette)]; }
    QRadioButton* ditherButton(ClipDither dither) const { return dithers_[int(dither)]; }
    QPushButton* okButton() const { return ok_; }

private:
    void startChanged(double start);
    void widthChanged(int width);
    void heightChanged(int height);
    void updateEstimate();

    ClipInfo info_;
    uint32_t maxFrames_;
    QDoubleSpinBox* fps_;
    QDoubleSpinBox* start_;
    QDoubleSpinBox* end_;
    QSpinBox* width_;
    QSpinBox* height_;
    QRadioButton* palettes_[2];
    QRadioButton* dithers_[3];
    QLabel* estimate_;
    QPushButton* ok_;
    bool updating_ = false;
};

} // namespace zell
