// The frame list with a long document: filling the view, selecting all,
// applying a delay to every frame, moving a selection of every other frame
// to the top and undoing a delete of half the frames. Each must stay linear
// in the frame count:
//   zell_ui_bench --benchmark_filter=frames
#include <benchmark/benchmark.h>

#include <QApplication>

#include <memory>

#include "document/document.h"
#include "document/work_directory.h"
#include "ui/document_model.h"
#include "ui/frame_list_model.h"
#include "ui/frame_list_view.h"

namespace {

using namespace zell;

struct Fixture {
    explicit Fixture(int n) : document(work), model(document)
    {
        for (int i = 0; i < n; ++i) {
            auto frame = std::make_unique<Frame>();
            frame->name = "frame" + std::to_string(i);
            frame->width = 320;
            frame->height = 240;
            frame->delay = uint16_t(i);
            document.frames.insert(i, frame);
        }
        model.clearHistory();
    }
    WorkDirectory work;
    Document document;
    DocumentModel model;
};

std::unique_ptr<FrameListView> shownView(Fixture& f)
{
    auto view = std::make_unique<FrameListView>(f.model);
    view->resize(640, 480);
    view->show();
    view->grab(); // lays out and paints the visible rows
    return view;
}

void fillList(benchmark::State& state)
{
    Fixture f(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(shownView(f).get());
    state.SetComplexityN(state.range(0));
}

void selectAll(benchmark::State& state)
{
    Fixture f(int(state.range(0)));
    auto view = shownView(f);
    view->select(0);
    for (auto _ : state) {
        view->selectAll();
        state.PauseTiming();
        view->select(0);
        state.ResumeTiming();
    }
    state.SetComplexityN(state.range(0));
}

void applyDelayToAll(benchmark::State& state)
{
    Fixture f(int(state.range(0)));
    auto view = shownView(f);
    view->select(1);
    for (auto _ : state) {
        f.model.applyToAll(kApplyDelay);
        view->grab();
    }
    state.SetComplexityN(state.range(0));
}

void moveSelectionToTop(benchmark::State& state)
{
    const int n = int(state.range(0));
    Fixture f(n);
    auto view = shownView(f);
    for (auto _ : state) {
        state.PauseTiming();
        view->clearSelection();
        {
            QItemSelection every; // its ranges hold persistent indexes: gone before timing
            for (int r = 1; r < n; r += 2)
                every.select(f.model.listModel().index(r, 0), f.model.listModel().index(r, kColumnCount - 1));
            view->selectionModel()->select(every, QItemSelectionModel::Select);
        }
        view->selectionModel()->setCurrentIndex(f.model.listModel().index(n - 1, 0), QItemSelectionModel::NoUpdate);
        f.model.selectFrame(n - 1);
        state.ResumeTiming();
        view->moveSelection(FrameListView::kMoveToTop);
        view->grab();
    }
    state.SetComplexityN(state.range(0));
}

// Half the frames, from the first quarter on, deleted and brought back.
void undoDeleteOfHalf(benchmark::State& state)
{
    const int n = int(state.range(0));
    Fixture f(n);
    auto view = shownView(f);
    for (auto _ : state) {
        state.PauseTiming();
        view->clearSelection();
        view->selectionModel()->select(QItemSelection(f.model.listModel().index(n / 4, 0),
                                                      f.model.listModel().index(n / 4 + n / 2 - 1, kColumnCount - 1)),
                                       QItemSelectionModel::Select);
        view->deleteSelection();
        state.ResumeTiming();
        f.model.undo();
        view->grab();
    }
    state.counters["frames"] = double(f.model.frameCount());
    state.SetComplexityN(state.range(0));
}

BENCHMARK(fillList)->Name("fill_list/frames/zell")->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity();
BENCHMARK(selectAll)->Name("select_all/frames/zell")->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity();
BENCHMARK(applyDelayToAll)->Name("apply_delay/frames/zell")->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity();
BENCHMARK(moveSelectionToTop)->Name("move_to_top/frames/zell")->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity();
BENCHMARK(undoDeleteOfHalf)->Name("undo_delete_half/frames/zell")->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity();

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
