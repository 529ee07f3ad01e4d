// The image view playing a 100-frame 640 x 480 animation with 20 ms delays
// for five seconds on the offscreen platform: how late each frame change
// comes against its due time (the previous change plus the delay), and the
// process's CPU time as a share of the wall time.
//   QT_QPA_PLATFORM=offscreen zell_playback_bench
#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

#include "document/document.h"
#include "document/work_directory.h"
#include "image/dib.h"
#include "image/raster_image.h"
#include "ui/document_model.h"
#include "ui/image_view_window.h"

namespace {

using namespace zell;
using WallClock = std::chrono::steady_clock;

constexpr int kFrames = 100;
constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kDelayMs = 20;

// A bar of colour 1 that moves right frame by frame, on colour 0.
bool addFrame(Document& document, int i)
{
    const DibHeader h = makeDibHeader(kWidth, -kHeight, 8, 2);
    const uint64_t stride = dibStride(kWidth, 8);
    ByteBuffer dib;
    if (!dib.allocate(uint32_t(kDibHeaderSize + 8 + stride * kHeight)))
        return false;
    std::fill(dib.data(), dib.data() + dib.size(), uint8_t(0));
    writeDibHeader(dib.data(), h);
    uint8_t* table = dib.data() + kDibHeaderSize;
    table[0] = 200, table[4 + 1] = 255;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < 40; ++x)
            dib.data()[dibRowOffset(h, uint32_t(y)) + uint64_t((i * 6 + x) % kWidth)] = 1;
    auto frame = std::make_unique<Frame>();
    RasterImage picture;
    uint32_t transparent = 0xFFFF;
    if (!picture.setDib(dib.bytes()) || !document.workDirectory().newWorkFileName("gif", frame->workFile)
        || !picture.saveGif(frame->workFile.path(), 8, transparent))
        return false;
    frame->width = kWidth;
    frame->height = kHeight;
    frame->delay = kDelayMs / 10;
    frame->useLocalColorTable = 1;
    document.frames.insert(i, frame);
    return true;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[size_t(p * double(values.size() - 1) + 0.5)];
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    WorkDirectory work;
    Document document(work);
    document.settings.screenWidth = kWidth;
    document.settings.screenHeight = kHeight;
    for (int i = 0; i < kFrames; ++i) {
        if (!addFrame(document, i)) {
            std::fprintf(stderr, "cannot write frame %d\n", i);
            return 1;
        }
    }
    DocumentModel model(document);
    model.selectFrame(0);
    ImageViewWindow view(model);
    view.resize(700, 600);
    view.show();

    // Every frame change retitles the window with its counter.
    std::vector<WallClock::time_point> changes;
    changes.reserve(512);
    QObject::connect(&view, &QWidget::windowTitleChanged, [&] { changes.push_back(WallClock::now()); });
    QTimer::singleShot(5000, &app, &QApplication::quit);
    const std::clock_t cpu0 = std::clock();
    const auto wall0 = WallClock::now();
    changes.clear();
    view.togglePlay();
    app.exec();
    const double wall = std::chrono::duration<double>(WallClock::now() - wall0).count();
    const double cpu = double(std::clock() - cpu0) / CLOCKS_PER_SEC;
    view.togglePlay();

    std::vector<double> lateness;
    for (size_t i = 1; i < changes.size(); ++i)
        lateness.push_back(std::chrono::duration<double, std::milli>(changes[i] - changes[i - 1]).count() - kDelayMs);
    std::printf("frames shown: %zu in %.2f s (due: %d)\n", changes.size(), wall, int(wall * 1000 / kDelayMs));
    std::printf("lateness: median %.2f ms, 95th percentile %.2f ms, worst %.2f ms\n", percentile(lateness, 0.5),
                percentile(lateness, 0.95), lateness.empty() ? 0.0 : *std::max_element(lateness.begin(), lateness.end()));
    std::printf("cpu: %.2f s of %.2f s wall = %.1f %% of one core\n", cpu, wall, 100 * cpu / wall);
    return 0;
}
