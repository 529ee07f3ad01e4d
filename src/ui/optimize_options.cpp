#include "ui/optimize_options.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

#include "app/string_table.h"
#include "document/gif_export.h"
#include "image/lzw_lossy.h"

namespace zell {

OptimizeOptionsPanel::OptimizeOptionsPanel(QWidget* parent) : QWidget(parent)
{
    transparency_ = new QCheckBox(loadText(Text::UseTransparency), this);
    onlySet_ = new QRadioButton(loadText(Text::OnlyTransparentFrames), this);
    lossless_ = new QRadioButton(loadText(Text::AllFramesLossless), this);
    automatic_ = new QRadioButton(loadText(Text::AllFramesAutoTransparent), this);
    dropUnchanged_ = new QCheckBox(loadText(Text::DropUnchangedFrames), this);
    keepTiming_ = new QCheckBox(loadText(Text::KeepDroppedDelay), this);
    lossy_ = new QSpinBox(this);
    lossy_->setRange(0, kMaxLossyLevel);
    lossy_->setSingleStep(10);
    auto* lossyLabel = new QLabel(loadText(Text::LossyLevel), this);
    lossyLabel->setBuddy(lossy_);
    auto* lossy = new QHBoxLayout;
    lossy->setContentsMargins(24, 0, 0, 0);
    lossy->addWidget(lossyLabel);
    lossy->addWidget(lossy_);
    lossy->addStretch();
    auto* radios = new QVBoxLayout;
    radios->setContentsMargins(24, 0, 0, 0);
    for (QRadioButton* r : {onlySet_, lossless_, automatic_})
        radios->addWidget(r);
    radios->addLayout(lossy);
    auto* timing = new QVBoxLayout;
    timing->setContentsMargins(24, 0, 0, 0);
    timing->addWidget(keepTiming_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(transparency_);
    layout->addLayout(radios);
    layout->addWidget(dropUnchanged_);
    layout->addLayout(timing);
    connect(transparency_, &QCheckBox::toggled, this, &OptimizeOptionsPanel::updateEnabling);
    connect(dropUnchanged_, &QCheckBox::toggled, this, &OptimizeOptionsPanel::updateEnabling);
    connect(lossless_, &QRadioButton::toggled, this, &OptimizeOptionsPanel::updateEnabling);
    for (QCheckBox* b : {transparency_, dropUnchanged_, keepTiming_})
        connect(b, &QCheckBox::toggled, this, &OptimizeOptionsPanel::changed);
    for (QRadioButton* r : {onlySet_, lossless_, automatic_})
        connect(r, &QRadioButton::toggled, this, [this](bool on) {
            if (on) // one signal for the pair a switch toggles
                emit changed();
        });
    connect(lossy_, &QSpinBox::valueChanged, this, &OptimizeOptionsPanel::changed);
    setOptions(0);
}

void OptimizeOptionsPanel::setOptions(uint32_t bits)
{
    transparency_->setChecked(bits & kSaveTransparency);
    dropUnchanged_->setChecked(bits & kSaveDropUnchanged);
    keepTiming_->setChecked(bits & kSaveKeepTiming);
    lossy_->setValue(std::min(zell::lossyLevel(bits), kMaxLossyLevel));
    // Lossless unless asked otherwise: it changes no pixel.
    QRadioButton* chosen = (bits & kSaveLosslessTransparency) ? lossless_
        : (bits & kSaveAutoTransparency)                       ? automatic_
        : (bits & kSaveTransparency)                           ? onlySet_
                                                               : lossless_;
    chosen->setChecked(true);
    updateEnabling();
}

// A disabled panel (the save dialog without optimising) disables these too.
void OptimizeOptionsPanel::updateEnabling()
{
    for (QRadioButton* r : {onlySet_, lossless_, automatic_})
        r->setEnabled(transparency_->isChecked());
    keepTiming_->setEnabled(dropUnchanged_->isChecked());
    lossy_->setEnabled(transparency_->isChecked() && lossless_->isChecked());
}

uint32_t OptimizeOptionsPanel::options() const
{
    uint32_t bits = 0;
    if (dropUnchanged_->isChecked())
        bits |= kSaveDropUnchanged | (keepTiming_->isChecked() ? uint32_t(kSaveKeepTiming) : 0u);
    if (transparency_->isChecked()) {
        bits |= kSaveTransparency;
        if (lossless_->isChecked())
            bits |= kSaveLosslessTransparency | kSaveShrinkTables | lossyOption(lossy_->value());
        else if (automatic_->isChecked())
            bits |= kSaveAutoTransparency;
    }
    return bits;
}

QCheckBox* OptimizeOptionsPanel::box(int control) const
{
    switch (control) {
    case Text::UseTransparency: return transparency_;
    case Text::DropUnchangedFrames: return dropUnchanged_;
    case Text::KeepDroppedDelay: return keepTiming_;
    default: return nullptr;
    }
}

QRadioButton* OptimizeOptionsPanel::radio(int control) const
{
    switch (control) {
    case Text::OnlyTransparentFrames: return onlySet_;
    case Text::AllFramesAutoTransparent: return automatic_;
    case Text::AllFramesLossless: return lossless_;
    default: return nullptr;
    }
}

} // namespace zell
