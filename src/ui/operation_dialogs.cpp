#include "ui/operation_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

#include "app/string_table.h"
#include "document/gif_export.h"
#include "ui/optimize_options.h"

namespace zell {
namespace {

constexpr int kToolTipMs = 32767;

void setTip(QWidget* widget, const QString& text)
{
    // Plain text keeps the table's line breaks; none of these tips is wider
    // than 512 pixels.
    widget->setToolTip(text);
    widget->setToolTipDuration(kToolTipMs);
}

} // namespace

QDialogButtonBox* okCancel(QDialog* dialog)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(loadText(Text::Ok));
    buttons->button(QDialogButtonBox::Cancel)->setText(loadText(Text::Cancel));
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

int colorCountEntry(int count)
{
    for (int i = 0; i < 8; ++i) {
        if (count == (2 << i))
            return i;
    }
    return -1;
}

OptimizeDialog::OptimizeDialog(QWidget* parent, uint32_t initial) : QDialog(parent)
{
    setWindowTitle(loadText(Text::OptimizeTitle));
    details_ = new OptimizeOptionsPanel(this);
    details_->setOptions(initial);
    auto* group = new QGroupBox(this);
    panelLayout_ = new QVBoxLayout(group);
    panelLayout_->addWidget(details_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(okCancel(this));
}

void OptimizeDialog::estimateSizes(SizeEstimate::Measure measure)
{
    estimate_ = attachSizeEstimate(this, panelLayout_, std::move(measure), [this] { return options(); });
    connect(details_, &OptimizeOptionsPanel::changed, estimate_, [this] { estimate_->request(options()); });
}

uint32_t OptimizeDialog::options() const
{
    return kSaveOptimize | details_->options();
}

QCheckBox* OptimizeDialog::box(int control) const
{
    return details_->box(control);
}

QRadioButton* OptimizeDialog::radio(int control) const
{
    return details_->radio(control);
}

UnifyDialog::UnifyDialog(QWidget* parent, int currentColorCount) : QDialog(parent)
{
    setWindowTitle(loadText(Text::UnifyPalettesTitle));
    which_ = new QComboBox(this);
    which_->addItem(loadText(Text::AllFrames));
    which_->addItem(loadText(Text::SelectedFrames));
    sizes_ = new QComboBox(this);
    sizes_->addItem(loadText(Text::AllFrames));
    colors_ = new QComboBox(this);
    for (int i = 0; i < 8; ++i) {
        sizes_->addItem(loadText(Text::FramesWithColorsFormat).replace(QStringLiteral("%d"), QString::number(2 << i)));
        colors_->addItem(loadText(Text::ColorsFormat).replace(QStringLiteral("%d"), QString::number(2 << i)));
    }
    const int entry = colorCountEntry(currentColorCount);
    sizes_->setCurrentIndex(entry + 1);
    // Without a current frame (or with an odd count) the box starts at 256
    // colours, so that OK always has a size to give.
    colors_->setCurrentIndex(entry >= 0 ? entry : 7);
    useGlobal_ = new QCheckBox(loadText(Text::UseGlobalPalette), this);
    useGlobal_->setChecked(true);
    keepBackground_ = new QCheckBox(loadText(Text::ReserveBackground), this);
    reserveTransparent_ = new QCheckBox(loadText(Text::ReserveTransparent), this);
    transparentForAll_ = new QCheckBox(loadText(Text::UseReservedTransparent), this);
    note_ = new QLabel(loadText(Text::UnifyNote), this);
    note_->setWordWrap(true);
    QFont small = font();
    const int pixels = small.pixelSize() > 0 ? small.pixelSize() : QFontInfo(small).pixelSize();
    small.setPixelSize(std::max(pixels * 8 / 10, 10));
    note_->setFont(small);

    setTip(which_, loadText(Text::ConditionTipFormat).replace(QStringLiteral("%d"), QStringLiteral("1")));
    setTip(sizes_, loadText(Text::ConditionTipFormat).replace(QStringLiteral("%d"), QStringLiteral("2")));
    setTip(useGlobal_, loadText(Text::UseGlobalPaletteTip));
    setTip(transparentForAll_, loadText(Text::UseReservedTransparentTip));
    setTip(colors_, loadText(Text::UnifiedColorCountTip));
    setTip(keepBackground_, loadText(Text::ReserveBackgroundTip));
    setTip(reserveTransparent_, loadText(Text::ReserveTransparentTip));

    auto* targets = new QGroupBox(this);
    auto* targetForm = new QFormLayout(targets);
    targetForm->addRow(loadText(Text::FirstCondition), which_);
    targetForm->addRow(loadText(Text::SecondCondition), sizes_);
    targetForm->addRow(useGlobal_);
    auto* palette = new QGroupBox(this);
    auto* paletteForm = new QFormLayout(palette);
    paletteForm->addRow(loadText(Text::ColorCount), colors_);
    paletteForm->addRow(keepBackground_);
    paletteForm->addRow(reserveTransparent_);
    auto* indented = new QVBoxLayout;
    indented->setContentsMargins(24, 0, 0, 0);
    indented->addWidget(transparentForAll_);
    paletteForm->addRow(indented);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(targets);
    layout->addWidget(palette);
    layout->addWidget(note_);
    layout->addWidget(okCancel(this));
    setMinimumWidth(480); // the note in two lines, not four
    connect(colors_, &QComboBox::currentIndexChanged, this, &UnifyDialog::updateEnabling);
    connect(reserveTransparent_, &QCheckBox::toggled, this, &UnifyDialog::updateEnabling);
    updateEnabling();
}

void UnifyDialog::updateEnabling()
{
    const bool above2 = colors_->currentIndex() > 0;
    keepBackground_->setEnabled(above2);
    reserveTransparent_->setEnabled(above2);
    transparentForAll_->setEnabled(reserveTransparent_->isChecked());
}

UnifyOptions UnifyDialog::options() const
{
    UnifyOptions o;
    o.selectedOnly = which_->currentIndex() == 1;
    const int size = std::max(sizes_->currentIndex(), 0);
    o.sizeMask = size == 0 ? 0x1FFu : 1u << size;
    o.colorCount = 2 << std::max(colors_->currentIndex(), 0);
    o.useGlobal = useGlobal_->isChecked();
    // The reservations only count above 2 colours; the box for all frames
    // only while the transparent entry is reserved.
    o.keepBackground = o.colorCount > 2 && keepBackground_->isChecked();
    o.reserveTransparent = o.colorCount > 2 && reserveTransparent_->isChecked();
    o.transparentForAll = o.reserveTransparent && transparentForAll_->isChecked();
    return o;
}

QComboBox* UnifyDialog::combo(int control) const
{
    switch (control) {
    case Text::FirstCondition: return which_;
    case Text::SecondCondition: return sizes_;
    case Text::ColorCount: return colors_;
    default: return nullptr;
    }
}

QCheckBox* UnifyDialog::box(int control) const
{
    switch (control) {
    case Text::UseGlobalPalette: return useGlobal_;
    case Text::ReserveBackground: return keepBackground_;
    case Text::ReserveTransparent: return reserveTransparent_;
    case Text::UseReservedTransparent: return transparentForAll_;
    default: return nullptr;
    }
}

} // namespace zell
