#include "ui/animation_panel.h"

#include <QApplication>
#include <QCheckBox>
#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>

#include "app/message_box.h"
#include "app/profile.h"
#include "app/string_table.h"
#include "image/dib.h"
#include "ui/comment_edit.h"
#include "ui/document_model.h"
#include "ui/number_edit.h"
#include "ui/property_panel.h"

namespace zell {
namespace {

// Typed fields: the edits of one of them in a row are one undo step.
constexpr uint64_t kWidthKey = 1, kHeightKey = 2, kLoopCountKey = 3, kCommentKey = 4;

} // namespace

AnimationPanel::AnimationPanel(DocumentModel& document, const Profile& profile, QWidget* parent)
    : QWidget(parent), document_(document), profile_(profile)
{
    width_ = new NumberEdit(this);
    height_ = new NumberEdit(this);
    just_ = new QPushButton(loadText(Text::FitScreen), this);
    globalTable_ = new QCheckBox(loadText(Text::MakeGlobalTable), this);
    background_ = new QLabel(this);
    background_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    background_->setFont(fixedFieldFont(font()));
    background_->setMinimumWidth(background_->fontMetrics().horizontalAdvance(QStringLiteral("[255]：[#FFFFFF]")) + 8);
    loop_ = new QCheckBox(loadText(Text::Loop), this);
    limit_ = new QCheckBox(this);
    loopCount_ = new NumberEdit(this);
    commentOn_ = new QCheckBox(loadText(Text::Comment), this);
    comment_ = new CommentEdit(this);
    comment_->setFixedHeight(comment_->fontMetrics().lineSpacing() + 2 * comment_->frameWidth() + 8);
    confirm_ = new QPushButton(loadText(Text::ShowComment), this);

    auto* rows = new QVBoxLayout(this);
    auto row = [rows](std::initializer_list<QWidget*> widgets, QWidget* stretch = nullptr) {
        auto* line = new QHBoxLayout;
        for (QWidget* w : widgets)
            line->addWidget(w, w == stretch ? 1 : 0);
        if (!stretch)
            line->addStretch(1);
        rows->addLayout(line);
    };
    row({new QLabel(loadText(Text::ScreenWidth), this), width_, new QLabel(loadText(Text::ScreenHeight), this), height_,
         just_});
    row({globalTable_, new QLabel(loadText(Text::Background), this), background_});
    row({loop_, limit_, loopCount_, new QLabel(loadText(Text::LoopCountUnit), this)});
    row({commentOn_, comment_, confirm_}, comment_);

    const std::pair<QWidget*, int> tips[] = {
        {width_, Text::ScreenWidthTip},     {height_, Text::ScreenHeightTip},
        {just_, Text::FitScreenTip},        {globalTable_, Text::MakeGlobalTableTip},
        {background_, Text::BackgroundTip}, {loop_, Text::LoopTip},
        {limit_, Text::LimitLoopTip},       {loopCount_, Text::LoopCountTip},
        {commentOn_, Text::CommentTip},     {comment_, Text::CommentTextTip},
        {confirm_, Text::ShowCommentTip}};
    for (auto [widget, id] : tips) {
        widget->setToolTip(loadText(id));
        widget->setToolTipDuration(kToolTipDurationMs);
    }

    connect(width_, &NumberEdit::valueChanged, this, [this](int v) { sizeChanged(width_, v); });
    connect(height_, &NumberEdit::valueChanged, this, [this](int v) { sizeChanged(height_, v); });
    connect(just_, &QPushButton::clicked, this, [this] {
        const DocumentModel::EditStep step(document_, Text::FitScreen); // both sizes, one step
        const QSize size = document_.boundingSize();
        width_->setValue(std::min(size.width(), NumberEdit::kMax));
        height_->setValue(std::min(size.height(), NumberEdit::kMax));
    });
    connect(globalTable_, &QCheckBox::clicked, this, &AnimationPanel::globalTableClicked);
    connect(loop_, &QCheckBox::clicked, this, [this](bool on) {
        document_.editSettings([on](GifSettings& s) { s.loop = on; }, Text::Loop);
    });
    connect(limit_, &QCheckBox::clicked, this, [this](bool on) {
        document_.editSettings([on](GifSettings& s) { s.loopLimited = on; }, Text::Loop);
    });
    connect(loopCount_, &NumberEdit::valueChanged, this, [this](int v) {
        if (v > NumberEdit::kMax) {
            loopCount_->setValue(NumberEdit::kMax);
            return;
        }
        document_.editSettings([v](GifSettings& s) { s.loopCount = uint16_t(v); }, Text::Loop, kLoopCountKey);
    });
    connect(commentOn_, &QCheckBox::clicked, this, [this](bool on) {
        document_.editSettings([on](GifSettings& s) { s.saveComment = on; }, Text::Comment);
    });
    connect(comment_, &CommentEdit::textChanged, this, [this] {
        const std::string text = comment_->toPlainText().toStdString();
        if (text != document_.settings().comment)
            document_.editSettings([&text](GifSettings& s) { s.comment = text; }, Text::Comment, kCommentKey);
    });
    connect(confirm_, &QPushButton::clicked, this, [this] {
        showPlainMessage(window(), comment_->toPlainText(), QStringLiteral("zell"), MessageStyle::OkPlain);
    });
    connect(&document_, &DocumentModel::settingsChanged, this, &AnimationPanel::refresh);
    connect(&document_, &DocumentModel::globalTableChanged, this, &AnimationPanel::refresh);
    readCommentMode();
    refresh();
}

void AnimationPanel::readCommentMode()
{
    comment_->setSevenBit(profile_.readString("are you", "in the 1-byte area?", "yes") != "no");
}

void AnimationPanel::refresh()
{
    const GifSettings& s = document_.settings();
    width_->setQuietly(s.screenWidth);
    height_->setQuietly(s.screenHeight);
    globalTable_->setChecked(s.useGlobalColorTable);
    const ColorTable& table = s.globalColorTable;
    const uint32_t index = table.backgroundIndex;
    background_->setText(colorInfoText(index, index < table.count ? table.color(index) : kNoColor));
    loop_->setChecked(s.loop);
    limit_->setChecked(s.loopLimited);
    loopCount_->setQuietly(s.loopCount);
    commentOn_->setChecked(s.saveComment);
    const QString comment = QString::fromStdString(s.comment);
    if (comment_->toPlainText() != comment) {
        const QSignalBlocker blocker(comment_);
        comment_->setPlainText(comment);
    }
    updateEnabling();
}

void AnimationPanel::updateEnabling()
{
    limit_->setEnabled(loop_->isChecked());
    loopCount_->setEnabled(loop_->isChecked() && limit_->isChecked());
    comment_->setEnabled(commentOn_->isChecked());
}

void AnimationPanel::sizeChanged(NumberEdit* edit, int value)
{
    if (value > NumberEdit::kMax) {
        edit->setValue(NumberEdit::kMax); // runs this handler again
        return;
    }
    const bool isWidth = edit == width_;
    document_.editSettings([&](GifSettings& s) { (isWidth ? s.screenWidth : s.screenHeight) = uint16_t(value); },
                           isWidth ? Text::ScreenWidth : Text::ScreenHeight, isWidth ? kWidthKey : kHeightKey);
}

void AnimationPanel::globalTableClicked(bool checked)
{
    if (checked) {
        document_.editSettings([](GifSettings& s) { s.useGlobalColorTable = true; }, Text::MakeGlobalTable);
        return;
    }
    if (showMessage(window(), Text::ConfirmLocalTablesForAll, Text::ConfirmLocalTablesForAllCaption,
                    MessageStyle::YesNoInfo) != kIdYes) {
        globalTable_->setChecked(true);
        return;
    }
    const DocumentModel::EditStep step(document_, Text::MakeGlobalTable);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    document_.setLocalColorTableOnAll();
    QApplication::restoreOverrideCursor();
    document_.editSettings([](GifSettings& s) { s.useGlobalColorTable = false; });
    document_.selectFrame(document_.currentIndex()); // refills the property panel
}

} // namespace zell
