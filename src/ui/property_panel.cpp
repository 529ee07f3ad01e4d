#include "ui/property_panel.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>

#include "app/message_box.h"
#include "app/string_table.h"
#include "image/dib.h"
#include "image/raster_image.h"
#include "ui/document_model.h"
#include "ui/frame_list_view.h"
#include "ui/number_edit.h"

namespace zell {
namespace {

QLabel* sunkenField(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setMinimumWidth(64);
    return label;
}

// The colour of an entry of the frame's own table, from its work file.
uint32_t frameColor(const DocumentModel& document, int row, uint32_t index)
{
    const Frame* frame = document.frameAt(row);
    if (!frame || index >= 256)
        return kNoColor;
    if (!frame->useLocalColorTable) {
        const ColorTable& global = document.settings().globalColorTable;
        return index < global.count ? global.color(index) : kNoColor;
    }
    RasterImage picture;
    DibHeader header;
    if (!loadGifImage(picture, frame->workFile, 0) || !readDibHeader(picture.image.bytes(), header)
        || index >= dibColorCount(header))
        return kNoColor;
    const uint8_t* quad = picture.image.data() + header.size + 4 * index;
    return makeColor(quad[2], quad[1], quad[0]);
}

} // namespace

QString colorInfoText(uint32_t index, uint32_t color)
{
    if (index >= 256 || color == kNoColor)
        return loadText(Text::NoColor);
    const uint32_t rgb = (uint32_t(colorRed(color)) << 16) | (uint32_t(colorGreen(color)) << 8) | colorBlue(color);
    return QString::asprintf(loadText(Text::ColorEntryFormat).toUtf8().constData(), int(index), unsigned(rgb));
}

QFont fixedFieldFont(const QFont& base)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setFamilies({loadText(Text::FixedFontFamily), font.family()});
    font.setPointSizeF(base.pointSizeF());
    return font;
}

PropertyPanel::PropertyPanel(DocumentModel& document, FrameListView& list, QWidget* parent)
    : QWidget(parent), document_(document), list_(list)
{
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    auto label = [this](int id) { return new QLabel(loadText(id), this); };
    x_ = new NumberEdit(this);
    y_ = new NumberEdit(this);
    width_ = sunkenField(this);
    height_ = sunkenField(this);
    localTable_ = new QCheckBox(loadText(Text::UseLocalTable), this);
    userInput_ = new QCheckBox(loadText(Text::UserInput), this);
    transparent_ = sunkenField(this);
    transparent_->setFont(fixedFieldFont(font()));
    transparent_->setMinimumWidth(transparent_->fontMetrics().horizontalAdvance(QStringLiteral("[255]：[#FFFFFF]")) + 8);
    disposal_ = new QComboBox(this);
    for (int id = Text::DisposalUnspecified; id <= Text::DisposalToPrevious; ++id)
        disposal_->addItem(loadText(id));
    disposal_->setCurrentIndex(1);
    delay_ = new NumberEdit(this);

    grid->addWidget(label(Text::FrameLeft), 0, 0);
    grid->addWidget(x_, 0, 1);
    grid->addWidget(label(Text::FrameTop), 0, 2);
    grid->addWidget(y_, 0, 3);
    grid->addWidget(label(Text::FrameWidth), 1, 0);
    grid->addWidget(width_, 1, 1);
    grid->addWidget(label(Text::FrameHeight), 1, 2);
    grid->addWidget(height_, 1, 3);
    grid->addWidget(localTable_, 0, 4, 1, 2);
    grid->addWidget(userInput_, 1, 4, 1, 2);
    grid->addWidget(label(Text::TransparentColor), 2, 0);
    grid->addWidget(transparent_, 2, 1, 1, 3);
    grid->addWidget(label(Text::Disposal), 2, 4);
    grid->addWidget(disposal_, 2, 5);
    grid->addWidget(label(Text::Delay), 3, 0);
    grid->addWidget(delay_, 3, 1);
    grid->addWidget(label(Text::DelayUnit), 3, 2, 1, 2);
    grid->setColumnStretch(6, 1);

    const std::pair<QWidget*, int> tips[] = {{x_, Text::FrameLeftTip},
                                             {y_, Text::FrameTopTip},
                                             {width_, Text::FrameWidthTip},
                                             {height_, Text::FrameHeightTip},
                                             {localTable_, Text::UseLocalTableTip},
                                             {transparent_, Text::TransparentColorTip},
                                             {userInput_, Text::UserInputTip},
                                             {disposal_, Text::DisposalTip},
                                             {delay_, Text::DelayTip}};
    for (auto [widget, id] : tips) {
        widget->setToolTip(loadText(id));
        widget->setToolTipDuration(kToolTipDurationMs);
    }

    connect(x_, &NumberEdit::valueChanged, this, [this](int v) { positionChanged(true, v); });
    connect(y_, &NumberEdit::valueChanged, this, [this](int v) { positionChanged(false, v); });
    connect(delay_, &NumberEdit::valueChanged, this, &PropertyPanel::delayChanged);
    connect(localTable_, &QCheckBox::clicked, this, &PropertyPanel::localTableClicked);
    connect(userInput_, &QCheckBox::clicked, this, [this](bool on) {
        document_.setAttribute(list_.selectedRows(), FrameAttribute::UserInput, on ? 1 : 0);
    });
    connect(disposal_, &QComboBox::activated, this, [this](int item) {
        document_.setAttribute(list_.selectedRows(), FrameAttribute::Disposal, uint32_t(item));
    });
    connect(&document_, &DocumentModel::frameSelected, this, &PropertyPanel::fill);
    fill(-1);
    disposal_->setCurrentIndex(1); // what a new frame gets, until a frame is shown
    connect(&document_, &DocumentModel::framesEdited, this, [this](int first, int last) {
        const int current = document_.currentIndex();
        if (current >= first && current <= last)
            showTransparent(current);
    });
}

