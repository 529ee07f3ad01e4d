#include "ui/clip_import_dialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>

#include "app/message_box.h"
#include "app/string_table.h"
#include "ui/operation_dialogs.h"

namespace zell {
namespace {

constexpr int kMaxSide = 65535; // a GIF's screen size is 16 bits
// GIF delays count hundredths of a second, so more frames than that in a
// second cannot be told apart.
constexpr double kMaxFps = 100;
// Room for the end of a clip that does not know its length.
constexpr double kUnknownLengthSeconds = 24 * 3600;
constexpr int kPreviewSide = 160;

QDoubleSpinBox* secondsBox(QWidget* parent, double max, double value)
{
    auto* box = new QDoubleSpinBox(parent);
    box->setDecimals(2);
    box->setRange(0, max);
    box->setSingleStep(0.5);
    box->setValue(value);
    box->setAlignment(Qt::AlignRight);
    return box;
}

QSpinBox* sideBox(QWidget* parent, int value)
{
    auto* box = new QSpinBox(parent);
    box->setRange(1, kMaxSide);
    box->setValue(value);
    box->setAlignment(Qt::AlignRight);
    return box;
}

int scaledSide(uint32_t side, double factor)
{
    return std::clamp(int(std::lround(double(side) * factor)), 1, kMaxSide);
}

QString formatNumbers(int id, qulonglong a, qulonglong b)
{
    return QString::asprintf(loadText(id).toUtf8().constData(), int(std::min<qulonglong>(a, INT32_MAX)),
                             int(std::min<qulonglong>(b, INT32_MAX)));
}

} // namespace

ClipImportDialog::ClipImportDialog(QWidget* parent, const QString& path, const ClipInfo& info,
                                   const QImage& firstFrame)
    : QDialog(parent), info_(info), maxFrames_(ClipOptions().maxFrames)
{
    setWindowTitle(loadText(Text::ClipImportTitle));
    info_.width = std::max(info_.width, 1u);
    info_.height = std::max(info_.height, 1u);
    const bool knownLength = info_.duration > 0;
    const double length = knownLength ? info_.duration : kUnknownLengthSeconds;

    auto* name = new QLabel(QDir::toNativeSeparators(path), this);
    name->setTextInteractionFlags(Qt::TextSelectableByMouse);
    name->setWordWrap(true);
    auto* source = new QLabel(this);
    source->setText(QString::asprintf(loadText(Text::ClipSourceFormat).toUtf8().constData(), int(info_.width),
                                      int(info_.height),
                                      knownLength ? QByteArray::number(info_.duration, 'f', 2).constData() : "?"));

    fps_ = new QDoubleSpinBox(this);
    fps_->setDecimals(2);
    fps_->setRange(0, kMaxFps);
    fps_->setSingleStep(1);
    // At 0 the clip keeps its own frames and their timing (a WebP's or an
    // animated PNG's varying delays), up to the default rate.
    fps_->setSpecialValueText(
        QString::asprintf(loadText(Text::ClipOwnRateFormat).toUtf8().constData(), int(kDefaultClipFps)));
    fps_->setValue(0);
    fps_->setSuffix(QLatin1Char(' ') + loadText(Text::ClipFpsUnit));
    fps_->setAlignment(Qt::AlignRight);
    const QString seconds = QLatin1Char(' ') + loadText(Text::SecondsUnit);
    start_ = secondsBox(this, length, 0);
    start_->setSuffix(seconds);
    end_ = secondsBox(this, length, knownLength ? length : 0);
    end_->setSuffix(seconds);
    // Without a known length the end's lowest value means the clip's end:
    // an empty stretch would be no use anyway.
    if (!knownLength)
        end_->setSpecialValueText(loadText(Text::ClipToTheEnd));
    width_ = sideBox(this, int(std::min<uint32_t>(info_.width, kMaxSide)));
    height_ = sideBox(this, int(std::min<uint32_t>(info_.height, kMaxSide)));

    auto* form = new QFormLayout;
    form->addRow(loadText(Text::ClipFrameRate), fps_);
    form->addRow(loadText(Text::ClipStart), start_);
    form->addRow(loadText(Text::ClipEnd), end_);
    form->addRow(loadText(Text::ScreenWidth), width_);
    form->addRow(loadText(Text::ScreenHeight), height_);

    auto* paletteGroup = new QGroupBox(loadText(Text::ClipPaletteGroup), this);
    auto* paletteLayout = new QVBoxLayout(paletteGroup);
    palettes_[int(ClipPalette::shared)] = new QRadioButton(loadText(Text::SharedPalette), paletteGroup);
    palettes_[int(ClipPalette::perFrame)] = new QRadioButton(loadText(Text::PerFramePalette), paletteGroup);
    for (QRadioButton* button : palettes_)
        paletteLayout->addWidget(button);
    auto* ditherGroup = new QGroupBox(loadText(Text::Dither), this);
    auto* ditherLayout = new QVBoxLayout(ditherGroup);
    dithers_[int(ClipDither::diffusion)] = new QRadioButton(loadText(Text::DiffusionDither), ditherGroup);
    dithers_[int(ClipDither::ordered)] = new QRadioButton(loadText(Text::OrderedDither), ditherGroup);
    dithers_[int(ClipDither::none)] = new QRadioButton(loadText(Text::NoDither), ditherGroup);
    for (QRadioButton* button : dithers_)
        ditherLayout->addWidget(button);
    const ClipOptions defaults;
    palettes_[int(defaults.palette)]->setChecked(true);
    dithers_[int(defaults.dither)]->setChecked(true);

    auto* preview = new QLabel(this);
    preview->setFixedSize(kPreviewSide, kPreviewSide);
    preview->setFrameShape(QFrame::StyledPanel);
    preview->setAlignment(Qt::AlignCenter);
    if (!firstFrame.isNull())
        preview->setPixmap(QPixmap::fromImage(firstFrame.scaled(kPreviewSide - 4, kPreviewSide - 4,
                                                                 Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    estimate_ = new QLabel(this);
    estimate_->setWordWrap(true);

    auto* left = new QVBoxLayout;
    left->addWidget(source);
    left->addLayout(form);
    left->addWidget(paletteGroup);
    left->addWidget(ditherGroup);
    left->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(preview);
    right->addWidget(estimate_);
    right->addStretch(1);
    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 1);
    columns->addLayout(right);
    QDialogButtonBox* buttons = okCancel(this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(name);
    layout->addLayout(columns);
    layout->addWidget(buttons);

    connect(start_, &QDoubleSpinBox::valueChanged, this, &ClipImportDialog::startChanged);
    connect(width_, &QSpinBox::valueChanged, this, &ClipImportDialog::widthChanged);
    connect(height_, &QSpinBox::valueChanged, this, &ClipImportDialog::heightChanged);
    connect(fps_, &QDoubleSpinBox::valueChanged, this, &ClipImportDialog::updateEstimate);
    connect(end_, &QDoubleSpinBox::valueChanged, this, &ClipImportDialog::updateEstimate);
    startChanged(start_->value());
}

// The end never comes before the start; QDoubleSpinBox moves its value up
// with its minimum.
void ClipImportDialog::startChanged(double start)
{
    end_->setMinimum(start);
    updateEstimate();
}

void ClipImportDialog::widthChanged(int width)
{
    if (updating_)
        return;
    updating_ = true;
    height_->setValue(scaledSide(info_.height, double(width) / info_.width));
    updating_ = false;
}

void ClipImportDialog::heightChanged(int height)
{
    if (updating_)
        return;
    updating_ = true;
    width_->setValue(scaledSide(info_.width, double(height) / info_.height));
    updating_ = false;
}

ClipOptions ClipImportDialog::options() const
{
    ClipOptions o;
    o.fps = fps_->value();
    o.start = start_->value();
    // At its lowest a clip of unknown length runs to its end (see above).
    const bool toTheEnd = !end_->specialValueText().isEmpty() && end_->value() <= end_->minimum();
    o.end = toTheEnd ? 0 : end_->value();
    if (uint32_t(width_->value()) != info_.width || uint32_t(height_->value()) != info_.height) {
        o.width = uint32_t(width_->value());
        o.height = uint32_t(height_->value());
    }
    for (int i = 0; i < 2; ++i) {
        if (palettes_[i]->isChecked())
            o.palette = ClipPalette(i);
    }
    for (int i = 0; i < 3; ++i) {
        if (dithers_[i]->isChecked())
            o.dither = ClipDither(i);
    }
    o.maxFrames = maxFrames_;
    return o;
}

uint64_t ClipImportDialog::frameEstimate() const
{
    return clipFrameEstimate(info_, options());
}

void ClipImportDialog::updateEstimate()
{
    const uint64_t frames = frameEstimate();
    estimate_->setText(formatNumbers(Text::ClipFrameEstimateFormat, frames, 0));
    ok_->setEnabled(frames > 0);
}

void ClipImportDialog::accept()
{
    const uint64_t frames = frameEstimate();
    if (frames == 0)
        return;
    if (frames > maxFrames_) {
        const QString text = formatNumbers(Text::ConfirmManyFrames, frames, maxFrames_);
        if (showPlainMessage(this, text, loadText(Text::ConfirmManyFramesCaption), MessageStyle::YesNoInfo) != kIdYes)
            return;
        // The estimate of a clip can be a frame or two short of its real
        // count; the user has agreed to the whole stretch.
        maxFrames_ = std::numeric_limits<uint32_t>::max();
    }
    QDialog::accept();
}

} // namespace zell
