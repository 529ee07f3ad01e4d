#include "ui/image_view_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSlider>

#include <algorithm>

#include "app/profile.h"
#include "app/string_table.h"
#include "document/screen_composer.h"
#include "image/raster_image.h"
#include "ui/document_model.h"
#include "ui/edit_dialogs.h"
#include "ui/image_canvas.h"
#include "ui/player_buttons.h"

namespace zell {

namespace {

// The status area counts the wait down; between frames the window wakes at
// most this often to redraw it.
constexpr int kStatusRefreshMs = 100;

enum ControlId : int {
    kPlayButton = 1203,
    kFastForwardButton = 1204,
    kFrameStepButton = 1205,
    kSpeedTrackbar = 1206,
    kTransparencyButton = 1207,
    kZoomTrackbar = 1208,
    kComposedButton = 1209,
};

constexpr const char* kProfileSection = "ImageView";
constexpr const char* kComposedKey = "composed";

PlayerTexts playerTexts()
{
    PlayerTexts texts;
    texts.waitFormat = loadText(Text::WaitFormat).toStdString();
    texts.waitingForInput = loadText(Text::WaitingForInput).toStdString();
    texts.fastForward = loadText(Text::FastForward).toStdString();
    texts.frameStep = loadText(Text::FrameStep).toStdString();
    return texts;
}

QSlider* makeTrackbar(int minimum, int maximum, QWidget* parent)
{
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setRange(minimum, maximum);
    slider->setTickInterval(1);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setPageStep(1);
    slider->setValue(0);
    return slider;
}

} // namespace

ImageViewWindow::ImageViewWindow(const DocumentModel& document, Clock* clock, const Profile* profile)
    : ToolWindow(loadText(Text::ImageViewTitle), QSize(520, 400)), document_(document),
      ownClock_(clock ? nullptr : std::make_unique<SteadyClock>()), clock_(clock ? *clock : *ownClock_),
      profile_(profile)
{
    player_ = std::make_unique<PreviewPlayer>(static_cast<PlayerHost&>(*this), clock_, playerTexts());
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &ImageViewWindow::tick);
    buildControls();
    connect(&document_, &DocumentModel::frameCountChanged, this, &ImageViewWindow::setFrameCount);
    connect(&document_, &DocumentModel::frameSelected, this, &ImageViewWindow::showFrame);
    connect(&document_, &DocumentModel::settingsChanged, this, [this] {
        stopPlayback();
        forgetComposed();
        canvas_->refresh();
        reloadComposed();
    });
    // The background and the colours of frames on the global table.
    connect(&document_, &DocumentModel::globalTableChanged, this, [this] {
        stopPlayback();
        forgetComposed();
        reloadFrame();
    });
    connect(&document_, &DocumentModel::framesEdited, this, [this](int first, int last) {
        forgetComposed();
        const int current = document_.currentIndex();
        // An earlier frame's edit changes what the composed screen shows.
        if (current >= first && (current <= last || canvas_->composed())) {
            stopPlayback();
            reloadFrame();
        }
    });
    connect(&document_, &DocumentModel::rowsAboutToBeReordered, this, &ImageViewWindow::forgetComposed);
    connect(&document_, &DocumentModel::historyChanged, this, &ImageViewWindow::forgetComposed);
    setFrameCount(document_.frameCount());
    showFrame(document_.currentIndex());
    qApp->installEventFilter(this);
}

ImageViewWindow::~ImageViewWindow()
{
    qApp->removeEventFilter(this);
}

