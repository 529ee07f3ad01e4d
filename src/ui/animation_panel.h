// The whole-animation settings: logical screen, global table, looping and
// comment. Every edit is written to the document at once.
#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;

namespace zell {

class CommentEdit;
class DocumentModel;
class NumberEdit;
class Profile;

class AnimationPanel final : public QWidget {
    Q_OBJECT
public:
    AnimationPanel(DocumentModel& document, const Profile& profile, QWidget* parent = nullptr);

    // Shows the document's settings.
    void refresh();
    // Re-reads the comment mode from the profile.
    void readCommentMode();

    NumberEdit* widthEdit() const { return width_; }
    NumberEdit* heightEdit() const { return height_; }
    QPushButton* justButton() const { return just_; }
    QCheckBox* globalTableBox() const { return globalTable_; }
    QCheckBox* loopBox() const { return loop_; }
    QCheckBox* limitBox() const { return limit_; }
    NumberEdit* loopCountEdit() const { return loopCount_; }
    QCheckBox* commentBox() const { return commentOn_; }
    CommentEdit* commentEdit() const { return comment_; }
    QLabel* backgroundField() const { return background_; }

private:
    void sizeChanged(NumberEdit* edit, int value);
    void globalTableClicked(bool checked);
    void updateEnabling();

    DocumentModel& document_;
    const Profile& profile_;
    NumberEdit* width_;
    NumberEdit* height_;
    QPushButton* just_;
    QCheckBox* globalTable_;
    QLabel* background_;
    QCheckBox* loop_;
    QCheckBox* limit_;
    NumberEdit* loopCount_;
    QCheckBox* commentOn_;
    CommentEdit* comment_;
    QPushButton* confirm_;
};

} // namespace zell
