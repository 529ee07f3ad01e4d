// The dialogs of the two whole-animation operations: the optimise dialog
// gives the optimiser's option bits, the unify-palettes dialog the
// unifier's options. Neither runs anything; the commands do.
#pragma once

#include <QDialog>

#include <cstdint>

#include "operations/palette_unifier.h"
#include "ui/size_estimate.h"

class QCheckBox;
class QDialogButtonBox;
class QComboBox;
class QLabel;
class QRadioButton;
class QVBoxLayout;

namespace zell {

class OptimizeOptionsPanel;

// OK and Cancel in the interface language, wired to accept and reject.
QDialogButtonBox* okCancel(QDialog* dialog);

// Asks for the optimiser's options; made anew for every command from the
// bits 0x31: transparency and dropping unchanged frames unchecked, the
// lossless choice selected; the radios follow the transparency box.
class OptimizeDialog final : public QDialog {
    Q_OBJECT
public:
    explicit OptimizeDialog(QWidget* parent = nullptr, uint32_t initial = 0x31);
    // 0x01 and the panel's bits.
    uint32_t options() const;
    QCheckBox* box(int control) const;
    QRadioButton* radio(int control) const;

    // Shows the size of the GIF the chosen options would give, measured
    // in the background as they change.
    void estimateSizes(SizeEstimate::Measure measure);
    SizeEstimate* estimate() const { return estimate_; }

private:
    OptimizeOptionsPanel* details_;
    QVBoxLayout* panelLayout_;
    SizeEstimate* estimate_ = nullptr;
};

// Asks for the unifier's options. `currentColorCount` (0 without a current
// frame) picks the first entries of the second condition and of the
// colour count.
class UnifyDialog final : public QDialog {
    Q_OBJECT
public:
    explicit UnifyDialog(QWidget* parent = nullptr, int currentColorCount = 0);
    // Every option but the selected rows, which the command adds.
    UnifyOptions options() const;
    QComboBox* combo(int control) const;
    QCheckBox* box(int control) const;
    QLabel* note() const { return note_; }

private:
    void updateEnabling();
    QComboBox* which_;
    QComboBox* sizes_;
    QComboBox* colors_;
    QCheckBox* useGlobal_;
    QCheckBox* keepBackground_;
    QCheckBox* reserveTransparent_;
    QCheckBox* transparentForAll_;
    QLabel* note_;
};

// The entry of a "2, 4, ... 256" list for a colour count: log2(count) - 1,
// or -1 when the count is none of them.
int colorCountEntry(int count);

} // namespace zell