void ImageViewWindow::buildControls()
{
    canvas_ = new ImageCanvas(document_, this);
    slider_ = new QScrollBar(Qt::Horizontal, this);
    slider_->setPageStep(1);
    play_ = new PlayerButton(PlayerButton::PlayStop, this);
    fastForward_ = new PlayerButton(PlayerButton::FastForward, this);
    frameStep_ = new PlayerButton(PlayerButton::FrameStep, this);
    speed_ = makeTrackbar(-2, 2, this);
    transparency_ = new PlayerButton(PlayerButton::Label, this);
    transparency_->setText(loadText(Text::TransparencyButton));
    transparency_->setCheckable(true);
    composed_ = new PlayerButton(PlayerButton::Label, this);
    composed_->setText(loadText(Text::ComposedButton));
    composed_->setCheckable(true);
    // Checked while their mode is on; the player decides, not the click.
    fastForward_->setCheckable(true);
    frameStep_->setCheckable(true);
    zoom_ = makeTrackbar(-1, 3, this);
    status_ = new QLabel(this);
    status_->setAutoFillBackground(true);
    status_->setBackgroundRole(QPalette::Button);
    status_->setTextFormat(Qt::PlainText);
    const std::pair<QWidget*, int> tips[] = {
        {play_, Text::PlayTip},   {fastForward_, Text::FastForward},          {frameStep_, Text::FrameStep},
        {speed_, Text::SpeedTip}, {transparency_, Text::ShowTransparencyTip}, {composed_, Text::ShowComposedTip},
        {zoom_, Text::ZoomTip}};
    for (auto [widget, text] : tips) {
        widget->setToolTip(loadText(text));
        widget->setToolTipDuration(32767);
    }

    connect(play_, &QAbstractButton::clicked, this, &ImageViewWindow::togglePlay);
    connect(fastForward_, &QAbstractButton::clicked, this, [this] { pressMode(kModeFastForward); });
    connect(frameStep_, &QAbstractButton::clicked, this, [this] { pressMode(kModeFrameStep); });
    connect(transparency_, &QAbstractButton::toggled, canvas_, &ImageCanvas::setShowTransparency);
    if (profile_ && profile_->readInt(kProfileSection, kComposedKey, 0) != 0) {
        composed_->setChecked(true);
        canvas_->setComposed(true);
    }
    connect(composed_, &QAbstractButton::toggled, this, &ImageViewWindow::setComposed);
    // The player reads the speed on every check; re-arming makes a change
    // count from now instead of from the next wake-up.
    connect(speed_, &QSlider::valueChanged, this, [this] { armTimer(); });
    connect(zoom_, &QSlider::valueChanged, canvas_, &ImageCanvas::setZoom);
    connect(slider_, &QScrollBar::actionTriggered, this, &ImageViewWindow::sliderAction);
    connect(slider_, &QScrollBar::valueChanged, this, &ImageViewWindow::sliderMoved);
    connect(canvas_, &ImageCanvas::colorIndexPicked, this, &ImageViewWindow::colorIndexPicked);
    layoutControls();
}

PlayerButton* ImageViewWindow::button(int id) const
{
    switch (id) {
    case kPlayButton: return play_;
    case kFastForwardButton: return fastForward_;
    case kFrameStepButton: return frameStep_;
    case kTransparencyButton: return transparency_;
    case kComposedButton: return composed_;
    default: return nullptr;
    }
}

QString ImageViewWindow::statusText() const
{
    return status_->text();
}

void ImageViewWindow::layoutControls()
{
    const qreal dpi = logicalDpiX() / 96.0;
    const auto px = [dpi](int v) { return int(v * dpi + 0.5); };
    const int m4 = px(4), m8 = px(8), m16 = px(16), m6 = int(6 * logicalDpiY() / 96.0 + 0.5);
    const QSize buttonSize(px(28), px(24));
    for (QWidget* b : {static_cast<QWidget*>(play_), static_cast<QWidget*>(fastForward_),
                       static_cast<QWidget*>(frameStep_)})
        b->resize(buttonSize);
    transparency_->resize(px(24), px(24));
    composed_->resize(px(24), px(24));
    for (QSlider* s : {speed_, zoom_})
        s->resize(px(72), std::max(px(24), s->sizeHint().height()));

    const int bottom = height() - m6;
    int rowTop = bottom;
    int x = m16;
    const std::pair<QWidget*, int> row[] = {{play_, 0},  {fastForward_, m4}, {frameStep_, 1},
                                            {speed_, m4}, {transparency_, m4}, {composed_, 1},
                                            {zoom_, m4}};
    for (auto [widget, gap] : row) {
        x += gap;
        widget->move(x, bottom - widget->height());
        x += widget->width();
        rowTop = std::min(rowTop, bottom - widget->height());
    }
    const int statusLeft = x + m4;
    status_->setGeometry(statusLeft, rowTop + 3, std::max(1, width() - m16 - statusLeft), bottom - rowTop - 3);
    QFont font = play_->font();
    font.setPixelSize(std::max(9, status_->height() - 10));
    status_->setFont(font);

    const int sliderHeight = slider_->sizeHint().height();
    const int sliderTop = rowTop - m6 - sliderHeight;
    slider_->setGeometry(m8, sliderTop, std::max(1, width() - 2 * m8), sliderHeight);
    canvas_->setGeometry(0, 0, width(), std::max(0, sliderTop - m6));
}

void ImageViewWindow::resizeEvent(QResizeEvent* event)
{
    ToolWindow::resizeEvent(event);
    layoutControls();
}

// --- the calls of the other windows ---

