// The main window: the menu with its shortcuts, the whole-animation panel,
// the frame list and the property panel, and the two tool windows it keeps
// in their places.
#pragma once

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>
#include <string>

class QAction;
class QMenu;
class QUrl;

namespace zell {

class AnimationCommands;
class AnimationPanel;
class DocumentModel;
class EditCommands;
class FileCommands;
class PaletteWindow;
class FrameListView;
class ImageViewWindow;
class Profile;
class PropertyPanel;
class ToolWindow;

enum ToolWindowIndex : int { kMainWindow = 0, kPaletteWindow = 1, kImageViewWindow = 2 };

class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(DocumentModel& document, const Profile& profile, std::string libraryPath, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Places the tool windows as saved at the last exit (or at their default
    // places) and shows them by the saved visibility.
    void restoreToolWindowPlacement();
    void saveToolWindowPlacement();
    // Brings the three windows up together, window `front` in front; shows
    // those whose bit is set in `showMask`.
    void raiseWindowGroup(int front, int showMask);
    // Disables every window but `except` while busy.
    void setBusy(bool busy, int except = kMainWindow);
    void openFiles(const QStringList& paths);

    QAction* action(int command) const;
    QMenu* applyMenu() const { return applyMenu_; }
    FrameListView* frameList() const { return list_; }
    AnimationPanel* animationPanel() const { return animation_; }
    PropertyPanel* propertyPanel() const { return properties_; }
    ToolWindow* paletteWindow() const { return palette_.get(); }
    ToolWindow* imageViewWindow() const { return imageView_.get(); }
    ImageViewWindow* imageView() const { return imageViewWindow_; }
    PaletteWindow* palette() const { return paletteContent_; }
    FileCommands* fileCommands() const { return files_; }
    // Opens the home page; tests replace the desktop.
    std::function<bool(const QUrl&)> openUrl;
    AnimationCommands* animationCommands() const { return operations_; }
    EditCommands* editCommands() const { return edits_; }

signals:
    // The window accepted its closing and saved the tool windows' places:
    // the program ends.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildMenu();
    QAction* addCommand(QMenu* menu, int command, const QKeySequence& key, void (MainWindow::*slot)());
    QAction* addCommand(QMenu* menu, int command, const QKeySequence& key, std::function<void()> slot);
    void updateCommands();
    void updateHistory();
    void updateTitle();
    bool mayClose();
    void undo();
    void redo();
    void openManual();
    void showAbout();
    void deleteAll();
    void applyToAll(int kind);
    void openSettings();
    void selectNext();
    void selectPrevious();
    void selectAll();
    void togglePalette();
    void openImages();
    void saveGif();
    void openProjectFile();
    void saveProjectFile();
    void preview();
    void optimizeAnimation();
    void unifyPalettes();
    void insertTransition();
    void toggleImageView();
    void connectImageView();
    void pickColorIndex(int target, int index);

    DocumentModel& document_;
    const Profile& profile_;
    std::string libraryPath_;
    AnimationPanel* animation_;
    FrameListView* list_;
    PropertyPanel* properties_;
    QMenu* applyMenu_ = nullptr;
    std::map<int, QAction*> actions_;
    std::unique_ptr<ToolWindow> palette_;
    std::unique_ptr<ToolWindow> imageView_;
    ImageViewWindow* imageViewWindow_ = nullptr;
    PaletteWindow* paletteContent_ = nullptr;
    FileCommands* files_ = nullptr;
    AnimationCommands* operations_ = nullptr;
    EditCommands* edits_ = nullptr;
    // The widget of each window that had the focus before it went busy.
    QPointer<QWidget> keptFocus_[3];
};

} // namespace zell
