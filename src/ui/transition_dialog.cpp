#include "ui/transition_dialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>
#include <qdrawutil.h>

#include <algorithm>
#include <cstdio>

#include "app/message_box.h"
#include "app/string_table.h"
#include "document/still_image.h"
#include "image/dib.h"
#include "image/raster_image.h"
#include "playback/builtin_transition.h"
#include "playback/plugin_discovery.h"
#include "ui/background_run.h"
#include "ui/busy.h"
#include "ui/display_text.h"
#include "ui/image_canvas.h"
#include "ui/thumbnail_cache.h"

namespace zell {
namespace {

constexpr int kBoxWidth = 160;
constexpr int kBoxHeight = 120;

QColor qColor(uint32_t color)
{
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

QSize dibSize(const ByteBuffer& dib)
{
    DibHeader h;
    if (!checkDib(dib.bytes(), &h))
        return {};
    return QSize(h.width, int(h.absHeight()));
}

void failed(QWidget* owner)
{
    showMessage(owner, Text::OperationFailed, Text::ErrorCaption, MessageStyle::OkInfo);
}

// A built-in pattern by its text in the interface language; a plug-in's
// as it names itself.
QString patternName(const Transition& transition)
{
    if (dynamic_cast<const BuiltinTransition*>(&transition)) {
        for (const BuiltinTransitionInfo& info : builtinTransitions()) {
            if (transition.name == info.name)
                return loadText(int(info.textId));
        }
    }
    return displayText(transition.name);
}

} // namespace

PictureBox::PictureBox(QWidget* parent) : QFrame(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void PictureBox::setImage(const QImage& image)
{
    image_ = image;
    update();
}

QSize PictureBox::sizeHint() const
{
    const int f = 2 * frameWidth();
    return QSize(kBoxWidth + f, kBoxHeight + f);
}

void PictureBox::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    if (image_.isNull())
        return;
    QPainter p(this);
    const QRect area = contentsRect();
    QSize size = image_.size();
    if (size.width() > area.width() || size.height() > area.height())
        size.scale(area.size(), Qt::KeepAspectRatio);
    const QRect target(area.left() + (area.width() - size.width()) / 2,
                       area.top() + (area.height() - size.height()) / 2, size.width(), size.height());
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(target, image_);
}

ColorButton::ColorButton(QWidget* parent) : QPushButton(parent)
{
    setMinimumSize(110, 26);
}

void ColorButton::setColor(uint32_t color)
{
    color_ = color & 0xFFFFFF;
    update();
}

QString ColorButton::faceText() const
{
    QString text = loadText(Text::RgbFormat);
    for (uint32_t part : {color_ & 0xFF, (color_ >> 8) & 0xFF, (color_ >> 16) & 0xFF})
        text.replace(text.indexOf(QStringLiteral("%d")), 2, QString::number(part));
    return text;
}

void ColorButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect r = rect();
    p.fillRect(r, qColor(color_));
    const bool pressed = isDown();
    if (pressed)
        qDrawShadeRect(&p, r, palette(), true, 1, 0);
    else
        qDrawShadePanel(&p, r, palette(), false, 2);
    p.setPen(qColor(color_ ^ 0xFFFFFF));
    p.drawText(pressed ? r.translated(1, 1) : r, Qt::AlignCenter, faceText());
}

RangeEdit::RangeEdit(QWidget* parent) : QSpinBox(parent)
{
    // Wide enough that typed digits reach the handler, which clamps them.
    setRange(0, 99999);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setKeyboardTracking(true);
    connect(this, &QSpinBox::valueChanged, this, &RangeEdit::clamp);
}

void RangeEdit::setSpinRange(int a, int b)
{
    low_ = std::min(a, b);
    high_ = std::max(a, b);
    clamp(value());
}

void RangeEdit::stepBy(int steps)
{
    setValue(std::clamp(value() + steps, low_, high_));
}

void RangeEdit::clamp(int v)
{
    const int c = std::clamp(v, low_, high_);
    if (c != v)
        setValue(c);
}

TransitionDialog::TransitionDialog(QWidget* parent, const TransitionScreens& screens, WorkDirectory& workDirectory,
                                   const std::vector<std::filesystem::path>& pluginFolders)
    : QDialog(parent), screens_(screens), workDirectory_(workDirectory)
{
    setWindowTitle(loadText(Text::InsertTransitionTitle));
    sourceBox_ = new PictureBox(this);
    nextBox_ = new PictureBox(this);
    for (PictureBox* box : {sourceBox_, nextBox_}) {
        box->setFrameShape(QFrame::StyledPanel);
        box->setFixedSize(box->sizeHint());
    }
    sourceBox_->setImage(dibToImage(screens_.source.bytes()));
    toNext_ = new QRadioButton(loadText(Text::ToNextFrame), this);
    toColor_ = new QRadioButton(loadText(Text::ToColor), this);
    colorButton_ = new ColorButton(this);
    patterns_ = new QComboBox(this);
    steps_ = new RangeEdit(this);
    speed_ = new RangeEdit(this);
    settings_ = new QPushButton(loadText(Text::PluginSettings), this);
    preview_ = new QPushButton(loadText(Text::PreviewTransition), this);
    // Patterns with and without settings keep the fields where they are.
    QSizePolicy keepPlace = settings_->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    settings_->setSizePolicy(keepPlace);
    auto* destinations = new QButtonGroup(this);
    destinations->addButton(toNext_);
    destinations->addButton(toColor_);

    auto* sourceGroup = new QGroupBox(loadText(Text::TransitionFrom), this);
    auto* sourceLayout = new QVBoxLayout(sourceGroup);
    // Level with the destination's picture, which sits under its radio.
    sourceLayout->addSpacing(toNext_->sizeHint().height() + sourceLayout->spacing());
    sourceLayout->addWidget(sourceBox_);
    sourceLayout->addStretch(1);
    auto* nextGroup = new QGroupBox(loadText(Text::TransitionTo), this);
    auto* nextLayout = new QGridLayout(nextGroup);
    nextLayout->addWidget(toNext_, 0, 0);
    nextLayout->addWidget(nextBox_, 1, 0, 1, 2);
    nextLayout->addWidget(toColor_, 2, 0);
    nextLayout->addWidget(colorButton_, 2, 1);
    auto* pictures = new QHBoxLayout;
    pictures->addWidget(sourceGroup);
    pictures->addWidget(nextGroup);

    auto* form = new QGridLayout;
    form->addWidget(new QLabel(loadText(Text::TransitionPattern), this), 0, 0);
    form->addWidget(patterns_, 0, 1, 1, 3);
    form->addWidget(settings_, 0, 4);
    form->addWidget(new QLabel(loadText(Text::TransitionSteps), this), 1, 0);
    form->addWidget(steps_, 1, 1);
    form->addWidget(new QLabel(loadText(Text::TransitionSpeed), this), 1, 2);
    form->addWidget(speed_, 1, 3);
    form->addWidget(new QLabel(loadText(Text::DelayUnit), this), 1, 4);
    form->setColumnStretch(1, 1);
    form->setColumnStretch(3, 1);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(loadText(Text::Ok), QDialogButtonBox::AcceptRole);
    buttons->addButton(loadText(Text::Cancel), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &TransitionDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(preview_);
    bottom->addStretch(1);
    bottom->addWidget(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(pictures);
    layout->addLayout(form);
    layout->addLayout(bottom);

    const bool haveNext = !screens_.next.empty();
    toNext_->setEnabled(haveNext);
    (haveNext ? toNext_ : toColor_)->setChecked(true);
    colorButton_->setColor(0xFFFFFF);
    transitions_ = makeTransitionList(pluginFolders);
    for (const auto& t : transitions_)
        patterns_->addItem(patternName(*t));
    steps_->setValue(8);
    speed_->setSpinRange(0, 65535);
    speed_->setValue(8);
    connect(patterns_, &QComboBox::currentIndexChanged, this, &TransitionDialog::patternChanged);
    connect(toColor_, &QRadioButton::toggled, this, &TransitionDialog::updateColorButton);
    connect(toColor_, &QRadioButton::toggled, this, &TransitionDialog::showDestination);
    connect(colorButton_, &QPushButton::clicked, this, &TransitionDialog::chooseColor);
    connect(settings_, &QPushButton::clicked, this, &TransitionDialog::showSettings);
    connect(preview_, &QPushButton::clicked, this, &TransitionDialog::showPreview);
    patterns_->setCurrentIndex(transitions_.empty() ? -1 : 0);
    patternChanged(patterns_->currentIndex());
    updateColorButton();
    showDestination();
}

// The transitions go first: a plug-in's library is unloaded with them.
TransitionDialog::~TransitionDialog() = default;

Transition* TransitionDialog::selectedTransition() const
{
    const int i = patterns_->currentIndex();
    return i >= 0 && size_t(i) < transitions_.size() ? transitions_[size_t(i)].get() : nullptr;
}

std::vector<GeneratedFile> TransitionDialog::takeGeneratedFiles()
{
    std::vector<GeneratedFile> files;
    files.swap(generated_);
    return files;
}

void TransitionDialog::patternChanged(int)
{
    const Transition* t = selectedTransition();
    if (!t) {
        settings_->hide();
        return;
    }
    steps_->setSpinRange(1, int(t->maxSteps));
    settings_->setVisible(t->hasSettingsDialog());
}

void TransitionDialog::updateColorButton()
{
    colorButton_->setEnabled(toColor_->isChecked());
}

// The destination box shows the picture the transition will lead to.
void TransitionDialog::showDestination()
{
    ByteBuffer solid;
    const auto destination = transitionDestination(screens_, toColor_->isChecked(), colorButton_->color(), solid);
    nextBox_->setImage(destination.empty() ? QImage() : dibToImage(destination));
}

void TransitionDialog::chooseColor()
{
    QColorDialog dialog(qColor(colorButton_->color()), this);
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (prompter().runDialog(dialog) != QDialog::Accepted)
        return;
    const QColor c = dialog.currentColor();
    colorButton_->setColor(makeColor(uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue())));
    showDestination();
}

void* TransitionDialog::settingsParent()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    return reinterpret_cast<void*>(uintptr_t(winId()));
}

void TransitionDialog::showSettings()
{
    Transition* t = selectedTransition();
    std::string message;
    if (!t || t->showSettings(settingsParent(), message))
        return;
    QString text = loadText(Text::PluginSettingsFailed);
    if (!message.empty())
        text += QStringLiteral("\n\n") + displayText(message);
    showPlainMessage(this, text, loadText(Text::ErrorCaption), MessageStyle::OkExclamation);
}

bool TransitionDialog::generate(bool forPreview, std::vector<GeneratedFile>& files)
{
    cancelled_ = false;
    Transition* t = selectedTransition();
    if (!t)
        return false;
    ByteBuffer solid;
    const auto destination = transitionDestination(screens_, toColor_->isChecked(), colorButton_->color(), solid);
    if (destination.empty())
        return false;
    const uint32_t steps = uint32_t(steps_->value());
    const bool ok = runInBackground(this, loadText(Text::PicturesUnit), [&](Progress& progress) {
        return generateTransition(*t, screens_.source.bytes(), destination, steps, forPreview, workDirectory_, files,
                                  &progress);
    });
    cancelled_ = lastBackgroundRun().cancelled;
    return ok;
}

void TransitionDialog::showPreview()
{
    std::vector<GeneratedFile> files;
    bool ok = false;
    {
        WaitCursor wait;
        ok = generate(true, files);
    }
    if (!ok) {
        if (!cancelled_)
            failed(this);
        return;
    }
    QStringList paths;
    for (const GeneratedFile& f : files)
        paths << QString::fromStdString(f.path);
    const QSize size = dibSize(screens_.source);
    if (paths.size() >= 3) {
        TransitionPreviewDialog preview(this, paths, speed_->value() * 10, size.width(), size.height());
        prompter().runDialog(preview);
    }
    for (const GeneratedFile& f : files)
        std::remove(f.path.c_str());
}

void TransitionDialog::accept()
{
    std::vector<GeneratedFile> files;
    bool ok = false;
    {
        WaitCursor wait;
        ok = generate(false, files);
    }
    if (!ok) {
        if (!cancelled_)
            failed(this);
        return;
    }
    // A generation the caller never took is not left behind.
    for (const GeneratedFile& f : generated_)
        std::remove(f.path.c_str());
    generated_.swap(files);
    frameDelay_ = uint16_t(speed_->value());
    QDialog::accept();
}

TransitionPreviewDialog::TransitionPreviewDialog(QWidget* parent, const QStringList& files, int delayMs, int width,
                                                 int height)
    : QDialog(parent), files_(files), delayMs_(std::max(delayMs, 0))
{
    setWindowTitle(loadText(Text::TransitionPreviewTitle));
    box_ = new PictureBox(this);
    box_->setFrameShape(QFrame::Box);
    play_ = new QPushButton(loadText(Text::PreviewPlay), this);
    stop_ = new QPushButton(loadText(Text::PreviewStop), this);
    auto* close = new QPushButton(loadText(Text::PreviewClose), this);
    for (QPushButton* b : {play_, stop_})
        b->setCheckable(true);
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    group->addButton(play_);
    group->addButton(stop_);
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    timer_->setTimerType(Qt::PreciseTimer);
    connect(timer_, &QTimer::timeout, this, &TransitionPreviewDialog::showDue);
    connect(play_, &QPushButton::clicked, this, &TransitionPreviewDialog::play);
    connect(stop_, &QPushButton::clicked, this, &TransitionPreviewDialog::stop);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(play_);
    buttons->addWidget(stop_);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(box_, 1);
    layout->addLayout(buttons);

    // The picture area fits the animation: at least the initial size, at
    // most the screen's work area.
    const QSize initial = sizeHint();
    const QSize boxInitial = box_->sizeHint();
    const int frame = 2 * box_->frameWidth();
    QSize wanted(initial.width() - boxInitial.width() + width + frame,
                 initial.height() - boxInitial.height() + height + frame);
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry().isEmpty() ? screen->geometry() : screen->availableGeometry();
        wanted = wanted.boundedTo(area.size());
    }
    resize(wanted.expandedTo(initial));
    layout->activate();
    stop_->setChecked(true);
    showFile(0);
}

