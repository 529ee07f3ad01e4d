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
    just_ = new QPushButton(ownText(1045), this);
    globalTable_ = new QCheckBox(ownText(1046), this);
    background_ = new QLabel(this);
    background_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    background_->setFont(fixedFieldFont(font()));
    background_->setMinimumWidth(background_->fontMetrics().horizontalAdvance(QStringLiteral("[255]：[#FFFFFF]")) + 8);
    loop_ = new QCheckBox(ownText(1048), this);
    limit_ = new QCheckBox(this);
    loopCount_ = new NumberEdit(this);
    commentOn_ = new QCheckBox(ownText(1052), this);
    comment_ = new CommentEdit(this);
    comment_->setFixedHeight(comment_->fontMetrics().lineSpacing() + 2 * comment_->frameWidth() + 8);
    confirm_ = new QPushButton(ownText(1054), this);

    auto* rows = new QVBoxLayout(this);
    auto row = [rows](std::initializer_list<QWidget*> widgets, QWidget* stretch = nullptr) {
        auto* line = new QHBoxLayout;
        for (QWidget* w : widgets)
            line->addWidget(w, w == stretch ? 1 : 0);
        if (!stretch)
            line->addStretch(1);
        rows->addLayout(line);
    };
    row({new QLabel(ownText(1041), this), width_, new QLabel(ownText(1043), this), height_, just_});
    row({globalTable_, new QLabel(ownText(1068), this), background_});
    row({loop_, limit_, loopCount_, new QLabel(ownText(1050), this)});
    row({commentOn_, comment_, confirm_}, comment_);

    const std::pair<QWidget*, int> tips[] = {{width_, 20139},     {height_, 20140},   {just_, 20141},
                                             {globalTable_, 20142}, {background_, 20143}, {loop_, 20144},
                                             {limit_, 20145},     {loopCount_, 20146}, {commentOn_, 20147},
                                             {comment_, 20148},   {confirm_, 20149}};
    for (auto [widget, id] : tips) {
        widget->setToolTip(ownText(id));
        widget->setToolTipDuration(kToolTipDurationMs);
    }

    connect(width_, &NumberEdit::valueChanged, this, [this](int v) { sizeChanged(width_, v); });
    connect(height_, &NumberEdit::valueChanged, this, [this](int v) { sizeChanged(height_, v); });
    connect(just_, &QPushButton::clicked, this, [this] {
        const DocumentModel::EditStep step(document_, 1045); // both sizes, one step
        const QSize size = document_.boundingSize();
        width_->setValue(std::min(size.width(), NumberEdit::kMax));
        height_->setValue(std::min(size.height(), NumberEdit::kMax));
    });
    connect(globalTable_, &QCheckBox::clicked, this, &AnimationPanel::globalTableClicked);
    connect(loop_, &QCheckBox::clicked, this, [this](bool on) {
        document_.editSettings([on](GifSettings& s) { s.loop = on; }, 1048);
    });
    connect(limit_, &QCheckBox::clicked, this, [this](bool on) {
        document_.editSettings([on](GifSettings& s) { s.loopLimited = on; }, 1048);
    });
    connect(loopCount_, &NumberEdit::valueChanged, this, [this](int v) {
        if (v > NumberEdit::kMax) {
            loopCount_->setValue(NumberEdit::kMax);
            return;
        }
        document_.editSettings([v](GifSettings& s) { s.loopCount = uint16_t(v); }, 1048, kLoopCountKey);
    });
    connect(commentOn_, &QCheckBox::clicked, this, [this](bool on) {
        document_.editSettings([on](GifSettings& s) { s.saveComment = on; }, 1052);
    });
    connect(comment_, &CommentEdit::textChanged, this, [this] {
        const std::string text = comment_->toPlainText().toStdString();
        if (text != document_.settings().comment)
            document_.editSettings([&text](GifSettings& s) { s.comment = text; }, 1052, kCommentKey);
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
                           isWidth ? 1041 : 1043, isWidth ? kWidthKey : kHeightKey);
}

void AnimationPanel::globalTableClicked(bool checked)
{
    if (checked) {
        document_.editSettings([](GifSettings& s) { s.useGlobalColorTable = true; }, 1046);
        return;
    }
    if (showMessage(window(), 21508, 21008, MessageStyle::YesNoInfo) != kIdYes) {
        globalTable_->setChecked(true);
        return;
    }
    const DocumentModel::EditStep step(document_, 1046);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    document_.setLocalColorTableOnAll();
    QApplication::restoreOverrideCursor();
    document_.editSettings([](GifSettings& s) { s.useGlobalColorTable = false; });
    document_.selectFrame(document_.currentIndex()); // refills the property panel
}

} // namespace zell