void ImageViewWindow::setFrameCount(int count)
{
    stopPlayback();
    const QSignalBlocker block(slider_);
    slider_->setRange(0, std::max(count - 1, 0));
    slider_->setEnabled(count > 1);
    if (count < 1)
        canvas_->clearFrame();
    // A frame shown before the count grew was clamped to the old range.
    if (document_.frameAt(document_.currentIndex()))
        slider_->setValue(document_.currentIndex());
    updateTitle();
}

void ImageViewWindow::showFrame(int index)
{
    stopPlayback();
    reloadFrame();
    if (document_.frameAt(index))
        setSliderQuietly(index);
    updateTitle();
}

void ImageViewWindow::reloadFrame()
{
    const Frame* f = document_.currentFrame();
    RasterImage picture;
    if (!f || !loadGifImage(picture, f->workFile, 0)) {
        canvas_->clearFrame();
        return;
    }
    canvas_->setFrame(picture);
    // A frame on the global table shows its colours; a table too small for
    // the picture is told and leaves the picture's own.
    if (!f->useLocalColorTable && !canvas_->setPalette(document_.settings().globalColorTable))
        status_->setText(loadText(Text::TableTooSmall));
    reloadComposed();
}

void ImageViewWindow::setComposed(bool on)
{
    stopPlayback();
    if (composed_->isChecked() != on) {
        const QSignalBlocker block(composed_);
        composed_->setChecked(on);
    }
    canvas_->setComposed(on);
    if (profile_)
        profile_->writeInt(kProfileSection, kComposedKey, on ? 1 : 0);
    reloadComposed();
}

void ImageViewWindow::attachCropDialog(CropDialog* dialog)
{
    stopPlayback();
    const auto toQRect = [](const ScreenRect& r) {
        return QRect(int(r.left), int(r.top), int(r.width), int(r.height));
    };
    canvas_->setCropRect(toQRect(dialog->rect()));
    canvas_->setCropping(true);
    connect(canvas_, &ImageCanvas::cropRectDragged, dialog, [dialog](const QRect& r) {
        dialog->setRect({uint32_t(r.left()), uint32_t(r.top()), uint32_t(r.width()), uint32_t(r.height())});
    });
    connect(dialog, &CropDialog::rectChanged, canvas_,
            [this, dialog, toQRect] { canvas_->setCropRect(toQRect(dialog->rect())); });
    const auto detach = [this] {
        canvas_->setCropping(false);
        canvas_->setCropRect({});
    };
    connect(dialog, &QDialog::finished, canvas_, detach);
    connect(dialog, &QObject::destroyed, canvas_, detach);
}

void ImageViewWindow::forgetComposed()
{
    composer_.reset();
    composedIndex_ = -1;
}

void ImageViewWindow::reloadComposed()
{
    const int index = document_.currentIndex();
    if (!canvas_->composed() || !document_.frameAt(index)) {
        canvas_->clearComposedScreen();
        return;
    }
    if (!composer_ || composedIndex_ >= index) {
        composer_ = std::make_unique<ScreenComposer>(document_.document());
        composedIndex_ = -1;
    }
    while (composedIndex_ < index) {
        if (!composer_->composeFrame(composedIndex_ + 1)) {
            // Without the screen the bare frame stays in view.
            forgetComposed();
            canvas_->clearComposedScreen();
            return;
        }
        ++composedIndex_;
    }
    canvas_->setComposedScreen(composer_->screen());
}

void ImageViewWindow::setPickMode(int mode)
{
    stopPlayback();
    canvas_->setPickMode(mode);
}

// --- playback ---

void ImageViewWindow::togglePlay()
{
    if (!player_->playing()) {
        const GifSettings& s = document_.settings();
        player_->setScreen(s.screenWidth, s.screenHeight);
        player_->setBackground(backgroundColor(s));
    }
    player_->toggle();
    syncControls();
}

void ImageViewWindow::pressMode(int mode)
{
    player_->pressMode(mode);
    if (player_->playing())
        status_->setText(QString::fromStdString(player_->statusText()));
    syncControls();
}

void ImageViewWindow::tick()
{
    player_->tick();
    if (player_->playing())
        armTimer();
    else
        syncControls();
}

void ImageViewWindow::stopPlayback()
{
    player_->stop();
    syncControls();
}

void ImageViewWindow::syncControls()
{
    const bool playing = player_->playing();
    canvas_->setAnimating(player_->animationShown());
    play_->setPlaying(playing);
    transparency_->setEnabled(!playing);
    composed_->setEnabled(!playing);
    fastForward_->setChecked(player_->mode() == kModeFastForward);
    frameStep_->setChecked(player_->mode() == kModeFrameStep);
    armTimer();
}

