// The dialog that inserts a screen transition, and its preview. The
// dialog offers the eight built-ins and then the plug-ins the engine's
// discovery finds, and generates the pictures through the engine; the
// command inserts them.
#pragma once

#include <QDialog>
#include <QFrame>
#include <QImage>
#include <QPushButton>
#include <QSpinBox>
#include <QStringList>

#include <filesystem>
#include <memory>
#include <vector>

#include "playback/transition_insertion.h"

class QButtonGroup;
class QComboBox;
class QRadioButton;
class QTimer;

namespace zell {

// A picture shrunk to fit (never enlarged), centred, on the window colour.
class PictureBox final : public QFrame {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);
    void setImage(const QImage& image);
    const QImage& image() const { return image_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
};

// The button of the destination colour: its face is the colour, with
// "(r, g, b)" in the inverted colour; raised, or etched with the text one
// pixel down and right while pressed.
class ColorButton final : public QPushButton {
    Q_OBJECT
public:
    explicit ColorButton(QWidget* parent = nullptr);
    // A colour value, 0x00BBGGRR.
    void setColor(uint32_t color);
    uint32_t color() const { return color_; }
    QString faceText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    uint32_t color_ = 0xFFFFFF;
};

// An edit with its spin range: typed values are clamped to the range (taken
// in either order) at once, so the field shows the clamp.
class RangeEdit final : public QSpinBox {
    Q_OBJECT
public:
    explicit RangeEdit(QWidget* parent = nullptr);
    void setSpinRange(int a, int b);
    int low() const { return low_; }
    int high() const { return high_; }
    void stepBy(int steps) override;

private:
    void clamp(int value);
    int low_ = 0;
    int high_ = 65535;
};

// Asks for the transition. The screens are the command's; the dialog
// borrows them.
class TransitionDialog final : public QDialog {
    Q_OBJECT
public:
    TransitionDialog(QWidget* parent, const TransitionScreens& screens, WorkDirectory& workDirectory,
                     const std::vector<std::filesystem::path>& pluginFolders);
    ~TransitionDialog() override;

    // The GIF files of the OK generation; the caller takes them.
    std::vector<GeneratedFile> takeGeneratedFiles();
    uint16_t frameDelay() const { return frameDelay_; }

    const std::vector<std::unique_ptr<Transition>>& transitions() const { return transitions_; }
    Transition* selectedTransition() const;
    // Writes the pictures of the chosen run: GIF work files, or for preview
    // BMP files with the source in front and the destination behind.
    bool generate(bool forPreview, std::vector<GeneratedFile>& files);

    QRadioButton* nextRadio() const { return toNext_; }
    QRadioButton* colorRadio() const { return toColor_; }
    ColorButton* colorButton() const { return colorButton_; }
    QComboBox* patternBox() const { return patterns_; }
    RangeEdit* stepEdit() const { return steps_; }
    RangeEdit* speedEdit() const { return speed_; }
    QPushButton* settingsButton() const { return settings_; }
    QPushButton* previewButton() const { return preview_; }
    PictureBox* sourceBox() const { return sourceBox_; }
    PictureBox* nextBox() const { return nextBox_; }

    void accept() override;
    // What the "追加情報入力" button passes to the plug-in: the X11 window
    // id of this dialog, or null on other platforms.
    void* settingsParent();

private:
    bool cancelled_ = false; // the last generation was stopped with Cancel
    void patternChanged(int index);
    void chooseColor();
    void showSettings();
    void showPreview();
    void updateColorButton();
    void showDestination();

    const TransitionScreens& screens_;
    WorkDirectory& workDirectory_;
    std::vector<std::unique_ptr<Transition>> transitions_;
    std::vector<GeneratedFile> generated_;
    uint16_t frameDelay_ = 8;
    PictureBox* sourceBox_;
    PictureBox* nextBox_;
    QRadioButton* toNext_;
    QRadioButton* toColor_;
    ColorButton* colorButton_;
    QComboBox* patterns_;
    RangeEdit* steps_;
    RangeEdit* speed_;
    QPushButton* settings_;
    QPushButton* preview_;
};

// The preview: the generated pictures (source, steps, destination)
// played once, each for `delayMs`, on a timer.
class TransitionPreviewDialog final : public QDialog {
    Q_OBJECT
public:
    TransitionPreviewDialog(QWidget* parent, const QStringList& files, int delayMs, int width, int height);

    void play();
    void stop();
    // What the timer does when the next picture is due; tests call it
    // instead of waiting.
    void showDue();
    bool playing() const { return playing_; }
    int nextFileIndex() const { return next_; }
    PictureBox* pictureBox() const { return box_; }
    QPushButton* playButton() const { return play_; }
    QPushButton* stopButton() const { return stop_; }
    QTimer* timer() const { return timer_; }

private:
    void showFile(int index);
    bool loadFile(int index);

    QStringList files_;
    int delayMs_;
    bool playing_ = false;
    int next_ = 0;
    QImage loaded_;
    PictureBox* box_;
    QPushButton* play_;
    QPushButton* stop_;
    QTimer* timer_;
};

} // namespace zell
