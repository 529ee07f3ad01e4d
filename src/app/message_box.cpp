#include "app/message_box.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>

#include "app/string_table.h"

namespace zell {
namespace {

class QtPrompter final : public Prompter {
public:
    int message(QWidget* owner, const QString& text, const QString& caption, MessageStyle style) override
    {
        QMessageBox box(owner);
        box.setWindowTitle(caption);
        box.setText(text);
        switch (style) {
        case MessageStyle::OkStop: box.setIcon(QMessageBox::Critical); break;
        case MessageStyle::OkExclamation: box.setIcon(QMessageBox::Warning); break;
        case MessageStyle::OkPlain: box.setIcon(QMessageBox::NoIcon); break;
        default: box.setIcon(QMessageBox::Information); break;
        }
        if (style == MessageStyle::SaveDiscardCancel)
            return askSaveDiscardCancel(box);
        if (style == MessageStyle::YesNoInfo) {
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            return box.exec() == QMessageBox::Yes ? kIdYes : kIdNo;
        }
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
        return kIdOk;
    }

    int runDialog(QDialog& dialog) override { return dialog.exec(); }

private:
    // The buttons say what they do, in the program's own words.
    static int askSaveDiscardCancel(QMessageBox& box)
    {
        box.setIcon(QMessageBox::Question);
        QPushButton* save = box.addButton(loadText(Text::SaveButton), QMessageBox::AcceptRole);
        QPushButton* discard = box.addButton(loadText(Text::DontSaveButton), QMessageBox::DestructiveRole);
        QPushButton* cancel = box.addButton(loadText(Text::Cancel), QMessageBox::RejectRole);
        box.setDefaultButton(save);
        box.setEscapeButton(cancel);
        box.exec();
        if (box.clickedButton() == save)
            return kIdYes;
        return box.clickedButton() == discard ? kIdNo : kIdCancel;
    }
};

Prompter* current = nullptr;

} // namespace

Prompter& prompter()
{
    static QtPrompter qtPrompter;
    return current ? *current : qtPrompter;
}

void setPrompter(Prompter* replacement)
{
    current = replacement;
}

int showPlainMessage(QWidget* owner, const QString& text, const QString& caption, MessageStyle style)
{
    if (!owner && qApp)
        owner = QApplication::activeWindow();
    return prompter().message(owner, text, caption, style);
}

int showMessage(QWidget* owner, int textId, int captionId, MessageStyle style)
{
    return showPlainMessage(owner, loadText(textId), loadText(captionId), style);
}

} // namespace zell