void ImageViewWindow::armTimer()
{
    const uint32_t due = player_->msUntilDue();
    if (due == kWaitForInput)
        timer_.stop();
    else
        timer_.start(int(std::min<uint32_t>(due, kStatusRefreshMs)));
}

void ImageViewWindow::userInput()
{
    if (player_->userInput())
        armTimer();
}

// --- PlayerHost ---

const Frame* ImageViewWindow::frame(int index)
{
    return document_.frameAt(index);
}

const ColorTable& ImageViewWindow::globalTable()
{
    return document_.settings().globalColorTable;
}

int ImageViewWindow::speed()
{
    return speed_->value();
}

void ImageViewWindow::setBusy(bool busy)
{
    emit busyChanged(busy);
}

void ImageViewWindow::frameShown(int index)
{
    canvas_->setAnimationFrame(player_->canvas().displayCanvas);
    canvas_->setAnimating(true);
    setSliderQuietly(index);
    updateTitle();
    // Shown now, not when the event loop next gets round to it.
    canvas_->viewport()->repaint();
}

void ImageViewWindow::stopped(int nextIndex)
{
    // After the stop has been handled, the slider and the list move on to the
    // frame that would have come next.
    QMetaObject::invokeMethod(
        this,
        [this, nextIndex] {
            if (player_->playing() || nextIndex > slider_->maximum())
                return;
            setSliderQuietly(nextIndex);
            sliderMoved(nextIndex);
        },
        Qt::QueuedConnection);
}

void ImageViewWindow::statusChanged(const std::string& text)
{
    status_->setText(QString::fromStdString(text));
}

// --- the frame slider and the title ---

void ImageViewWindow::setSliderQuietly(int position)
{
    const QSignalBlocker block(slider_);
    slider_->setValue(position);
}

void ImageViewWindow::sliderAction(int action)
{
    // A page is a fifth of the range, at least one frame; value() is still
    // the old position here.
    const int page = std::max((slider_->maximum() - slider_->minimum()) / 5, 1);
    if (action == QAbstractSlider::SliderPageStepAdd)
        slider_->setSliderPosition(slider_->value() + page);
    else if (action == QAbstractSlider::SliderPageStepSub)
        slider_->setSliderPosition(slider_->value() - page);
}

void ImageViewWindow::sliderMoved(int position)
{
    updateTitle();
    emit frameRequested(position);
}

void ImageViewWindow::updateTitle()
{
    // The slider's own state: the whole window is disabled while busy.
    const bool counting = slider_->isEnabledTo(this);
    const int shown = counting ? slider_->value() + 1 : 0;
    const int total = counting ? slider_->maximum() + 1 : 0;
    setWindowTitle(loadText(Text::ImageViewFrameTitle) + QString::asprintf("  [%2d / %2d]", shown, total));
}

// --- input ---

bool ImageViewWindow::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    const bool key = type == QEvent::KeyPress;
    const bool press = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick;
    if (!key && !press)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this || !isEnabled())
        return false;
    // The mode buttons and the view toggles are never input.
    if (widget == fastForward_ || widget == frameStep_ || widget == transparency_ || widget == composed_)
        return false;
    if (player_->playing() && player_->waitsForInput()) {
        if (key) {
            userInput();
            return true;
        }
        const auto button = static_cast<QMouseEvent*>(event)->button();
        const bool onView = widget == this || widget == canvas_ || widget == canvas_->viewport();
        if (onView && (button == Qt::LeftButton || button == Qt::RightButton)) {
            userInput();
            return true;
        }
    }
    if (key) {
        const auto* k = static_cast<QKeyEvent*>(event);
        if (k->modifiers() == Qt::ShiftModifier && (k->key() == Qt::Key_C || k->key() == Qt::Key_I)) {
            if (k->key() == Qt::Key_C)
                emit paletteToggleRequested();
            else
                QMetaObject::invokeMethod(this, &ToolWindow::toggle, Qt::QueuedConnection);
            return true;
        }
    }
    return false;
}

void ImageViewWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        stopPlayback();
        hide();
        return;
    }
    // Enter does nothing here.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        return;
    ToolWindow::keyPressEvent(event);
}

void ImageViewWindow::closeEvent(QCloseEvent* event)
{
    stopPlayback();
    ToolWindow::closeEvent(event);
}

void ImageViewWindow::hideEvent(QHideEvent* event)
{
    // Playing holds the main window disabled; hidden or minimised (also the
    // window system's hide), a tool window without a taskbar entry could not
    // be reached to stop it.
    stopPlayback();
    ToolWindow::hideEvent(event);
}

} // namespace zell
