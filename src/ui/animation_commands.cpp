#include "ui/animation_commands.h"

#include <QApplication>
#include <QLocale>

#include "app/message_box.h"
#include "app/string_table.h"
#include "document/gif_export.h"
#include "document/screen_composer.h"
#include "operations/optimizer.h"
#include "operations/palette_unifier.h"
#include "playback/plugin_discovery.h"
#include "ui/busy.h"
#include "ui/document_model.h"
#include "ui/file_commands.h"
#include "ui/operation_dialogs.h"
#include "ui/transition_dialog.h"

namespace zell {

AnimationCommands::AnimationCommands(DocumentModel& document, QWidget* owner, FileCommands& checks,
                                     std::function<QList<int>()> selectedRows)
    : QObject(owner), pluginFolders(transitionPluginFolders()), document_(document), owner_(owner), checks_(checks),
      selectedRows_(std::move(selectedRows))
{
}

void AnimationCommands::failed()
{
    showMessage(owner_, Text::OperationFailed, Text::ErrorCaption, MessageStyle::OkInfo);
}

void AnimationCommands::optimize()
{
    if (document_.frameCount() == 0)
        return;
    OptimizeDialog dialog(owner_, 0x31);
    dialog.estimateSizes(
        measureCopyOf(document_.document(), GifOutput::fromSettings(document_.document().settings, 0)));
    if (prompter().runDialog(dialog) != QDialog::Accepted)
        return;
    WaitCursor wait;
    GifOutput output;
    if (!checks_.collectGifSettings(output, false))
        return;
    const uint32_t options = dialog.options();
    // Without the numbers a user cannot tell whether optimising paid.
    const int framesBefore = document_.frameCount();
    uint64_t bytesBefore = 0, bytesAfter = 0;
    const auto measure = [this](uint64_t& bytes) {
        const Document& d = document_.document();
        return measureAnimatedGif(d.frames, GifOutput::fromSettings(d.settings, 0), bytes);
    };
    const bool measured = measure(bytesBefore);
    Failure why = Failure::none;
    const bool ok = document_.run(
        loadText(Text::FramesUnit), [&](Document& d, Progress& p) { return zell::optimize(d, options, {}, &why, &p); },
        Text::OptimizeCommand);
    emit selectRow(ok ? 0 : std::max(document_.currentIndex(), 0));
    if (!ok && why != Failure::cancelled)
        failed();
    if (ok && measured && measure(bytesAfter)) {
        const QLocale locale;
        const QString report = QString::asprintf(loadText(Text::OptimizeReport).toUtf8().constData(), framesBefore,
                                                 document_.frameCount(),
                                                 locale.toString(qulonglong(bytesBefore)).toUtf8().constData(),
                                                 locale.toString(qulonglong(bytesAfter)).toUtf8().constData());
        showPlainMessage(owner_, report, loadText(Text::OptimizeTitle), MessageStyle::OkInfo);
    }
}

void AnimationCommands::unifyPalettes()
{
    if (document_.frameCount() == 0)
        return;
    const Frame* current = document_.currentFrame();
    UnifyDialog dialog(owner_, current ? int(current->colorCount) : 0);
    if (prompter().runDialog(dialog) != QDialog::Accepted)
        return;
    UnifyOptions options = dialog.options();
    if (options.selectedOnly && selectedRows_) {
        for (int row : selectedRows_())
            options.selected.push_back(row);
    }
    WaitCursor wait;
    Failure why = Failure::none;
    // The engine takes the background colour from the global table.
    const bool ok = document_.run(
        loadText(Text::FramesUnit), [&](Document& d, Progress& p) { return zell::unify(d, options, {}, &why, &p); },
        Text::UnifyPalettesCommand);
    emit selectRow(ok ? 0 : std::max(document_.currentIndex(), 0));
    if (!ok && why != Failure::cancelled)
        failed();
}

bool AnimationCommands::composeTransitionScreens(int current, TransitionScreens& screens)
{
    WaitCursor wait;
    GifOutput output;
    if (!checks_.collectGifSettings(output, false))
        return false;
    uint32_t width = 0, height = 0;
    if (exceedsPixelLimit(document_.document(), width, height))
        return false;
    return composeScreens(document_.document(), current, screens);
}

void AnimationCommands::insertTransition()
{
    const int current = document_.currentIndex();
    TransitionScreens screens;
    if (!composeTransitionScreens(current, screens)) {
        failed();
        return;
    }
    TransitionDialog dialog(owner_, screens, document_.document().workDirectory(), pluginFolders);
    if (prompter().runDialog(dialog) != QDialog::Accepted)
        return;
    std::vector<GeneratedFile> files = dialog.takeGeneratedFiles();
    const uint16_t delay = dialog.frameDelay();
    document_.rebuild([&](Document& d) { insertTransitionFrames(d, current, files, delay); },
                      Text::InsertTransitionCommand);
    emit selectRow(current);
}

} // namespace zell
