// The image view tool window: the current frame on the logical screen at a
// zoom, and the player that shows the animation there with its real timing.
// It follows the document model's signals, each of which stops playback
// first. The window sleeps between frames: a precise timer is armed for the
// time the player says its next frame is due.
#pragma once

#include <QTimer>

#include <memory>

#include "playback/clock.h"
#include "playback/preview_player.h"
#include "ui/tool_window.h"

class QLabel;
class QScrollBar;
class QSlider;

namespace zell {

class CropDialog;
class DocumentModel;
class ImageCanvas;
class PlayerButton;
class Profile;
class ScreenComposer;

class ImageViewWindow final : public ToolWindow, private PlayerHost {
    Q_OBJECT
public:
    // Without a clock the window keeps time with the steady clock; with a
    // profile the composed view's choice is read from it and kept there.
    explicit ImageViewWindow(const DocumentModel& document, Clock* clock = nullptr,
                             const Profile* profile = nullptr);
    ~ImageViewWindow() override;

    // The palette window's mode: 0 colour edit, 1 background, 2 transparent.
    void setPickMode(int mode);

    // The player's buttons.
    void togglePlay();
    void pressMode(int mode);
    void setComposed(bool on);
    // Until the dialog closes, a rectangle dragged on the canvas sets its
    // numbers and its numbers move the rectangle.
    void attachCropDialog(CropDialog* dialog);
    // The timer's work; public so that tests drive time themselves.
    void tick();

    const PreviewPlayer& player() const { return *player_; }
    ImageCanvas* canvas() const { return canvas_; }
    QScrollBar* frameSlider() const { return slider_; }
    QSlider* speedSlider() const { return speed_; }
    QSlider* zoomSlider() const { return zoom_; }
    PlayerButton* button(int id) const;
    const QTimer& playTimer() const { return timer_; }
    QString statusText() const;

signals:
    // The slider (or a stop) picked a frame: the frame list should select it.
    void frameRequested(int row);
    // Playback holds the other windows disabled while it runs.
    void busyChanged(bool busy);
    void colorIndexPicked(int target, int index);
    void paletteToggleRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // PlayerHost
    const Frame* frame(int index) override;
    const ColorTable& globalTable() override;
    int speed() override;
    void setBusy(bool busy) override;
    void frameShown(int index) override;
    void stopped(int nextIndex) override;
    void statusChanged(const std::string& text) override;

    // The model's signals.
    void setFrameCount(int count);
    void showFrame(int index);
    // Decodes the current frame's picture again, in the colours it shows.
    void reloadFrame();
    void reloadComposed();
    // Any change to the document may change what earlier frames leave.
    void forgetComposed();

    void buildControls();
    void layoutControls();
    void stopPlayback();
    void syncControls();
    void armTimer();
    void userInput();
    void setSliderQuietly(int position);
    void sliderMoved(int position);
    void sliderAction(int action);
    void updateTitle();

    const DocumentModel& document_;
    std::unique_ptr<Clock> ownClock_;
    Clock& clock_;
    std::unique_ptr<PreviewPlayer> player_;
    QTimer timer_;
    ImageCanvas* canvas_ = nullptr;
    QScrollBar* slider_ = nullptr;
    PlayerButton* play_ = nullptr;
    PlayerButton* fastForward_ = nullptr;
    PlayerButton* frameStep_ = nullptr;
    QSlider* speed_ = nullptr;
    PlayerButton* transparency_ = nullptr;
    PlayerButton* composed_ = nullptr;
    const Profile* profile_ = nullptr;
    // Kept while the document stays as it is, so that stepping forward
    // composes one frame instead of all before it.
    std::unique_ptr<ScreenComposer> composer_;
    int composedIndex_ = -1;
    QSlider* zoom_ = nullptr;
    QLabel* status_ = nullptr;
};

} // namespace zell
