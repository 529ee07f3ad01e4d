#include "ui/file_commands.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QLocale>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "app/message_box.h"
#include "app/string_table.h"
#include "document/clip_import.h"
#include "document/file_import.h"
#include "document/palette_file.h"
#include "document/project_file.h"
#include "document/screen_composer.h"
#include "document/still_image.h"
#include "image/pixel_limit.h"
#include "image/mapped_file.h"
#include "image/neural_quantizer.h"
#include "image/raster_image.h"
#include "operations/size_fit.h"
#include "ui/background_run.h"
#include "ui/busy.h"
#include "ui/clip_import_dialog.h"
#include "ui/document_model.h"
#include "ui/optimize_options.h"
#include "ui/image_canvas.h"
#include "ui/thumbnail_cache.h"

namespace zell {
namespace {

constexpr int kPreviewSide = 160;

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// A text of the table with its %d and %s filled in, in order.
QString formatText(int id, int number)
{
    return QString::asprintf(loadText(id).toUtf8().constData(), number);
}

QString formatText(int id, const QString& text)
{
    return QString::asprintf(loadText(id).toUtf8().constData(), text.toUtf8().constData());
}

// The profile key is what a user can change, so the message names it.
QString pixelLimitText(uint32_t width, uint32_t height)
{
    return QString::asprintf(loadText(Text::PixelLimitFormat).toUtf8().constData(), int(width), int(height),
                             QByteArray::number(qulonglong(pixelLimit())).constData());
}

QString workFolderText(const WorkDirectory& work)
{
    QString folder = QString::fromStdString(work.path());
    if (folder.isEmpty())
        folder = QDir::tempPath();
    QString text = formatText(Text::WorkFolderFormat, QDir::toNativeSeparators(folder));
    if (work.lastError() != 0)
        text += QStringLiteral(" (%1)").arg(systemReason(work.lastError()));
    return text;
}

QString writeText(const std::string& path, int error)
{
    const QString folder = QFileInfo(QString::fromStdString(path)).absolutePath();
    QString text = formatText(Text::CannotWriteIntoFormat, QDir::toNativeSeparators(folder));
    if (error != 0)
        text += QStringLiteral(" (%1)").arg(systemReason(error));
    return text;
}

// Why a file or a command failed; `path` is the input it failed on, if any.
QString reasonText(Failure why, const Document& document, const std::string& path = {})
{
    uint32_t width = 0, height = 0;
    switch (why) {
    case Failure::cannotRead: return loadText(Text::CannotReadReason);
    case Failure::empty: return loadText(Text::EmptyFileReason);
    case Failure::fileTooLarge: return formatText(Text::FileTooLargeFormat, int(kMaxReadBytes >> 30));
    case Failure::changed: return loadText(Text::FileChangedReason);
    case Failure::notSupported: return loadText(Text::NotSupportedReason);
    case Failure::damaged: return loadText(Text::DamagedReason);
    case Failure::tooLarge:
        if ((!path.empty() && stillImageDimensions(path, width, height)) || exceedsPixelLimit(document, width, height))
            return pixelLimitText(width, height);
        return loadText(Text::PictureTooLargeReason);
    case Failure::noWorkDirectory: return workFolderText(document.workDirectory());
    case Failure::cannotWrite:
        if (document.workDirectory().lastError() != 0)
            return workFolderText(document.workDirectory());
        return loadText(Text::CannotWriteReason);
    case Failure::noFrames: return loadText(Text::NoFramesReason);
    case Failure::cancelled: return loadText(Text::CancelledReason);
    case Failure::tooManyFrames: return loadText(Text::TooManyFramesReason);
    case Failure::none: break;
    }
    return {};
}

// A failed file in the list of Text::UnsupportedFile, which already says
// "not supported or damaged"; any other reason is told beside the name.
QString failedFileLine(const QString& path, Failure why, const Document& document)
{
    if (why == Failure::notSupported || why == Failure::damaged || why == Failure::none)
        return path;
    return QStringLiteral("%1 (%2)").arg(path, reasonText(why, document, path.toStdString()));
}

Failure failureOf(ExportError error)
{
    switch (error) {
    case ExportError::None: return Failure::none;
    case ExportError::NoFrames: return Failure::noFrames;
    case ExportError::CannotCreate:
    case ExportError::WriteFailed: return Failure::cannotWrite;
    case ExportError::BadWorkFile:
    case ExportError::BadGlobalTable:
    case ExportError::OptimizeFailed: return Failure::damaged;
    case ExportError::TooLarge: return Failure::tooLarge;
    case ExportError::Cancelled: return Failure::cancelled;
    }
    return Failure::none;
}

// The count of the table a frame's picture uses; 0 when it cannot be read.
int frameTableCount(const Frame& frame)
{
    MappedFile file;
    ColorTable table;
    if (!frame.workFile.read(file) || !findGifColorTable(file.bytes(), false, table))
        return 0;
    return table.count;
}

QImage clipFrameImage(const ClipFrame& frame)
{
    if (frame.width == 0 || frame.height == 0 || frame.rgba.size() != size_t(frame.width) * frame.height * 4)
        return {};
    return QImage(frame.rgba.data(), int(frame.width), int(frame.height), int(frame.width * 4),
                  QImage::Format_RGBA8888)
        .copy();
}

// The clip's first frame, for a preview; null when it cannot be read.
QImage firstClipFrame(const std::string& path, ClipInfo* info = nullptr, Failure* why = nullptr)
{
    const std::unique_ptr<ClipSource> clip = openClip(path, why);
    if (!clip)
        return {};
    if (info)
        *info = clip->info();
    ClipFrame frame;
    return clip->next(frame) ? clipFrameImage(frame) : QImage();
}

} // namespace

QString fileDialogFilter(int textId)
{
    const QStringList parts = loadText(textId).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size() && !parts[i].isEmpty(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
    }
    return filters.join(QStringLiteral(";;"));
}

ImportOptionsPanel::ImportOptionsPanel(QWidget* parent) : QWidget(parent)
{
    auto* group = new QGroupBox(loadText(Text::InsertionMode), this);
    auto* groupLayout = new QVBoxLayout(group);
    for (int m = 0; m < 4; ++m) {
        modes_[m] = new QRadioButton(loadText(Text::InsertAtStart + m), group);
        groupLayout->addWidget(modes_[m]);
    }
    globalTable_ = new QCheckBox(loadText(Text::LoadGlobalTable), this);
    comment_ = new QCheckBox(loadText(Text::LoadComment), this);
    keepAlpha_ = new QCheckBox(loadText(Text::AlphaToTransparent), this);
    dither_ = new QCheckBox(loadText(Text::DitherManyColors), this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(group);
    layout->addWidget(globalTable_);
    layout->addWidget(comment_);
    layout->addWidget(keepAlpha_);
    layout->addWidget(dither_);
    setOptions(ImportOptions());
}

ImportOptions ImportOptionsPanel::options() const
{
    ImportOptions o;
    for (int m = 0; m < 4; ++m) {
        if (modes_[m]->isChecked())
            o.insertMode = m;
    }
    o.loadGlobalTable = globalTable_->isChecked();
    o.loadComment = comment_->isChecked();
    o.keepAlpha = keepAlpha_->isChecked();
    // Photos keep closer colours with a refined palette; dithering is a taste.
    o.stillColors = kNeuQuantRefine | (dither_->isChecked() ? uint32_t(kNeuQuantDither) : 0u);
    return o;
}

void ImportOptionsPanel::setOptions(const ImportOptions& options)
{
    modes_[std::clamp(options.insertMode, 0, 3)]->setChecked(true);
    globalTable_->setChecked(options.loadGlobalTable);
    comment_->setChecked(options.loadComment);
    keepAlpha_->setChecked(options.keepAlpha);
    dither_->setChecked(options.stillColors & kNeuQuantDither);
}

FileDialogHost::FileDialogHost(QWidget* parent, int filterId, bool save) : QDialog(parent)
{
    files_ = new QFileDialog(this, QString(), QString(), fileDialogFilter(filterId));
    files_->setWindowFlags(Qt::Widget);
    files_->setOption(QFileDialog::DontUseNativeDialog);
    files_->setOption(QFileDialog::ReadOnly, false);
    files_->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    files_->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFiles);
    connect(files_, &QFileDialog::accepted, this, [this] {
        chosen_ = files_->selectedFiles();
        accept();
    });
    connect(files_, &QFileDialog::rejected, this, &QDialog::reject);
    // Qt gives the size, type and date columns and the places a fixed room
    // that some languages' texts overflow; they take what they need and
    // the name gets the rest.
    if (auto* tree = files_->findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = tree->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        for (int c = 1; c < header->count(); ++c)
            header->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    }
    if (auto* places = files_->findChild<QListView*>(QStringLiteral("sidebar")))
        places->setMinimumWidth(places->sizeHintForColumn(0) + 2 * places->frameWidth() + 4);
}

void FileDialogHost::choose(const QStringList& files)
{
    chosen_ = files;
}

ImageOpenDialog::ImageOpenDialog(QWidget* parent, const QString& startDirectory, bool listEmpty)
    : FileDialogHost(parent, Text::OpenImagesFilter, false)
{
    setWindowTitle(loadText(Text::OpenImagesTitle));
    // The filters' names say what they hold; their patterns (every clip
    // extension among them) would make the list wider than a screen.
    files_->setOption(QFileDialog::HideNameFilterDetails);
    if (!startDirectory.isEmpty())
        files_->setDirectory(startDirectory);
    panel_ = new ImportOptionsPanel(this);
    ImportOptions defaults;
    defaults.loadGlobalTable = listEmpty;
    panel_->setOptions(defaults);
    previewOn_ = new QCheckBox(loadText(Text::ShowPreview), this);
    previewOn_->setChecked(true);
    preview_ = new QLabel(this);
    preview_->setFixedSize(kPreviewSide, kPreviewSide);
    preview_->setFrameShape(QFrame::StyledPanel);
    preview_->setAlignment(Qt::AlignCenter);

    auto* side = new QVBoxLayout;
    side->addWidget(panel_);
    side->addWidget(previewOn_);
    side->addWidget(preview_, 0, Qt::AlignHCenter);
    side->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(files_, 1);
    layout->addLayout(side);
    // Wide enough that the file list's sizes and the long filter are not
    // cut, however long the options beside them are in this language.
    int longest = 0;
    if (const auto* types = files_->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
        for (int i = 0; i < types->count(); ++i)
            longest = std::max(longest, types->fontMetrics().horizontalAdvance(types->itemText(i)));
    }
    const int filesWidth = std::max(600, longest + 260); // with the label, the arrow and Cancel
    int width = filesWidth + layout->spacing() + side->sizeHint().width() + 2 * layout->contentsMargins().left();
    // Never wider than the screen: the options beside the files must stay in view.
    if (const QScreen* where = screen())
        width = std::min(width, where->availableGeometry().width());
    resize(width, 520);
    connect(files_, &QFileDialog::currentChanged, this, &ImageOpenDialog::showPreview);
    connect(previewOn_, &QCheckBox::toggled, this, [this](bool on) {
        if (!on)
            preview_->clear();
    });
}

void ImageOpenDialog::showPreview(const QString& path)
{
    preview_->clear();
    if (!previewOn_->isChecked() || !QFileInfo(path).isFile())
        return;
    RasterImage picture;
    const std::string file = path.toStdString();
    if (isClipFile(file)) {
        const QImage first = firstClipFrame(file);
        if (!first.isNull())
            preview_->setPixmap(QPixmap::fromImage(
                first.scaled(kPreviewSide - 4, kPreviewSide - 4, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
        return;
    }
    if (loadStillPicture(file, picture) && picture.fitInto(kPreviewSide - 4, kPreviewSide - 4, true))
        preview_->setPixmap(QPixmap::fromImage(dibToImage(picture.image.bytes())));
}

SaveGifDialog::SaveGifDialog(QWidget* parent) : FileDialogHost(parent, Text::GifFilter, true)
{
    setWindowTitle(loadText(Text::SaveGifTitle));
    files_->setDefaultSuffix(QStringLiteral("gif"));
    files_->selectFile(QStringLiteral("zell"));
    optimize_ = new QCheckBox(loadText(Text::OptimizeOnSave), this);
    details_ = new OptimizeOptionsPanel(this);
    details_->setContentsMargins(24, 0, 0, 0);
    optimize_->setChecked(true);
    auto* panel = new QGroupBox(this);
    fitIn_ = new QCheckBox(loadText(Text::FitInSize), this);
    maxKilobytes_ = new QSpinBox(this);
    maxKilobytes_->setRange(1, 1 << 30);
    maxKilobytes_->setValue(1024);
    auto* limit = new QHBoxLayout;
    limit->setContentsMargins(24, 0, 0, 0);
    limit->addWidget(fitIn_);
    limit->addWidget(maxKilobytes_);
    limit->addStretch();
    panelLayout_ = new QVBoxLayout(panel);
    panelLayout_->addWidget(optimize_);
    panelLayout_->addWidget(details_);
    panelLayout_->addLayout(limit);
    connect(optimize_, &QCheckBox::toggled, this, &SaveGifDialog::updateLimit);
    connect(details_, &OptimizeOptionsPanel::changed, this, &SaveGifDialog::updateLimit);
    connect(fitIn_, &QCheckBox::toggled, this, &SaveGifDialog::updateLimit);
    updateLimit();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(files_, 1);
    layout->addWidget(panel);
    connect(optimize_, &QCheckBox::toggled, details_, &QWidget::setEnabled);
}

void SaveGifDialog::estimateSizes(SizeEstimate::Measure measure)
{
    estimate_ = attachSizeEstimate(this, panelLayout_, std::move(measure), [this] { return options(); });
    const auto remeasure = [this] { estimate_->request(options()); };
    connect(details_, &OptimizeOptionsPanel::changed, estimate_, remeasure);
    connect(optimize_, &QCheckBox::toggled, estimate_, remeasure);
}

// The limit is met by the lossy level, which only the lossless mode has;
// the level set by hand then gives way to the one the search finds.
void SaveGifDialog::updateLimit()
{
    const bool lossless = optimize_->isChecked() && (details_->options() & kSaveLosslessTransparency);
    fitIn_->setEnabled(lossless);
    maxKilobytes_->setEnabled(lossless && fitIn_->isChecked());
    details_->lossyLevel()->setEnabled(lossless && !fitIn_->isChecked());
}

uint64_t SaveGifDialog::maxBytes() const
{
    return maxKilobytes_->isEnabled() ? uint64_t(maxKilobytes_->value()) * 1024 : 0;
}

uint32_t SaveGifDialog::options() const
{
    return optimize_->isChecked() ? kSaveOptimize | details_->options() : 0u;
}

QCheckBox* SaveGifDialog::box(int control) const
{
    return control == Text::OptimizeOnSave ? optimize_ : control == Text::FitInSize ? fitIn_ : details_->box(control);
}

QRadioButton* SaveGifDialog::radio(int control) const
{
    return details_->radio(control);
}

LoadDialog::LoadDialog(QWidget* parent, const QString& path, const ImportOptions& options, bool moreFollow)
    : QDialog(parent)
{
    setWindowTitle(loadText(Text::OpenDroppedFileTitle));
    auto* name = new QLabel(QDir::toNativeSeparators(path), this);
    name->setTextInteractionFlags(Qt::TextSelectableByMouse);
    name->setWordWrap(true);
    panel_ = new ImportOptionsPanel(this);
    panel_->setOptions(options);
    useForAll_ = new QCheckBox(loadText(Text::UseForOtherDrops), this);
    useForAll_->setVisible(moreFollow);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(loadText(Text::Ok), QDialogButtonBox::AcceptRole);
    buttons->addButton(loadText(Text::Cancel), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(name);
    layout->addWidget(panel_);
    layout->addWidget(useForAll_);
    layout->addWidget(buttons);
}

FileCommands::FileCommands(DocumentModel& document, QWidget* owner)
    : QObject(owner), document_(document), owner_(owner)
{
    openInViewer = [](const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
}

void FileCommands::failed(Failure why, const QString& detail)
{
    QString text = loadText(Text::OperationFailed);
    if (const QString reason = detail.isEmpty() ? reasonText(why, document_.document()) : detail; !reason.isEmpty())
        text += QStringLiteral("\n(%1)").arg(reason);
    showPlainMessage(owner_, text, loadText(Text::ErrorCaption), MessageStyle::OkInfo);
}

void FileCommands::failedExport(ExportError error, const std::string& path, int systemError)
{
    if (error == ExportError::CannotCreate || error == ExportError::WriteFailed)
        failed(Failure::cannotWrite, writeText(path, systemError));
    else
        failed(failureOf(error));
}

void FileCommands::reportFailed(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    QString text = loadText(Text::UnsupportedFile);
    text.replace(QStringLiteral("%s"), paths.join(QLatin1Char('\n')));
    showPlainMessage(owner_, text, loadText(Text::UnsupportedFileCaption), MessageStyle::OkExclamation);
}

bool FileCommands::runOpenDialog(const QString& startDirectory, bool listEmpty, Collected& collected, bool& replaced)
{
    ImageOpenDialog dialog(owner_, startDirectory, listEmpty);
    if (prompter().runDialog(dialog) != QDialog::Accepted || dialog.chosenFiles().isEmpty())
        return false;
    ImportOptions options = dialog.panel()->options();
    if (options.insertMode == kReplaceAll && replaced)
        options.insertMode = kInsertAtEnd;
    replaced = replaced || options.insertMode == kReplaceAll;
    std::vector<std::string> paths;
    QStringList clips;
    for (const QString& p : dialog.chosenFiles()) {
        if (isClipFile(p.toStdString()))
            clips << p;
        else
            paths.push_back(p.toStdString());
    }
    // The engine grows the screen, collects the comments and clears the list
    // for the replacing mode; a cancelled import adds nothing.
    if (!paths.empty()) {
        // Not while a clip's panel is open: that waits for the user.
        WaitCursor wait;
        std::vector<std::string> bad;
        std::vector<Failure> reasons;
        document_.run(
            loadText(Text::FilesUnit),
            [&](Document& d, Progress& p) {
                importFiles(d, paths, options, bad, &reasons, nullptr, &p);
                return true;
            },
            Text::EditMenu);
        if (lastBackgroundRun().cancelled)
            return false;
        for (size_t i = 0; i < bad.size(); ++i)
            collected.failed << failedFileLine(QString::fromStdString(bad[i]), reasons[i], document_.document());
    } else if (options.insertMode == kReplaceAll && !clips.isEmpty()) {
        document_.removeAll();
    }
    // Clips come after the pictures, each with its own panel.
    for (const QString& clip : clips) {
        bool declined = false;
        const Failure why = openClipFile(clip, declined);
        if (why == Failure::cancelled)
            return true;
        if (why != Failure::none)
            collected.failed << failedFileLine(clip, why, document_.document());
    }
    return true;
}

Failure FileCommands::openClipFile(const QString& path, bool& declined)
{
    declined = false;
    const std::string file = path.toStdString();
    ClipInfo info;
    Failure why = Failure::none;
    QImage first;
    {
        WaitCursor wait;
        first = firstClipFrame(file, &info, &why);
    }
    if (first.isNull())
        return why == Failure::none ? Failure::damaged : why;
    ClipImportDialog dialog(owner_, path, info, first);
    if (prompter().runDialog(dialog) != QDialog::Accepted) {
        declined = true;
        return Failure::none;
    }
    const ClipOptions options = dialog.options();
    WaitCursor wait;
    const bool ok = document_.run(
        loadText(Text::FramesUnit),
        [&](Document& d, Progress& p) { return importClip(d, file, options, &why, &p); }, Text::EditMenu);
    if (ok)
        return Failure::none;
    if (lastBackgroundRun().cancelled)
        return Failure::cancelled;
    return why == Failure::none ? Failure::damaged : why;
}

void FileCommands::open(const QString& startDirectory)
{
    const DocumentModel::EditStep step(document_, Text::OpenImagesCommand);
    Collected collected;
    bool replaced = false;
    if (!runOpenDialog(startDirectory, document_.frameCount() == 0, collected, replaced))
        return;
    emit framesOpened();
    reportFailed(collected.failed);
}

static bool isProjectName(const QString& path)
{
    return path.endsWith(QStringLiteral(".zpj"), Qt::CaseInsensitive);
}

void FileCommands::openDropped(const QStringList& paths)
{
    QStringList sorted = paths;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const QString& a, const QString& b) { return a.toUtf8() < b.toUtf8(); });
    // Every file of the drop, the questions between them, is one step.
    std::optional<DocumentModel::EditStep> step;
    step.emplace(document_, Text::OpenImagesCommand);
    const bool listEmpty = document_.frameCount() == 0;
    ImportOptions options;
    options.loadGlobalTable = listEmpty;
    bool useForAll = false, replaced = false, globalTableOpen = true, opened = false;
    Collected collected;
    // Told at once, or all together at the end once the user said "for all".
    const auto failedFile = [&](const QString& path, Failure why) {
        const QString line = failedFileLine(path, why, document_.document());
        if (useForAll)
            collected.failed << line;
        else
            reportFailed({line});
    };
    for (qsizetype i = 0; i < sorted.size(); ++i) {
        const QString& path = sorted[i];
        if (QFileInfo(path).isDir()) {
            opened = runOpenDialog(path, document_.frameCount() == 0, collected, replaced) || opened;
            continue;
        }
        // A project is a whole document, not frames to insert: it opens as
        // the project command opens it, without the load dialog.
        if (isProjectName(path)) {
            // Not answered, or not saved: the drop ends here, as when the
            // load is cancelled.
            if (!offerToSave())
                break;
            opened = true;
            Failure why = Failure::none;
            bool ok = false;
            {
                // A project replaces the whole document and the history with
                // it: the drop's step ends before it and goes on after it.
                step.reset();
                const DocumentModel::BusyScope busy(document_);
                ok = openProjectFile(path, &why);
                step.emplace(document_, Text::OpenImagesCommand);
            }
            if (why == Failure::cancelled)
                break;
            if (!ok)
                failedFile(path, why);
            continue;
        }
        // A clip has its own panel; the load dialog's choices are for pictures.
        if (isClipFile(path.toStdString())) {
            bool declined = false;
            const Failure why = openClipFile(path, declined);
            if (why == Failure::cancelled)
                break;
            if (declined)
                continue;
            opened = true;
            if (why != Failure::none)
                failedFile(path, why);
            continue;
        }
        if (!useForAll) {
            LoadDialog dialog(owner_, path, options, i + 1 < sorted.size());
            const bool ok = prompter().runDialog(dialog) == QDialog::Accepted;
            const bool forAll = dialog.useForAllBox()->isChecked() && i + 1 < sorted.size();
            if (!ok) {
                if (forAll)
                    break;
                continue;
            }
            options = dialog.panel()->options();
            useForAll = forAll;
        }
        ImportOptions each = options;
        if (each.insertMode == kReplaceAll) {
            if (!replaced)
                document_.removeAll();
            replaced = true;
            each.insertMode = options.insertMode = kInsertAtEnd;
        }
        WaitCursor wait;
        uint16_t width = 0, height = 0;
        std::string comment;
        Failure why = Failure::none;
        const std::string file = path.toStdString();
        const bool ok = document_.run(
            loadText(Text::BytesUnit),
            [&](Document& d, Progress& p) {
                return importImageFile(d, file, each, globalTableOpen, width, height, comment, &why, nullptr, &p);
            },
            Text::EditMenu);
        if (why == Failure::cancelled)
            break; // Cancel ends the whole drop; the files already in stay
        opened = true;
        if (!ok) {
            failedFile(path, why);
            continue;
        }
        collected.width = std::max(collected.width, width);
        collected.height = std::max(collected.height, height);
        if (!comment.empty())
            collected.comments << QString::fromStdString(comment);
    }
    finish(collected);
    if (opened)
        emit framesOpened();
    reportFailed(collected.failed);
}

void FileCommands::finish(const Collected& collected)
{
    document_.editSettings([&](GifSettings& s) {
        s.screenWidth = std::max(s.screenWidth, collected.width);
        s.screenHeight = std::max(s.screenHeight, collected.height);
        if (!collected.comments.isEmpty()) {
            s.comment = collected.comments.join(QStringLiteral("\r\n")).toStdString();
            s.saveComment = true;
        }
    });
}

bool FileCommands::collectGifSettings(GifOutput& output, bool withComment)
{
    const GifSettings& s = document_.settings();
    bool checkBounds = true;
    for (int i = 0; i < document_.frameCount(); ++i) {
        const Frame& f = *document_.frameAt(i);
        if (checkBounds && (uint32_t(f.left) + f.width > s.screenWidth || uint32_t(f.top) + f.height > s.screenHeight)) {
            if (showMessage(owner_, Text::ConfirmOutsideScreen, Text::ConfirmOutsideScreenCaption,
                            MessageStyle::YesNoInfo) != kIdYes) {
                emit selectRow(i);
                return false;
            }
            checkBounds = false;
        }
        if (!f.useLocalColorTable && frameTableCount(f) > s.globalColorTable.count) {
            showMessage(owner_, Text::GlobalTableTooSmall, Text::GlobalTableTooSmallCaption, MessageStyle::OkInfo);
            emit selectRow(i);
            return false;
        }
    }
    output = GifOutput::fromSettings(s, 0);
    if (!withComment)
        output.comment.clear();
    return true;
}

void FileCommands::save()
{
    GifOutput output;
    if (document_.frameCount() == 0 || !collectGifSettings(output, true))
        return;
    const DocumentModel::BusyScope busy(document_);
    SaveGifDialog dialog(owner_);
    dialog.estimateSizes(measureCopyOf(document_.document(), output));
    if (prompter().runDialog(dialog) != QDialog::Accepted || dialog.chosenFiles().isEmpty())
        return;
    WaitCursor wait;
    output.options = dialog.options();
    const uint64_t maxBytes = dialog.maxBytes();
    ExportError error = ExportError::None;
    int systemError = 0;
    SizeFit fit;
    // Fewer colours, when the limit needs them, are written from a copy:
    // the document the user edits keeps its own.
    Document reduced(document_.document().workDirectory());
    const std::string path = dialog.chosenFiles().front().toStdString();
    const bool ok = document_.runReading(loadText(Text::FramesUnit), [&](const Document& d, Progress& p) {
        const FrameList* frames = &d.frames;
        if (maxBytes) {
            if (!fitToSize(d, maxBytes, output.options, fit, reduced, &error, &p))
                return false;
            output.options = fit.options;
            if (fit.colors) {
                output = GifOutput::fromSettings(reduced.settings, fit.options);
                frames = &reduced.frames;
            }
        }
        const bool written = writeAnimatedGif(path, *frames, output, &error, &p);
        systemError = errno;
        return written;
    });
    const QLocale locale;
    const auto number = [&](uint64_t n) { return locale.toString(qulonglong(n)).toUtf8(); };
    if (ok) {
        document_.markSaved(); // the work is safe in the GIF
        if (maxBytes) {
            const QString said = fit.colors
                ? QString::asprintf(loadText(Text::SizeReachedColors).toUtf8().constData(), fit.colors, fit.level,
                                    number(fit.bytes).constData())
                : QString::asprintf(loadText(Text::SizeReached).toUtf8().constData(), fit.level,
                                    number(fit.bytes).constData());
            showPlainMessage(owner_, said, loadText(Text::SaveGifTitle), MessageStyle::OkInfo);
        }
    } else if (maxBytes && error == ExportError::None) {
        showPlainMessage(owner_,
                         QString::asprintf(loadText(Text::SizeNotReached).toUtf8().constData(),
                                           number(maxBytes).constData(), number(fit.lossiest).constData()),
                         loadText(Text::SaveGifTitle), MessageStyle::OkExclamation);
    } else if (error != ExportError::Cancelled) {
        failedExport(error, path, systemError);
    }
}

void FileCommands::openProject()
{
    if (!offerToSave())
        return;
    const DocumentModel::BusyScope busy(document_);
    QFileDialog dialog(owner_, QString(), QString(), fileDialogFilter(Text::ProjectFilter));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("zpj"));
    dialog.selectFile(projectTitle_);
    if (prompter().runDialog(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    Failure why = Failure::none;
    if (!openProjectFile(dialog.selectedFiles().front(), &why)) {
        if (why != Failure::cancelled)
            failed(why);
        return;
    }
    emit framesOpened();
}

bool FileCommands::openProjectFile(const QString& path, Failure* why)
{
    WaitCursor wait;
    Failure reason = Failure::none;
    const std::string file = path.toStdString();
    const bool ok = document_.run(
        loadText(Text::FramesUnit), [&](Document& d, Progress& p) { return zell::openProject(d, file, &reason, &p); },
        Text::OpenProjectCommand);
    if (why)
        *why = reason;
    if (!ok)
        return false;
    // The project replaced the document: nothing before it can come back.
    document_.clearHistory();
    setProjectPath(path);
    return true;
}

void FileCommands::setProjectPath(const QString& path)
{
    projectPath_ = path;
    projectTitle_ = QFileInfo(path).completeBaseName();
    emit projectPathChanged();
}

bool FileCommands::offerToSave()
{
    if (!document_.history().modified())
        return true;
    const int answer = showMessage(owner_, Text::SaveChangesQuestion, Text::SaveChangesQuestionCaption,
                                   MessageStyle::SaveDiscardCancel);
    if (answer == kIdNo)
        return true;
    if (answer != kIdYes)
        return false;
    if (projectPath_.isEmpty())
        return saveProject();
    const DocumentModel::BusyScope busy(document_);
    return saveProjectTo(projectPath_);
}

bool FileCommands::saveProject()
{
    const DocumentModel::BusyScope busy(document_);
    QFileDialog dialog(owner_, QString(), QString(), fileDialogFilter(Text::ProjectFilter));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("zpj"));
    dialog.selectFile(projectTitle_);
    if (prompter().runDialog(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    return saveProjectTo(dialog.selectedFiles().front());
}

// The document then belongs to the file it was saved to: later questions
// save there, and the main window names it.
bool FileCommands::saveProjectTo(const QString& path)
{
    WaitCursor wait;
    Failure why = Failure::none;
    const std::string file = path.toStdString();
    const bool ok = document_.runReading(
        loadText(Text::FramesUnit), [&](const Document& d, Progress& p) { return zell::saveProject(d, file, &why, &p); });
    if (!ok) {
        if (why != Failure::cancelled)
            failed(why);
        return false;
    }
    document_.markSaved();
    setProjectPath(path);
    return true;
}

void FileCommands::preview()
{
    if (document_.frameCount() == 0)
        return;
    WaitCursor wait;
    GifOutput output;
    if (!collectGifSettings(output, false))
        return;
    if (!previewPath_.empty()) {
        std::remove(previewPath_.c_str());
        previewPath_.clear();
    }
    std::string path;
    if (!document_.document().workDirectory().newWorkFileName("gif", path)) {
        failed(Failure::noWorkDirectory);
        return;
    }
    ExportError error = ExportError::None;
    int systemError = 0;
    if (!document_.runReading(loadText(Text::FramesUnit), [&](const Document& d, Progress& p) {
            const bool written = writeAnimatedGif(path, d.frames, output, &error, &p);
            systemError = errno;
            return written;
        })) {
        if (error != ExportError::Cancelled)
            failedExport(error, path, systemError);
        return;
    }
    previewPath_ = path;
    if (openInViewer)
        openInViewer(QString::fromStdString(path));
}

} // namespace zell
