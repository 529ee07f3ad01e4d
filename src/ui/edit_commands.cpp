#include "ui/edit_commands.h"

#include <algorithm>

#include "app/message_box.h"
#include "app/string_table.h"
#include "ui/document_model.h"
#include "ui/edit_dialogs.h"

namespace zell {

EditCommands::EditCommands(DocumentModel& document, QWidget* owner, std::function<QList<int>()> selectedRows)
    : QObject(owner), document_(document), owner_(owner), selectedRows_(std::move(selectedRows))
{
}

std::vector<int> EditCommands::chosenRows() const
{
    const QList<int> rows = selectedRows_ ? selectedRows_() : QList<int>();
    if (rows.size() < 2)
        return {};
    std::vector<int> out(rows.begin(), rows.end());
    std::sort(out.begin(), out.end());
    return out;
}

bool EditCommands::run(int textId, const std::function<bool(Document&, EditResult&, Progress&)>& work)
{
    if (document_.frameCount() == 0)
        return false;
    EditResult result;
    const int current = std::max(document_.currentIndex(), 0);
    const bool ok = document_.run(
        loadText(Text::FramesUnit), [&](Document& d, Progress& p) { return work(d, result, p); }, textId);
    emit selectRow(std::min(current, document_.frameCount() - 1));
    if (ok) {
        if (result.delaysClamped)
            showMessage(owner_, Text::DelaysHeld, Text::SpeedTitle, MessageStyle::OkInfo);
        return true;
    }
    if (result.why == Failure::cancelled)
        return false;
    const int why = result.tooManyColors   ? Text::TooManyColorsReason
                    : result.badParameters ? Text::NoChangeReason
                                           : Text::OperationFailed;
    showMessage(owner_, why, Text::ErrorCaption, MessageStyle::OkInfo);
    return false;
}

void EditCommands::reverse()
{
    const std::vector<int> rows = chosenRows();
    run(Text::ReverseFramesCommand,
        [&](Document& d, EditResult& r, Progress& p) { return reverseFrames(d, rows, &r, &p); });
}

void EditCommands::pingPong()
{
    const std::vector<int> rows = chosenRows();
    run(Text::PingPongCommand,
        [&](Document& d, EditResult& r, Progress& p) { return pingPongFrames(d, rows, &r, &p); });
}

void EditCommands::transform(PictureTransform transform)
{
    run(Text::Rotate90Command + int(transform),
        [&](Document& d, EditResult& r, Progress& p) { return transformAnimation(d, transform, &r, &p); });
}

void EditCommands::thinOut()
{
    if (document_.frameCount() < 2)
        return;
    std::vector<int> rows = chosenRows();
    ThinOutDialog dialog(owner_, document_.frameCount(), !rows.empty());
    if (prompter().runDialog(dialog) != QDialog::Accepted)
        return;
    if (!dialog.selectedOnly())
        rows.clear();
    const uint32_t every = dialog.every();
    run(Text::ThinOutCommand, [&](Document& d, EditResult& r, Progress& p) { return zell::thinOut(d, rows, every, &r, &p); });
}

void EditCommands::speed()
{
    const Frame* current = document_.currentFrame();
    if (!current)
        return;
    std::vector<int> rows = chosenRows();
    SpeedDialog dialog(owner_, current->delay, !rows.empty());
    if (prompter().runDialog(dialog) != QDialog::Accepted)
        return;
    if (!dialog.selectedOnly())
        rows.clear();
    if (dialog.setsDelay()) {
        const uint32_t delay = dialog.delay();
        run(Text::SpeedCommand, [&](Document& d, EditResult& r, Progress& p) { return setDelays(d, rows, delay, &r, &p); });
    } else {
        const uint32_t percent = dialog.percent();
        run(Text::SpeedCommand,
            [&](Document& d, EditResult& r, Progress& p) { return scaleDelays(d, rows, percent, &r, &p); });
    }
}

void EditCommands::resize()
{
    if (document_.frameCount() == 0)
        return;
    const GifSettings& s = document_.settings();
    ResizeDialog dialog(owner_, s.screenWidth, s.screenHeight);
    if (prompter().runDialog(dialog) != QDialog::Accepted)
        return;
    const ResizeOptions options = dialog.options();
    run(Text::ResizeCommand,
        [&](Document& d, EditResult& r, Progress& p) { return resizeAnimation(d, options, &r, &p); });
}

void EditCommands::crop()
{
    if (document_.frameCount() == 0)
        return;
    const GifSettings& s = document_.settings();
    CropDialog dialog(owner_, s.screenWidth, s.screenHeight);
    // Modal to the main window only, so that the image view takes drags.
    dialog.setWindowModality(Qt::WindowModal);
    emit cropDialogShown(&dialog);
    if (prompter().runDialog(dialog) != QDialog::Accepted)
        return;
    const ScreenRect rect = dialog.rect();
    run(Text::CropCommand, [&](Document& d, EditResult& r, Progress& p) { return cropAnimation(d, rect, &r, &p); });
}

} // namespace zell
