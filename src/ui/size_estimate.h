// The size a GIF would have with a dialog's current settings, measured on a
// worker thread so that the figure follows every change while the dialog
// stays responsive. A newer request stops the one running: only the size
// for the settings shown is worth finishing.
#pragma once

#include <QObject>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include "document/progress.h"

class QDialog;
class QLabel;
class QVBoxLayout;
class QWidget;

namespace zell {

class Document;
struct GifOutput;

class SizeEstimate final : public QObject {
    Q_OBJECT
public:
    // Runs on the worker, one call at a time; it may use only what it
    // captured, never the live document. False: no size.
    using Measure = std::function<bool(uint32_t options, uint64_t& bytes, Progress& progress)>;

    SizeEstimate(Measure measure, QWidget* parent);
    ~SizeEstimate() override;

    QLabel* label() const { return label_; }
    // Measures with `options` once the settings have rested for a moment.
    void request(uint32_t options);
    // Stops the measuring and returns when the worker has ended.
    void stop();

signals:
    // The size for the options last requested; `ok` false when it failed.
    void measured(bool ok, quint64 bytes);

private:
    class Stopper;
    void start();

    Measure measure_;
    QLabel* label_;
    QTimer settle_;
    uint32_t options_ = 0;
    std::thread worker_;
    std::atomic<bool> stopping_{false};
};

// An estimate under `layout` in `dialog`, measured now with `options()`
// (callers request again as settings change); it stops when the dialog is
// done, so that what follows need not share the machine with a measure.
SizeEstimate* attachSizeEstimate(QDialog* dialog, QVBoxLayout* layout, SizeEstimate::Measure measure,
                                 std::function<uint32_t()> options);

// A Measure over a copy of the document's frames and `output` (the global
// table copied too): the export's size with the options requested.
SizeEstimate::Measure measureCopyOf(const Document& document, const GifOutput& output);

} // namespace zell
