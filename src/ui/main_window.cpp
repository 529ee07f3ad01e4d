#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMimeData>
#include <QGroupBox>
#include <QHeaderView>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include "app/message_box.h"
#include "app/profile.h"
#include "app/string_table.h"
#include "ui/about_dialog.h"
#include "ui/animation_commands.h"
#include "ui/animation_panel.h"
#include "ui/background_run.h"
#include "ui/document_model.h"
#include "ui/edit_commands.h"
#include "ui/file_commands.h"
#include "ui/frame_list_view.h"
#include "ui/image_view_window.h"
#include "ui/palette_window.h"
#include "ui/property_panel.h"
#include "ui/settings_dialog.h"
#include "ui/tool_window.h"
#include "ui/window_placement.h"

namespace zell {
namespace {

// Commands that need at least one frame.
const int kNeedFrames[] = {Text::SaveGifCommand,          Text::SaveProjectCommand, Text::DeleteAllCommand,
                           Text::SelectAllCommand,        Text::OptimizeCommand,    Text::UnifyPalettesCommand,
                           Text::InsertTransitionCommand, Text::PreviewCommand,     Text::Rotate90Command,
                           Text::Rotate180Command,        Text::Rotate270Command,   Text::FlipHorizontalCommand,
                           Text::FlipVerticalCommand,     Text::SpeedCommand,       Text::ResizeCommand,
                           Text::CropCommand};
// Commands that need at least two frames.
const int kNeedTwoFrames[] = {Text::ReverseFramesCommand, Text::PingPongCommand, Text::ThinOutCommand};

} // namespace

MainWindow::MainWindow(DocumentModel& document, const Profile& profile, std::string libraryPath, QWidget* parent)
    : QMainWindow(parent), document_(document), profile_(profile), libraryPath_(std::move(libraryPath))
{
    openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    auto* animationBox = new QGroupBox(central);
    auto* propertyBox = new QGroupBox(central);
    animation_ = new AnimationPanel(document_, profile_, animationBox);
    list_ = new FrameListView(document_, central);
    properties_ = new PropertyPanel(document_, *list_, propertyBox);
    (new QVBoxLayout(animationBox))->addWidget(animation_);
    (new QVBoxLayout(propertyBox))->addWidget(properties_);
    layout->addWidget(animationBox);
    layout->addWidget(list_, 1);
    layout->addWidget(propertyBox);
    setCentralWidget(central);
    files_ = new FileCommands(document_, this);
    operations_ = new AnimationCommands(document_, this, *files_, [this] { return list_->selectedRows(); });
    edits_ = new EditCommands(document_, this, [this] { return list_->selectedRows(); });
    document_.setRunOwner(this);
    buildMenu();
    resize(std::max(560, list_->horizontalHeader()->length() + 48), 680);

    paletteContent_ = new PaletteWindow(document_);
    palette_ = std::make_unique<ToolWindow>(loadText(Text::PaletteWindowTitle), paletteContent_->size());
    paletteContent_->setParent(palette_.get());
    connect(paletteContent_, &PaletteWindow::toggleRequested, this, &MainWindow::togglePalette);
    connect(paletteContent_, &PaletteWindow::imageViewToggleRequested, this, &MainWindow::toggleImageView);
    connect(palette_.get(), &ToolWindow::activated, this, [this] { raiseWindowGroup(kPaletteWindow, 0); });
    connect(files_, &FileCommands::selectRow, list_, &FrameListView::select);
    connect(operations_, &AnimationCommands::selectRow, list_, &FrameListView::select);
    connect(edits_, &EditCommands::selectRow, list_, &FrameListView::select);
    connect(files_, &FileCommands::projectPathChanged, this, &MainWindow::updateTitle);
    connect(files_, &FileCommands::framesOpened, this, [this] {
        if (document_.frameCount() > 0)
            list_->select(std::max(document_.currentIndex(), 0));
    });
    setAcceptDrops(true);
    auto* view = new ImageViewWindow(document_, nullptr, &profile_);
    imageView_.reset(view);
    imageViewWindow_ = view;
    for (ToolWindow* w : {palette_.get(), imageView_.get()})
        w->applyToolWindowStyle(profile_);

    connect(&document_, &DocumentModel::frameCountChanged, this, &MainWindow::updateCommands);
    connect(&document_, &DocumentModel::historyChanged, this, &MainWindow::updateHistory);
    connect(&document_, &DocumentModel::busyChanged, this, [this](bool busy) { setBusy(busy); });
    updateCommands();
    updateHistory();
    updateTitle();
    connectImageView();
}

MainWindow::~MainWindow() = default;

void MainWindow::connectImageView()
{
    ImageViewWindow* view = imageViewWindow_;
    connect(view, &ImageViewWindow::frameRequested, list_, &FrameListView::select);
    connect(view, &ImageViewWindow::busyChanged, this, [this](bool busy) { setBusy(busy, kImageViewWindow); });
    connect(view, &ImageViewWindow::paletteToggleRequested, this, &MainWindow::togglePalette);
    connect(view, &ImageViewWindow::activated, this, [this] { raiseWindowGroup(kImageViewWindow, 0); });
    connect(view, &ImageViewWindow::colorIndexPicked, this, &MainWindow::pickColorIndex);
    connect(edits_, &EditCommands::cropDialogShown, view, &ImageViewWindow::attachCropDialog);
    // The palette's pick modes are the view's.
    connect(paletteContent_, &PaletteWindow::modeChanged, view, &ImageViewWindow::setPickMode);
}

void MainWindow::pickColorIndex(int target, int index)
{
    // The view picks for the palette window, which knows the tables' rules:
    // target 0 the background entry, 1 the current frame's transparent
    // index; -1 (outside the frame, or a right click) clears the latter.
    if (target == 0) {
        if (index >= 0)
            paletteContent_->setBackgroundIndex(index);
        return;
    }
    paletteContent_->setTransparentIndex(index);
}

QAction* MainWindow::addCommand(QMenu* menu, int command, const QKeySequence& key, void (MainWindow::*slot)())
{
    return addCommand(menu, command, key, [this, slot] { (this->*slot)(); });
}

QAction* MainWindow::addCommand(QMenu* menu, int command, const QKeySequence& key, std::function<void()> slot)
{
    auto* action = new QAction(loadText(command), this);
    if (!key.isEmpty())
        action->setShortcut(key);
    connect(action, &QAction::triggered, this, [this, slot = std::move(slot)] {
        // While a frame is being renamed the window's keys belong to the editor.
        if (!list_->renaming())
            slot();
    });
    if (menu)
        menu->addAction(action);
    else
        addAction(action);
    actions_[command] = action;
    return action;
}

void MainWindow::buildMenu()
{
    using K = QKeySequence;
    QMenu* file = menuBar()->addMenu(loadText(Text::FileMenu));
    addCommand(file, Text::OpenImagesCommand, K(Qt::CTRL | Qt::Key_O), &MainWindow::openImages);
    addCommand(file, Text::SaveGifCommand, K(Qt::CTRL | Qt::Key_S), &MainWindow::saveGif);
    file->addSeparator();
    addCommand(file, Text::OpenProjectCommand, {}, &MainWindow::openProjectFile);
    addCommand(file, Text::SaveProjectCommand, {}, &MainWindow::saveProjectFile);
    file->addSeparator();
    auto* exit = new QAction(loadText(Text::ExitCommand), this);
    connect(exit, &QAction::triggered, this, &QWidget::close);
    file->addAction(exit);
    actions_[Text::ExitCommand] = exit;

    QMenu* edit = menuBar()->addMenu(loadText(Text::EditMenu));
    addCommand(edit, Text::UndoCommand, K(Qt::CTRL | Qt::Key_Z), &MainWindow::undo);
    addCommand(edit, Text::RedoCommand, K(Qt::CTRL | Qt::Key_Y), &MainWindow::redo)
        ->setShortcuts({K(Qt::CTRL | Qt::Key_Y), K(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    edit->addSeparator();
    addCommand(edit, Text::DeleteAllCommand, K(Qt::CTRL | Qt::Key_Delete), &MainWindow::deleteAll);
    edit->addSeparator();
    addCommand(edit, Text::SelectAllCommand, K(Qt::CTRL | Qt::Key_A), &MainWindow::selectAll);
    edit->addSeparator();
    // The everyday edits, also offered on the frame list.
    QMenu* listMenu = list_->contextMenu();
    listMenu->addSeparator();
    EditCommands* e = edits_;
    for (QMenu* m : {edit, listMenu}) {
        const bool list = m == listMenu;
        auto put = [&](int command, std::function<void()> slot) {
            if (list)
                m->addAction(actions_[command]);
            else
                addCommand(m, command, {}, std::move(slot));
        };
        put(Text::ReverseFramesCommand, [e] { e->reverse(); });
        put(Text::PingPongCommand, [e] { e->pingPong(); });
        put(Text::ThinOutCommand, [e] { e->thinOut(); });
        put(Text::SpeedCommand, [e] { e->speed(); });
        if (list)
            continue;
        put(Text::ResizeCommand, [e] { e->resize(); });
        put(Text::CropCommand, [e] { e->crop(); });
        QMenu* turns = m->addMenu(loadText(Text::TransformMenu));
        for (int t = 0; t < 5; ++t)
            addCommand(turns, Text::Rotate90Command + t, {}, [e, t] { e->transform(PictureTransform(t)); });
    }
    edit->addSeparator();
    applyMenu_ = edit->addMenu(loadText(Text::ApplyToAllMenu));
    for (int kind = 0; kind < 6; ++kind) {
        auto* action = new QAction(loadText(Text::ApplyPositionCommand + kind), this);
        connect(action, &QAction::triggered, this, [this, kind] { applyToAll(kind); });
        applyMenu_->addAction(action);
        actions_[Text::ApplyPositionCommand + kind] = action;
    }
    edit->addSeparator();
    addCommand(edit, Text::OptimizeCommand, {}, &MainWindow::optimizeAnimation);
    addCommand(edit, Text::UnifyPalettesCommand, {}, &MainWindow::unifyPalettes);
    addCommand(edit, Text::InsertTransitionCommand, {}, &MainWindow::insertTransition);
    edit->addSeparator();
    addCommand(edit, Text::PreviewCommand, K(Qt::CTRL | Qt::Key_P), &MainWindow::preview);

    QMenu* window = menuBar()->addMenu(loadText(Text::WindowMenu));
    addCommand(window, Text::TogglePaletteCommand, K(Qt::SHIFT | Qt::Key_C), &MainWindow::togglePalette);
    addCommand(window, Text::ToggleImageViewCommand, K(Qt::SHIFT | Qt::Key_I), &MainWindow::toggleImageView);
    window->addSeparator();
    addCommand(window, Text::SettingsCommand, {}, &MainWindow::openSettings);

    QMenu* help = menuBar()->addMenu(loadText(Text::HelpMenu));
    addCommand(help, Text::HomePageCommand, {}, &MainWindow::openManual);
    addCommand(help, Text::AboutCommand, {}, &MainWindow::showAbout);

    addCommand(nullptr, 32777, K(Qt::CTRL | Qt::Key_Space), &MainWindow::selectNext);
    addCommand(nullptr, 32778, K(Qt::CTRL | Qt::Key_B), &MainWindow::selectPrevious);
}

QAction* MainWindow::action(int command) const
{
    auto it = actions_.find(command);
    return it == actions_.end() ? nullptr : it->second;
}

void MainWindow::updateCommands()
{
    const int n = document_.frameCount();
    for (int command : kNeedFrames)
        actions_[command]->setEnabled(n > 0);
    applyMenu_->setEnabled(n >= 2);
    for (int command : kNeedTwoFrames)
        actions_[command]->setEnabled(n >= 2);
    for (int kind = 0; kind < 6; ++kind)
        actions_[Text::ApplyPositionCommand + kind]->setEnabled(n >= 2);
}

namespace {

// "元に戻す(&Z) 待機時間\tCtrl+Z": the menu text with the step's name.
QString withStepName(int command, const std::string& name)
{
    const QString text = loadText(command);
    if (name.empty())
        return text;
    const qsizetype tab = text.indexOf(QLatin1Char('\t'));
    QString shown = QString::fromStdString(name);
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return text.left(tab) + QLatin1Char(' ') + shown + (tab < 0 ? QString() : text.mid(tab));
}

} // namespace

void MainWindow::updateHistory()
{
    const History& history = document_.history();
    actions_[Text::UndoCommand]->setText(withStepName(Text::UndoCommand, history.undoName()));
    actions_[Text::UndoCommand]->setEnabled(history.canUndo());
    actions_[Text::RedoCommand]->setText(withStepName(Text::RedoCommand, history.redoName()));
    actions_[Text::RedoCommand]->setEnabled(history.canRedo());
    setWindowModified(history.modified());
}

// "*" while the document differs from what was last saved or opened.
void MainWindow::updateTitle()
{
    const QString path = files_->projectPath();
    const QString name = path.isEmpty() ? QString() : QFileInfo(path).fileName() + QStringLiteral(" - ");
    setWindowTitle(QStringLiteral("[*]") + name + QStringLiteral("zell"));
}

void MainWindow::undo()
{
    document_.undo();
}

void MainWindow::redo()
{
    document_.redo();
}

// The home-page command opens the manual that ships with zell: it is there offline.
void MainWindow::openManual()
{
    const QUrl address = homePageAddress();
    const bool present = !address.isLocalFile() || QFileInfo::exists(address.toLocalFile());
    if (present && openUrl(address))
        return;
    QString text = loadText(Text::HomePageFailed);
    text.replace(QStringLiteral("%s"), address.isLocalFile() ? address.toLocalFile() : address.toString());
    showPlainMessage(this, text, loadText(Text::HomePageFailedCaption), MessageStyle::OkInfo);
}

void MainWindow::showAbout()
{
    AboutDialog about(this);
    prompter().runDialog(about);
}

void MainWindow::deleteAll()
{
    if (document_.frameCount() == 0 ||
        showMessage(this, Text::ConfirmDeleteAll, Text::ConfirmDeleteAllCaption, MessageStyle::YesNoInfo) != kIdYes)
        return;
    document_.removeAll();
    document_.selectFrame(-1);
}

void MainWindow::applyToAll(int kind)
{
    if (document_.frameCount() < 2 ||
        showMessage(this, Text::ConfirmApplyToAll, Text::ConfirmApplyToAllCaption, MessageStyle::YesNoInfo) != kIdYes)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    document_.applyToAll(ApplyKind(kind));
    QApplication::restoreOverrideCursor();
}

void MainWindow::selectAll()
{
    list_->selectAll();
}

void MainWindow::selectNext()
{
    list_->selectNext();
}

void MainWindow::selectPrevious()
{
    list_->selectPrevious();
}

void MainWindow::togglePalette()
{
    palette_->toggle();
}

void MainWindow::toggleImageView()
{
    imageView_->toggle();
}

void MainWindow::openSettings()
{
    SettingsDialog dialog(profile_, libraryPath_, this);
    if (prompter().runDialog(dialog) != QDialog::Accepted)
        return;
    const SettingsDialog::Changes changes = dialog.changes();
    if (changes.toolWindowStyle) {
        for (ToolWindow* w : {palette_.get(), imageView_.get()}) {
            const bool visible = w->isVisible();
            w->hide();
            w->applyToolWindowStyle(profile_);
            if (visible)
                w->show();
        }
    }
    if (changes.commentMode)
        animation_->readCommentMode();
}

void MainWindow::openFiles(const QStringList& paths)
{
    files_->openDropped(paths);
}

void MainWindow::openImages()
{
    files_->open();
}

void MainWindow::saveGif()
{
    files_->save();
}

void MainWindow::openProjectFile()
{
    files_->openProject();
}

void MainWindow::saveProjectFile()
{
    files_->saveProject();
}

void MainWindow::preview()
{
    files_->preview();
}

void MainWindow::optimizeAnimation()
{
    operations_->optimize();
}

void MainWindow::unifyPalettes()
{
    operations_->unifyPalettes();
}

void MainWindow::insertTransition()
{
    operations_->insertTransition();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    event->acceptProposedAction();
    if (paths.isEmpty())
        return;
    raiseWindowGroup(kMainWindow, 0);
    activateWindow();
    // After the drop has ended, so the source is not kept waiting by dialogs.
    QTimer::singleShot(0, this, [this, paths] { files_->openDropped(paths); });
}

void MainWindow::restoreToolWindowPlacement()
{
    QScreen* primary = QGuiApplication::primaryScreen();
    const QRect workArea = primary ? primary->availableGeometry() : QRect(0, 0, 1024, 768);
    QList<QRect> screens;
    for (QScreen* s : QGuiApplication::screens())
        screens << s->availableGeometry();
    // Until a tool window has been shown its frame is unknown; the window
    // manager gives it one like ours.
    const QMargins ours = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    int mask = 1 << kMainWindow;
    QList<QRect> tools;
    const std::pair<ToolWindow*, const char*> windows[] = {{palette_.get(), "ColorPalette"},
                                                           {imageView_.get(), "ImageView"}};
    for (int i = 0; i < 2; ++i) {
        auto [window, section] = windows[i];
        const QMargins margins = window->frameMargins().isNull() ? ours : window->frameMargins();
        const Placement p = restoredPlacement(profile_, section, workArea, window->designedSize(), margins, i == 0);
        const QRect frame = reachableRect(p.frame, std::max(margins.top(), kGripHeight), screens);
        window->placeFrame(frame, margins);
        if (p.visible) {
            mask |= 1 << (i + 1);
            tools << frame;
        }
    }
    // Our menu bar stays in sight below the tool windows.
    const QRect main = clearOfToolWindows(frameGeometry(), ours.top() + menuBar()->height(),
                                          minimumSizeHint().grownBy(ours).height(), tools, workArea);
    if (main != frameGeometry()) {
        move(main.topLeft());
        resize(main.size().shrunkBy(ours));
    }
    raiseWindowGroup(kMainWindow, mask);
    activateWindow();
    list_->setFocus();
}

void MainWindow::saveToolWindowPlacement()
{
    const std::pair<ToolWindow*, const char*> windows[] = {{palette_.get(), "ColorPalette"},
                                                           {imageView_.get(), "ImageView"}};
    for (auto [window, section] : windows) {
        if (window)
            savePlacement(profile_, section, window->normalFrameCorner(), window->normalGeometry().size(),
                          window->isMinimized(), window->isVisible());
    }
}

void MainWindow::raiseWindowGroup(int front, int showMask)
{
    QWidget* windows[3] = {this, palette_.get(), imageView_.get()};
    if (front < 0 || front >= 3)
        return;
    for (int i = 0; i < 3; ++i) {
        if (showMask & (1 << i))
            windows[i]->show();
    }
    for (int i = 0; i < 3; ++i) {
        if (i != front && windows[i]->isVisible())
            windows[i]->raise();
    }
    windows[front]->raise();
}

void MainWindow::setBusy(bool busy, int except)
{
    QWidget* windows[3] = {this, palette_.get(), imageView_.get()};
    // A disabled window loses its focus; enabled again, it would hand it to
    // its first field. Each window gets back the widget that had it.
    if (busy) {
        for (int i = 0; i < 3; ++i) {
            if (QWidget* focus = windows[i]->focusWidget(); focus && i != except)
                keptFocus_[i] = focus;
        }
    }
    for (int i = 0; i < 3; ++i)
        windows[i]->setEnabled(!busy || i == except);
    if (busy)
        return;
    for (int i = 0; i < 3; ++i) {
        QWidget* focus = keptFocus_[i];
        if (!focus && i == kMainWindow)
            focus = list_;
        keptFocus_[i] = nullptr;
        if (focus && !windows[i]->focusWidget() && focus->isEnabled() && focus->isVisible())
            focus->setFocus(Qt::OtherFocusReason);
    }
}

bool MainWindow::mayClose()
{
    // The save question, when it is asked, is the exit question too.
    if (document_.history().modified())
        return files_->offerToSave();
    return document_.frameCount() == 0 ||
           showMessage(this, Text::ConfirmQuit, Text::ConfirmQuitCaption, MessageStyle::YesNoInfo) == kIdYes;
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // A command still running would change the document under the save,
    // and after the question: it ends first, changing nothing.
    stopBackgroundRun();
    if (!mayClose()) {
        event->ignore();
        return;
    }
    event->accept();
    // Saved while the tool windows still show how the user left them.
    saveToolWindowPlacement();
    palette_->hide();
    imageView_->hide();
    emit closed();
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    // Esc closes the window, after the question, like any dialog's Cancel.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        raiseWindowGroup(kMainWindow, 0);
}

} // namespace zell
