// Undo history with a long document: 10,000 frames.
//   history/edits: 100 single-attribute edits, each its own step; counters
//     give the bytes the steps hold, the baseline (one record per frame,
//     whatever the number of steps) and the heap growth glibc reports; then
//     the heap growth of one step that moves a frame across all the others.
//   history/undoDelete: the time to undo a delete of 5,000 frames.
//   zell_bench --benchmark_filter='history/'
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "document/document.h"
#include "document/history.h"
#include "image/file_write.h"

namespace {

using namespace zell;

constexpr int kFrames = 10000;

// A document of kFrames frames, each with a small work file of its own.
struct LongDocument {
    LongDocument() : document(work)
    {
        const uint8_t bytes[16] = {'G', 'I', 'F', '8', '9', 'a'};
        for (int i = 0; i < kFrames; ++i) {
            auto frame = std::make_unique<Frame>();
            if (!work.newWorkFileName("gif", frame->workFile) || !writeNewFile(frame->workFile.path(), bytes))
                std::abort();
            frame->name = "frame " + std::to_string(i);
            frame->width = frame->height = 64;
            frame->delay = 10;
            document.frames.insert(i, frame);
        }
    }
    ~LongDocument() { work.cleanUp("*"); }
    WorkDirectory work;
    Document document;
};

void editsOfOneAttribute(benchmark::State& state)
{
    LongDocument doc;
    for (auto _ : state) {
        const size_t heapBefore = mallinfo2().uordblks;
        History history(doc.document, 200);
        const size_t heapWithBaseline = mallinfo2().uordblks;
        for (int i = 0; i < 100; ++i) {
            history.begin("delay");
            doc.document.frames.frameAt((i * 97) % kFrames)->delay = uint16_t(20 + i);
            history.commit();
        }
        const size_t heapAfter = mallinfo2().uordblks;
        state.counters["steps"] = double(history.undoCount());
        state.counters["step_bytes"] = double(history.stepBytes());
        state.counters["baseline_bytes"] = double(history.baselineBytes());
        state.counters["heap_steps_bytes"] = double(heapAfter - heapWithBaseline);
        state.counters["heap_total_bytes"] = double(heapAfter - heapBefore);
        // A move of the first frame to the end: every frame is in the step,
        // as shared records.
        history.begin("move");
        doc.document.frames.move(0, kFrames - 1);
        history.commit();
        state.counters["heap_move_step_bytes"] = double(mallinfo2().uordblks - heapAfter);
        while (history.undo()) {
        }
    }
}
BENCHMARK(editsOfOneAttribute)->Name("history/edits")->Unit(benchmark::kMillisecond)->Iterations(3);

void undoDelete(benchmark::State& state)
{
    LongDocument doc;
    History history(doc.document);
    for (auto _ : state) {
        state.PauseTiming();
        history.begin("delete");
        std::vector<std::unique_ptr<Frame>> none;
        doc.document.frames.replace(2500, 5000, none);
        history.commit();
        state.ResumeTiming();
        history.undo();
        benchmark::DoNotOptimize(doc.document.frames.count());
    }
    state.counters["frames"] = double(doc.document.frames.count());
}
BENCHMARK(undoDelete)->Name("history/undoDelete")->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace
