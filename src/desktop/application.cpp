#include "desktop/application.h"

#include <QApplication>
#include <QIcon>
#include <QLocale>
#include <QFileInfo>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <functional>
#include <memory>

#include "app/language.h"
#include "app/profile.h"
#include "app/qt_translation.h"
#include "app/string_table.h"
#include "document/document.h"
#include "document/palette_file.h"
#include "document/work_directory.h"
#include "image/pixel_limit.h"
#include "image/random.h"
#include "ui/document_model.h"
#include "ui/main_window.h"

namespace zell {
namespace {

// Runs `then` once, when `window` is first on the screen: only then does
// the window manager's frame around it show, by which the tool windows are
// placed.
class WhenExposed final : public QObject {
public:
    WhenExposed(QWindow* window, std::function<void()> then) : QObject(window), then_(std::move(then))
    {
        window->installEventFilter(this);
        // Late rather than never should no window manager ever show it.
        QTimer::singleShot(window->isExposed() ? 0 : kLongestWaitMs, this, [this] { run(); });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed())
            QTimer::singleShot(0, this, [this] { run(); });
        return false;
    }

private:
    static constexpr int kLongestWaitMs = 3000;

    void run()
    {
        if (!then_)
            return;
        auto then = std::move(then_);
        then_ = nullptr;
        then();
        deleteLater();
    }

    std::function<void()> then_;
};

} // namespace

int Application::run(const QStringList& files, const std::string& language)
{
    Profile profile(Profile::defaultPath());
    const Language interfaceLanguage = startLanguage(profile, language);
    setTextLanguage(interfaceLanguage);
    removeStaleWorkDirectories();
    // A profile may raise (or lower) the limit on what is decoded and composed.
    if (const int maxPixels = profile.readInt("System", "MaxPixels", 0); maxPixels > 0)
        setPixelLimit(uint64_t(maxPixels));
    const std::string libraryPath = stringLibraryPath(programDirectory());
    loadStringLibrary(profile, libraryPath);
    seedProcessRandomFromClock();
    // Qt's buttons and dialogs in the program's language, and dates and
    // numbers in its manner unless the locale already speaks it.
    loadQtTranslation(QString::fromLatin1(languageCode(interfaceLanguage)));
    const QLocale::Language qtLanguage = interfaceLanguage == Language::Japanese ? QLocale::Japanese : QLocale::English;
    if (QLocale().language() != qtLanguage)
        QLocale::setDefault(QLocale(qtLanguage, interfaceLanguage == Language::Japanese ? QLocale::Japan
                                                                                        : QLocale::UnitedStates));
    // The main window decides when the program ends, not the last window.
    QApplication::setQuitOnLastWindowClosed(false);
    QIcon icon;
    for (int size : {16, 32, 48, 128})
        icon.addFile(QStringLiteral(":/icons/zell-%1.png").arg(size));
    QApplication::setWindowIcon(icon);
    int status = 0;
    {
        Document document;
        seedGlobalTable(document.settings.globalColorTable, programDirectory() + "gct.tmp");
        DocumentModel model(document);
        // How many steps undo keeps (100 unless the profile says otherwise).
        if (const int steps = profile.readInt("System", "UndoSteps", 0); steps > 0)
            model.setUndoLimit(size_t(steps));
        MainWindow window(model, profile, libraryPath);
        // Centred, clear of the tool windows' default corners.
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect place(QPoint(), window.size());
            place.moveCenter(screen->availableGeometry().center());
            window.move(place.topLeft());
        }
        window.show();
        new WhenExposed(window.windowHandle(), [&window, files] {
            window.restoreToolWindowPlacement();
            // Existing files and folders by their full paths; a folder shows
            // the Open dialog there, as a dropped one does.
            QStringList existing;
            for (const QString& f : files) {
                if (QFileInfo::exists(f))
                    existing << QFileInfo(f).absoluteFilePath();
            }
            std::stable_sort(existing.begin(), existing.end(),
                             [](const QString& a, const QString& b) { return a.toUtf8() < b.toUtf8(); });
            if (!existing.isEmpty())
                window.openFiles(existing);
        });
        // exit, not quit: quit would close every window again, asking again.
        QObject::connect(
            &window, &MainWindow::closed, qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
        status = QApplication::exec();
    }
    // The frames went with the document; now the files they leave behind.
    WorkDirectory::process().cleanUp("*");
    freeStringLibrary();
    return status;
}

} // namespace zell
