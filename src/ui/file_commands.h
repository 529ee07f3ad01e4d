// The main window's file commands: open images (dialog with its option panel
// and preview), dropped and command-line files (the load dialog; a clip gets
// its own panel wherever it comes from), save the
// GIF (dialog with the optimisation panel), project open and save, and the
// preview in the desktop's viewer. Every dialog runs through the Prompter.
#pragma once

#include <QDialog>
#include <QObject>
#include <QStringList>

#include <functional>
#include <string>

#include "document/gif_export.h"
#include "document/gif_import.h"
#include "ui/size_estimate.h"

class QButtonGroup;
class QCheckBox;
class QFileDialog;
class QLabel;
class QRadioButton;
class QSpinBox;
class QVBoxLayout;

namespace zell {

class DocumentModel;
class OptimizeOptionsPanel;

// A filter of the string table ("name|patterns|...||") as Qt wants it.
QString fileDialogFilter(int textId);

// Insertion mode and the load options (in the open dialog and when a file
// is dropped).
class ImportOptionsPanel final : public QWidget {
    Q_OBJECT
public:
    explicit ImportOptionsPanel(QWidget* parent = nullptr);
    ImportOptions options() const;
    void setOptions(const ImportOptions& options);
    QRadioButton* modeButton(int mode) const { return modes_[mode]; }
    QCheckBox* globalTableBox() const { return globalTable_; }
    QCheckBox* commentBox() const { return comment_; }
    QCheckBox* keepAlphaBox() const { return keepAlpha_; }
    QCheckBox* ditherBox() const { return dither_; }

private:
    QRadioButton* modes_[4];
    QCheckBox* globalTable_;
    QCheckBox* comment_;
    QCheckBox* keepAlpha_;
    QCheckBox* dither_;
};

// A file dialog inside a dialog of ours, so that our panel sits beside it.
class FileDialogHost : public QDialog {
    Q_OBJECT
public:
    FileDialogHost(QWidget* parent, int filterId, bool save);
    QFileDialog* files() const { return files_; }
    // The files the user took; a script may name them directly.
    QStringList chosenFiles() const { return chosen_; }
    void choose(const QStringList& files);

protected:
    QFileDialog* files_;
    QStringList chosen_;
};

// The open dialog: several images, the options and a preview of the file
// under the cursor.
class ImageOpenDialog final : public FileDialogHost {
    Q_OBJECT
public:
    ImageOpenDialog(QWidget* parent, const QString& startDirectory, bool listEmpty);
    ImportOptionsPanel* panel() const { return panel_; }
    QCheckBox* previewBox() const { return previewOn_; }
    QLabel* preview() const { return preview_; }
    void showPreview(const QString& path);

private:
    ImportOptionsPanel* panel_;
    QCheckBox* previewOn_;
    QLabel* preview_;
};

// The save dialog: the name of the GIF and the optimisation bits.
class SaveGifDialog final : public FileDialogHost {
    Q_OBJECT
public:
    explicit SaveGifDialog(QWidget* parent);
    uint32_t options() const;
    QCheckBox* box(int control) const;
    QRadioButton* radio(int control) const;

    // Shows the size of the GIF the chosen options would give, measured
    // in the background as they change.
    void estimateSizes(SizeEstimate::Measure measure);
    SizeEstimate* estimate() const { return estimate_; }
    // The size the file must fit in (0 for no limit): the lossless mode
    // then picks the lowest lossy level that gets there.
    uint64_t maxBytes() const;
    QSpinBox* maxKilobytes() const { return maxKilobytes_; }

private:
    void updateLimit();

    QCheckBox* fitIn_;
    QSpinBox* maxKilobytes_;
    QCheckBox* optimize_;
    OptimizeOptionsPanel* details_;
    QVBoxLayout* panelLayout_;
    SizeEstimate* estimate_ = nullptr;
};

// How to load one dropped file.
class LoadDialog final : public QDialog {
    Q_OBJECT
public:
    LoadDialog(QWidget* parent, const QString& path, const ImportOptions& options, bool moreFollow);
    ImportOptionsPanel* panel() const { return panel_; }
    QCheckBox* useForAllBox() const { return useForAll_; }

private:
    ImportOptionsPanel* panel_;
    QCheckBox* useForAll_;
};

class FileCommands final : public QObject {
    Q_OBJECT
public:
    FileCommands(DocumentModel& document, QWidget* owner);

    void open(const QString& startDirectory = {});
    // Dropped names and command-line files: sorted, each through the load
    // dialog (or the open dialog for a folder).
    void openDropped(const QStringList& paths);
    void save();
    void openProject();
    // Asks for the project file (its name preset) and saves; true when saved.
    bool saveProject();
    void preview();
    // Before a changed document is replaced or discarded: asks whether to
    // save the project first. True when the caller may go on: nothing was
    // changed, the user discarded the changes, or the save succeeded.
    bool offerToSave();
    // The checks before writing: a frame beyond the screen (asked once) and a
    // global table too small for a frame; `output` for the writer.
    bool collectGifSettings(GifOutput& output, bool withComment);

    QString projectTitle() const { return projectTitle_; }
    // The project file the document was last opened from or saved to; empty
    // before either.
    QString projectPath() const { return projectPath_; }
    QString previewPath() const { return QString::fromStdString(previewPath_); }
    // Where previews are opened; tests replace the desktop's viewer.
    std::function<bool(const QString&)> openInViewer;

signals:
    // The frames changed; the list selects a row.
    void framesOpened();
    // A check found this frame at fault; the list selects it alone.
    void selectRow(int row);
    // The document now belongs to another project file.
    void projectPathChanged();

private:
    struct Collected {
        uint16_t width = 0;
        uint16_t height = 0;
        QStringList comments;
        QStringList failed;
    };
    bool runOpenDialog(const QString& startDirectory, bool listEmpty, Collected& collected, bool& replaced);
    void finish(const Collected& collected);
    void reportFailed(const QStringList& failed);
    // Text::OperationFailed with the reason: `detail`, or else what `why` says.
    void failed(Failure why = Failure::none, const QString& detail = {});
    void failedExport(ExportError error, const std::string& path, int systemError);
    bool openProjectFile(const QString& path, Failure* why = nullptr);
    // A clip through its panel and then one import run: Failure::none when
    // its frames came in, Failure::cancelled when the run was stopped; with
    // `declined` set the user closed the panel and nothing was tried.
    Failure openClipFile(const QString& path, bool& declined);
    bool saveProjectTo(const QString& path);
    void setProjectPath(const QString& path);

    DocumentModel& document_;
    QWidget* owner_;
    QString projectTitle_ = QStringLiteral("zell");
    QString projectPath_;
    std::string previewPath_;
};

} // namespace zell