bool TransitionPreviewDialog::loadFile(int index)
{
    loaded_ = QImage();
    if (index < 0 || index >= files_.size())
        return false;
    RasterImage picture;
    QSize area = box_->contentsRect().size();
    if (area.isEmpty())
        area = QSize(kBoxWidth, kBoxHeight);
    if (!loadStillPicture(files_[index].toStdString(), picture) ||
        !picture.fitInto(uint32_t(std::max(area.width(), 1)), uint32_t(std::max(area.height(), 1)), true))
        return false;
    loaded_ = dibToImage(picture.image.bytes());
    return !loaded_.isNull();
}

void TransitionPreviewDialog::showFile(int index)
{
    if (loadFile(index))
        box_->setImage(loaded_);
}

void TransitionPreviewDialog::play()
{
    showFile(0);
    loadFile(1);
    next_ = 2;
    playing_ = true;
    play_->setChecked(true);
    timer_->start(delayMs_);
}

void TransitionPreviewDialog::stop()
{
    playing_ = false;
    timer_->stop();
    stop_->setChecked(true);
}

void TransitionPreviewDialog::showDue()
{
    if (!playing_)
        return;
    box_->setImage(loaded_);
    bool loaded = false;
    if (next_ < files_.size()) {
        loaded = loadFile(next_);
        ++next_;
    }
    playing_ = loaded;
    if (playing_) {
        timer_->start(delayMs_);
    } else {
        timer_->stop();
        stop_->setChecked(true);
    }
}

} // namespace zell
