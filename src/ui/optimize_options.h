// The optimisation choices that the save dialog and the optimise dialog share:
// transparency and for which frames, dropping unchanged frames and their timing,
// and how lossy the lossless mode's compression may be.
#pragma once

#include <QWidget>

#include <cstdint>

class QCheckBox;
class QRadioButton;
class QSpinBox;

namespace zell {

class OptimizeOptionsPanel final : public QWidget {
    Q_OBJECT
public:
    explicit OptimizeOptionsPanel(QWidget* parent = nullptr);
    // Save-option bits, kSaveOptimize left to the dialog. Transparency for
    // frames without one is lossless (0x20, with the tables shrunk) or
    // requantising (0x10).
    uint32_t options() const;
    void setOptions(uint32_t bits);
    // The box named by its text: Text::UseTransparency,
    // Text::DropUnchangedFrames or Text::KeepDroppedDelay.
    QCheckBox* box(int control) const;
    // The choice named by its text: Text::OnlyTransparentFrames,
    // Text::AllFramesLossless or Text::AllFramesAutoTransparent.
    QRadioButton* radio(int control) const;
    // The lossy LZW level; it applies to the lossless mode only.
    QSpinBox* lossyLevel() const { return lossy_; }

signals:
    // Any choice changed: what the size estimate follows.
    void changed();

private:
    void updateEnabling();
    QCheckBox* transparency_;
    QCheckBox* dropUnchanged_;
    QCheckBox* keepTiming_;
    QRadioButton* onlySet_;
    QRadioButton* lossless_;
    QRadioButton* automatic_;
    QSpinBox* lossy_;
};

} // namespace zell
