#include "ui/edit_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "app/string_table.h"
#include "ui/operation_dialogs.h"

namespace zell {
namespace {

constexpr int kMaxSide = 65535; // a GIF's screen size is 16 bits
constexpr int kMaxPercent = 10000;

QSpinBox* spin(QWidget* parent, int min, int max, int value)
{
    auto* box = new QSpinBox(parent);
    box->setRange(min, max);
    box->setValue(value);
    box->setAlignment(Qt::AlignRight);
    return box;
}

// All frames, or the selection; the selection first when there is one.
QComboBox* whichFrames(QWidget* parent, bool selectedOnly)
{
    auto* box = new QComboBox(parent);
    box->addItem(loadText(Text::AllFrames));
    box->addItem(loadText(Text::SelectedFrames));
    box->setCurrentIndex(selectedOnly ? 1 : 0);
    return box;
}

int scaled(uint32_t side, double factor)
{
    return std::clamp(int(std::lround(double(side) * factor)), 1, kMaxSide);
}

} // namespace

ThinOutDialog::ThinOutDialog(QWidget* parent, int frames, bool selectedOnly) : QDialog(parent)
{
    setWindowTitle(loadText(Text::ThinOutTitle));
    every_ = spin(this, 2, std::max(frames, 2), 2);
    which_ = whichFrames(this, selectedOnly);
    auto* row = new QHBoxLayout;
    row->addWidget(every_);
    row->addWidget(new QLabel(loadText(Text::KeepEveryUnit), this));
    row->addStretch();
    auto* form = new QFormLayout;
    form->addRow(loadText(Text::KeepEvery), row);
    form->addRow(which_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(okCancel(this));
}

uint32_t ThinOutDialog::every() const
{
    return uint32_t(every_->value());
}

bool ThinOutDialog::selectedOnly() const
{
    return which_->currentIndex() == 1;
}

SpeedDialog::SpeedDialog(QWidget* parent, int currentDelay, bool selectedOnly) : QDialog(parent)
{
    setWindowTitle(loadText(Text::SpeedTitle));
    scale_ = new QRadioButton(loadText(Text::ScaleSpeed), this);
    set_ = new QRadioButton(loadText(Text::SetDelay), this);
    scale_->setChecked(true);
    percent_ = spin(this, 1, kMaxPercent, 100);
    percent_->setSuffix(QStringLiteral(" %"));
    delay_ = spin(this, 0, 65535, std::clamp(currentDelay, 0, 65535));
    which_ = whichFrames(this, selectedOnly);
    auto* grid = new QGridLayout;
    grid->addWidget(scale_, 0, 0);
    grid->addWidget(percent_, 0, 1);
    grid->addWidget(new QLabel(loadText(Text::ScaleSpeedNote), this), 0, 2);
    grid->addWidget(set_, 1, 0);
    grid->addWidget(delay_, 1, 1);
    grid->addWidget(new QLabel(loadText(Text::DelayUnit), this), 1, 2);
    grid->addWidget(which_, 2, 0, 1, 3);
    auto follow = [this] {
        percent_->setEnabled(scale_->isChecked());
        delay_->setEnabled(set_->isChecked());
    };
    connect(scale_, &QRadioButton::toggled, this, follow);
    follow();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(okCancel(this));
}

bool SpeedDialog::setsDelay() const
{
    return set_->isChecked();
}

uint32_t SpeedDialog::percent() const
{
    return uint32_t(percent_->value());
}

uint32_t SpeedDialog::delay() const
{
    return uint32_t(delay_->value());
}

bool SpeedDialog::selectedOnly() const
{
    return which_->currentIndex() == 1;
}

ResizeDialog::ResizeDialog(QWidget* parent, uint32_t screenWidth, uint32_t screenHeight)
    : QDialog(parent), screenWidth_(std::max(screenWidth, 1u)), screenHeight_(std::max(screenHeight, 1u))
{
    setWindowTitle(loadText(Text::ResizeTitle));
    width_ = spin(this, 1, kMaxSide, int(screenWidth_));
    height_ = spin(this, 1, kMaxSide, int(screenHeight_));
    percent_ = spin(this, 1, kMaxPercent, 100);
    percent_->setSuffix(QStringLiteral(" %"));
    aspect_ = new QCheckBox(loadText(Text::KeepAspect), this);
    aspect_->setChecked(true);
    filter_ = new QComboBox(this);
    filter_->addItem(loadText(Text::SmoothFilter));
    filter_->addItem(loadText(Text::NearestFilter));
    dither_ = new QCheckBox(loadText(Text::Dither), this);
    auto* form = new QFormLayout;
    form->addRow(loadText(Text::ScreenWidth), width_);
    form->addRow(loadText(Text::ScreenHeight), height_);
    form->addRow(loadText(Text::Percentage), percent_);
    form->addRow(aspect_);
    form->addRow(loadText(Text::ScaleFilterLabel), filter_);
    form->addRow(dither_);
    connect(width_, &QSpinBox::valueChanged, this, &ResizeDialog::widthChanged);
    connect(height_, &QSpinBox::valueChanged, this, &ResizeDialog::heightChanged);
    connect(percent_, &QSpinBox::valueChanged, this, &ResizeDialog::percentChanged);
    // Locking again brings the height back in line with the width.
    connect(aspect_, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            widthChanged(width_->value());
    });
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(okCancel(this));
}

void ResizeDialog::setQuietly(QSpinBox* box, int value)
{
    const bool was = updating_;
    updating_ = true;
    box->setValue(value);
    updating_ = was;
}

void ResizeDialog::widthChanged(int width)
{
    if (updating_)
        return;
    const double factor = double(width) / double(screenWidth_);
    if (aspect_->isChecked())
        setQuietly(height_, scaled(screenHeight_, factor));
    setQuietly(percent_, std::clamp(int(std::lround(factor * 100)), 1, kMaxPercent));
}

void ResizeDialog::heightChanged(int height)
{
    if (updating_)
        return;
    const double factor = double(height) / double(screenHeight_);
    if (aspect_->isChecked()) {
        setQuietly(width_, scaled(screenWidth_, factor));
        setQuietly(percent_, std::clamp(int(std::lround(factor * 100)), 1, kMaxPercent));
    }
}

void ResizeDialog::percentChanged(int percent)
{
    if (updating_)
        return;
    // A percentage is of both sides, whether the aspect is locked or not.
    setQuietly(width_, scaled(screenWidth_, percent / 100.0));
    setQuietly(height_, scaled(screenHeight_, percent / 100.0));
}

ResizeOptions ResizeDialog::options() const
{
    ResizeOptions options;
    options.width = uint32_t(width_->value());
    options.height = uint32_t(height_->value());
    options.filter = filter_->currentIndex() == 1 ? ScaleFilter::nearest : ScaleFilter::smooth;
    options.dither = dither_->isChecked();
    return options;
}

CropDialog::CropDialog(QWidget* parent, uint32_t screenWidth, uint32_t screenHeight)
    : QDialog(parent), screenWidth_(std::clamp<uint32_t>(screenWidth, 1, kMaxSide)),
      screenHeight_(std::clamp<uint32_t>(screenHeight, 1, kMaxSide))
{
    setWindowTitle(loadText(Text::CropTitle));
    left_ = spin(this, 0, int(screenWidth_) - 1, 0);
    top_ = spin(this, 0, int(screenHeight_) - 1, 0);
    width_ = spin(this, 1, int(screenWidth_), int(screenWidth_));
    height_ = spin(this, 1, int(screenHeight_), int(screenHeight_));
    auto* form = new QFormLayout;
    form->addRow(loadText(Text::FrameLeft), left_);
    form->addRow(loadText(Text::FrameTop), top_);
    form->addRow(loadText(Text::FrameWidth), width_);
    form->addRow(loadText(Text::FrameHeight), height_);
    connect(left_, &QSpinBox::valueChanged, this, &CropDialog::updateLimits);
    connect(top_, &QSpinBox::valueChanged, this, &CropDialog::updateLimits);
    for (QSpinBox* box : {left_, top_, width_, height_})
        connect(box, &QSpinBox::valueChanged, this, &CropDialog::rectChanged);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(okCancel(this));
}

// A larger left leaves less width; QSpinBox clamps the value to the new maximum.
void CropDialog::updateLimits()
{
    width_->setMaximum(int(screenWidth_) - left_->value());
    height_->setMaximum(int(screenHeight_) - top_->value());
}

ScreenRect CropDialog::rect() const
{
    return {uint32_t(left_->value()), uint32_t(top_->value()), uint32_t(width_->value()),
            uint32_t(height_->value())};
}

void CropDialog::setRect(const ScreenRect& rect)
{
    left_->setValue(int(std::min(rect.left, screenWidth_ - 1)));
    top_->setValue(int(std::min(rect.top, screenHeight_ - 1)));
    width_->setValue(int(std::max(rect.width, 1u)));
    height_->setValue(int(std::max(rect.height, 1u)));
}

} // namespace zell
