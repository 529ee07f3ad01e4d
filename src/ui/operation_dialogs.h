// The dialogs of the two whole-animation operations: dialog 208 (optimise)
// gives the optimiser's option bits, dialog 209 (unify palettes) the
// unifier's options. Neither runs anything; the commands do.
#pragma once

#include <QDialog>

#include <cstdint>

#include "operations/palette_unifier.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QRadioButton;

namespace zell {

class OptimizeOptionsPanel;

// Dialog 208, made anew for every command from the bits 0x31: 1224 and 1225
// unchecked, the lossless choice selected; the radios follow 1224.
class OptimizeDialog final : public QDialog {
    Q_OBJECT
public:
    explicit OptimizeDialog(QWidget* parent = nullptr, uint32_t initial = 0x31);
    // 0x01 and the panel's bits.
    uint32_t options() const;
    QCheckBox* box(int control) const;
    QRadioButton* radio(int control) const;

private:
    OptimizeOptionsPanel* details_;
};

// Dialog 209. `currentColorCount` (0 without a current frame) picks the
// first entries of 1242 and 1127.
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
