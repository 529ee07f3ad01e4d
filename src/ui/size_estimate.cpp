#include "ui/size_estimate.h"

#include <QDialog>
#include <QLabel>
#include <QLocale>
#include <QVBoxLayout>

#include <memory>

#include "app/string_table.h"
#include "document/document.h"
#include "document/gif_export.h"

namespace zell {

namespace {

// Long enough to let a spin box's arrows settle, short enough to feel live.
constexpr int kSettleMs = 300;

} // namespace

class SizeEstimate::Stopper final : public Progress {
public:
    explicit Stopper(const std::atomic<bool>& stopping) : stopping_(stopping) {}
    bool cancelled() override { return stopping_.load(); }

private:
    const std::atomic<bool>& stopping_;
};

SizeEstimate::SizeEstimate(Measure measure, QWidget* parent)
    : QObject(parent), measure_(std::move(measure)), label_(new QLabel(parent))
{
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&settle_, &QTimer::timeout, this, &SizeEstimate::start);
}

SizeEstimate::~SizeEstimate()
{
    stop();
}

void SizeEstimate::request(uint32_t options)
{
    options_ = options;
    label_->setText(loadText(Text::SizeEstimating));
    settle_.start();
}

void SizeEstimate::stop()
{
    settle_.stop();
    stopping_ = true;
    if (worker_.joinable())
        worker_.join();
    stopping_ = false;
}

void SizeEstimate::start()
{
    stop();
    const uint32_t options = options_;
    worker_ = std::thread([this, options] {
        Stopper stopper(stopping_);
        uint64_t bytes = 0;
        const bool ok = measure_(options, bytes, stopper);
        if (stopper.cancelled())
            return;
        // Queued to this object's thread; dropped if it is gone by then.
        QMetaObject::invokeMethod(
            this,
            [this, ok, bytes, options] {
                if (options != options_ || settle_.isActive())
                    return; // a newer request is on its way
                label_->setText(ok ? QString::asprintf(loadText(Text::SizeEstimated).toUtf8().constData(),
                                                       QLocale().toString(qulonglong(bytes)).toUtf8().constData())
                                   : loadText(Text::SizeUnknown));
                emit measured(ok, bytes);
            },
            Qt::QueuedConnection);
    });
}

SizeEstimate* attachSizeEstimate(QDialog* dialog, QVBoxLayout* layout, SizeEstimate::Measure measure,
                                 std::function<uint32_t()> options)
{
    auto* estimate = new SizeEstimate(std::move(measure), dialog);
    layout->addWidget(estimate->label());
    QObject::connect(dialog, &QDialog::finished, estimate, &SizeEstimate::stop);
    estimate->request(options());
    return estimate;
}

SizeEstimate::Measure measureCopyOf(const Document& document, const GifOutput& output)
{
    struct Copy {
        FrameList frames;
        GifOutput output;
        ColorTable table;
    };
    auto copy = std::make_shared<Copy>();
    for (int i = 0; i < document.frames.count(); ++i) {
        auto frame = std::make_unique<Frame>(*document.frames.frameAt(i));
        copy->frames.insert(i, frame);
    }
    copy->output = output;
    if (output.globalTable) {
        copy->table = *output.globalTable;
        copy->output.globalTable = &copy->table;
    }
    return [copy](uint32_t options, uint64_t& bytes, Progress& progress) {
        GifOutput o = copy->output;
        o.options = options;
        return measureAnimatedGif(copy->frames, o, bytes, nullptr, &progress);
    };
}

} // namespace zell