QList<int> PropertyPanel::targetRows() const
{
    if (live_)
        return list_.selectedRows();
    const int current = document_.currentIndex();
    return current >= 0 ? QList<int>{current} : QList<int>{};
}

void PropertyPanel::fill(int row)
{
    live_ = false;
    Frame blank;
    const Frame* frame = document_.frameAt(row);
    const Frame& f = frame ? *frame : blank;
    x_->setValue(int(f.left));
    y_->setValue(int(f.top));
    width_->setText(QString::number(f.width));
    height_->setText(QString::number(f.height));
    localTable_->setChecked(f.useLocalColorTable);
    userInput_->setChecked(f.userInput);
    disposal_->setCurrentIndex(std::min<int>(f.disposal, 3));
    delay_->setValue(f.delay);
    showTransparent(row);
    live_ = true;
    for (NumberEdit* edit : {x_, y_, delay_}) {
        if (edit->hasFocus())
            edit->selectAll();
    }
}

void PropertyPanel::showTransparent(int row)
{
    const Frame* f = document_.frameAt(row);
    const uint32_t index = f ? f->transparentIndex : kNoIndex;
    transparent_->setText(colorInfoText(index, index < 256 ? frameColor(document_, row, index) : kNoColor));
}

void PropertyPanel::positionChanged(bool horizontal, int value)
{
    const Frame* current = document_.currentFrame();
    if (!current)
        return;
    const int size = int(horizontal ? current->width : current->height);
    NumberEdit* edit = horizontal ? x_ : y_;
    if (value + size > NumberEdit::kMax) {
        edit->setValue(std::max(0, NumberEdit::kMax - size)); // runs this handler again
        return;
    }
    document_.setAttribute(targetRows(), horizontal ? FrameAttribute::Left : FrameAttribute::Top, uint32_t(value));
}

void PropertyPanel::delayChanged(int value)
{
    if (!document_.currentFrame())
        return;
    if (value > NumberEdit::kMax) {
        delay_->setValue(NumberEdit::kMax);
        return;
    }
    document_.setAttribute(targetRows(), FrameAttribute::Delay, uint32_t(value));
}

void PropertyPanel::localTableClicked(bool checked)
{
    if (!checked && !document_.settings().useGlobalColorTable) {
        localTable_->setChecked(true);
        showMessage(this, Text::GlobalTableNeeded, Text::GlobalTableNeededCaption, MessageStyle::OkInfo);
        return;
    }
    document_.setAttribute(list_.selectedRows(), FrameAttribute::LocalTable, checked ? 1 : 0);
}

} // namespace zell
