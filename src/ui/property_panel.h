// The attributes of the selected frames. While `panelLive` is set an edit
// goes to every selected frame; while the panel is being filled from a frame
// it touches only the current frame.
#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;

namespace zell {

// Tool tips stay up long enough to read the longer ones.
inline constexpr int kToolTipDurationMs = 32767;

class DocumentModel;
class FrameListView;
class NumberEdit;

class PropertyPanel final : public QWidget {
    Q_OBJECT
public:
    PropertyPanel(DocumentModel& document, FrameListView& list, QWidget* parent = nullptr);

    bool panelLive() const { return live_; }
    // Shows the frame of the row; -1 shows a default frame (zeros).
    void fill(int row);

    NumberEdit* xEdit() const { return x_; }
    NumberEdit* yEdit() const { return y_; }
    NumberEdit* delayEdit() const { return delay_; }
    QCheckBox* localTableBox() const { return localTable_; }
    QCheckBox* userInputBox() const { return userInput_; }
    QComboBox* disposalBox() const { return disposal_; }
    QLabel* widthField() const { return width_; }
    QLabel* transparentField() const { return transparent_; }

private:
    QList<int> targetRows() const;
    void positionChanged(bool horizontal, int value);
    void delayChanged(int value);
    void localTableClicked(bool checked);
    void showTransparent(int row);

    DocumentModel& document_;
    FrameListView& list_;
    bool live_ = true;
    NumberEdit* x_;
    NumberEdit* y_;
    QLabel* width_;
    QLabel* height_;
    QCheckBox* localTable_;
    QCheckBox* userInput_;
    QLabel* transparent_;
    QComboBox* disposal_;
    NumberEdit* delay_;
};

// "[index]：[#RRGGBB]" or "未設定" for no colour (index >= 256 or kNoColor).
QString colorInfoText(uint32_t index, uint32_t color);
QFont fixedFieldFont(const QFont& base);

} // namespace zell
