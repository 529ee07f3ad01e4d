// The main window's whole-animation commands: optimise, unify palettes and
// insert a screen transition, each through its dialog. Each gathers its
// inputs, runs one engine operation through the DocumentModel and reports
// a failure with Text::OperationFailed; the engine's runs are all or
// nothing.
#pragma once

#include <QList>
#include <QObject>

#include <filesystem>
#include <functional>
#include <vector>

#include "playback/transition_insertion.h"

class QWidget;

namespace zell {

class DocumentModel;
class FileCommands;

class AnimationCommands final : public QObject {
    Q_OBJECT
public:
    // `checks` runs the animation check before an operation; `selectedRows`
    // gives the list's selection.
    AnimationCommands(DocumentModel& document, QWidget* owner, FileCommands& checks,
                      std::function<QList<int>()> selectedRows);

    void optimize();
    void unifyPalettes();
    void insertTransition();

    // The animation check and the two screens around the current frame;
    // false (after the check's own message, if any) when they cannot be had.
    bool composeTransitionScreens(int current, TransitionScreens& screens);

    // Where the transition dialog looks for plug-ins; tests replace it.
    std::vector<std::filesystem::path> pluginFolders;

signals:
    // The list selects this row alone.
    void selectRow(int row);

private:
    void failed();

    DocumentModel& document_;
    QWidget* owner_;
    FileCommands& checks_;
    std::function<QList<int>()> selectedRows_;
};

} // namespace zell
