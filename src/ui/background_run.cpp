#include "ui/background_run.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocale>
#include <QMetaObject>
#include <QObject>
#include <QProgressDialog>
#include <QSet>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <memory>
#include <utility>

#include "app/string_table.h"


namespace zell {
namespace {

BackgroundRunRecord record;

class ThreadProgress final : public Progress {
public:
    ThreadProgress(QObject* uiThreadObject, const std::function<void(const std::function<void()>&)>& wrap)
        : uiThreadObject_(uiThreadObject), wrap_(wrap)
    {
    }
    void report(int64_t done, int64_t total) override
    {
        total_.store(total);
        done_.store(done);
    }
    bool cancelled() override { return stop.load(); }
    void commit(const std::function<void()>& step) override
    {
        const auto onUiThread = [&] {
            if (wrap_)
                wrap_(step);
            else
                step();
        };
        if (QThread::currentThread() == uiThreadObject_->thread())
            onUiThread();
        else
            QMetaObject::invokeMethod(uiThreadObject_, onUiThread, Qt::BlockingQueuedConnection);
    }
    int64_t done() const { return done_.load(); }
    int64_t total() const { return total_.load(); }

    std::atomic<bool> stop{false};

private:
    QObject* uiThreadObject_;
    const std::function<void(const std::function<void()>&)>& wrap_;
    std::atomic<int64_t> done_{0};
    std::atomic<int64_t> total_{0};
};

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::NativeGesture:
        return true;
    default:
        return false;
    }
}

// The worker reads the document, so nothing on this thread may change it
// meanwhile: the windows on screen when the run began get no input at all.
// Windows opened since (the progress dialog, the question asked when the
// program is closed) are answered as usual; painting, timers and closing go
// on.
class InputBlock final : public QObject {
public:
    InputBlock()
    {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->isVisible())
                blocked_.insert(window);
        }
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~InputBlock() override { QCoreApplication::instance()->removeEventFilter(this); }
    InputBlock(const InputBlock&) = delete;
    InputBlock& operator=(const InputBlock&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!isUserInput(event->type()))
            return false;
        if (auto* widget = qobject_cast<QWidget*>(watched)) {
            if (!blocked_.contains(widget->window()))
                return false;
            // Refused, so that the drag shows it cannot drop here.
            if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove ||
                event->type() == QEvent::Drop)
                event->ignore();
            return true;
        }
        // An action's shortcut (the menu commands) has no window to judge it
        // by; other input on its way to a window is judged at its widget.
        return event->type() == QEvent::Shortcut;
    }

private:
    QSet<const QWidget*> blocked_;
};

// The run going on this thread, for stopBackgroundRun; a run started
// inside another (a question answered during it) hides the outer one until
// it ends.
struct Run {
    ThreadProgress& progress;
    QThread& worker;
    QObject& anchor;
    QTimer& poll;
    std::unique_ptr<QProgressDialog>& dialog;
    BackgroundRunRecord record;
};
Run* running = nullptr;

// The worker may be waiting for its commit step, which runs here.
void waitForWorker(Run& run)
{
    while (!run.worker.wait(20))
        QCoreApplication::sendPostedEvents(&run.anchor, QEvent::MetaCall);
}

QString countText(int64_t done, int64_t total, const QString& unit)
{
    if (total <= 0)
        return {};
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English);
    return QStringLiteral("%1 / %2 %3").arg(locale.toString(qlonglong(done)), locale.toString(qlonglong(total)), unit);
}

} // namespace

const BackgroundRunRecord& lastBackgroundRun()
{
    return record;
}

void stopBackgroundRun()
{
    if (!running)
        return;
    Run& run = *running;
    if (!run.worker.isFinished() && !run.progress.stop.exchange(true)) {
        run.record.cancelled = true;
        record = run.record;
    }
    run.poll.stop();
    run.dialog.reset();
    waitForWorker(run);
}

bool runInBackground(QWidget* owner, const QString& unit, const std::function<bool(Progress&)>& work,
                     const std::function<void(const std::function<void()>&)>& commit)
{
    record = {};
    InputBlock block;
    QObject anchor; // lives on this thread: the commit step is run through it
    ThreadProgress progress(&anchor, commit);
    bool result = false;
    std::unique_ptr<QThread> worker(QThread::create([&] { result = work(progress); }));
    QEventLoop loop;
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    std::unique_ptr<QProgressDialog> dialog;
    QElapsedTimer clock;
    QTimer poll;
    Run run{progress, *worker, anchor, poll, dialog, {}};
    Run* const outer = std::exchange(running, &run);
    poll.setInterval(50);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!dialog && clock.elapsed() >= kProgressDelayMs) {
            dialog = std::make_unique<QProgressDialog>(owner);
            dialog->setWindowModality(Qt::ApplicationModal);
            dialog->setMinimumDuration(0);
            dialog->setAutoReset(false);
            dialog->setAutoClose(false);
            dialog->show();
            run.record.dialogShown = true;
            record = run.record;
        }
        // Polled rather than signalled: cancel() as a slot emits nothing.
        if (dialog && dialog->wasCanceled() && !progress.stop.load()) {
            progress.stop.store(true);
            run.record.cancelled = true;
            record = run.record;
            dialog->setLabelText(loadText(Text::Stopping));
        }
        if (dialog && !progress.stop.load()) {
            const int64_t total = std::max<int64_t>(progress.total(), 1);
            const int64_t done = std::min(progress.done(), total);
            // The bar works in permille so that counts beyond int fit.
            dialog->setMaximum(1000);
            dialog->setValue(int(done * 1000 / total));
            dialog->setLabelText(countText(done, progress.total(), unit));
        }
    });
    clock.start();
    poll.start();
    worker->start();
    loop.exec();
    poll.stop();
    // Quitting the application ends this loop too; the run is then stopped,
    // and its commit step, should it come, still runs here.
    if (!worker->isFinished())
        progress.stop.store(true);
    waitForWorker(run);
    running = outer;
    // A run started meanwhile told of itself; this one is the last now.
    record = run.record;
    return result;
}

} // namespace zell
