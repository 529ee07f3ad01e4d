// Every long run reports rising progress and, when stopped at any unit,
// leaves the document, its work files and any target file as they were.
#include "document/progress.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "document/file_import.h"
#include "document/gif_export.h"
#include "document/project_file.h"
#include "operations/optimizer.h"
#include "operations/palette_unifier.h"
#include "playback/builtin_transition.h"
#include "playback/transition_insertion.h"
#include "support/test_document.h"

namespace zell {
namespace {

using test::DocumentBuilder;
using test::readFile;
using test::ScratchDir;
using test::writeFile;

// Records the reports; stops once `stopAfter` reports were heard.
class Recorder : public Progress {
public:
    explicit Recorder(int stopAfter = -1) : stopAfter_(stopAfter) {}
    void report(int64_t done, int64_t total) override { reports.emplace_back(done, total); }
    bool cancelled() override { return stopAfter_ >= 0 && int(reports.size()) >= stopAfter_; }
    std::vector<std::pair<int64_t, int64_t>> reports;

private:
    int stopAfter_;
};

// Six frames of different content on a global table, plus a folder for
// targets and sources holding an old target file, a project file and two
// GIF files to import.
struct Sample {
    DocumentBuilder a;
    ScratchDir files;
    std::string target, project, gifOne, gifTwo;

    explicit Sample(uint8_t frames = 6)
    {
        a.screen(12, 10);
        a.globalTable(test::distinctColors(6));
        for (uint8_t i = 0; i < frames; ++i) {
            std::vector<uint8_t> indices(12 * 10, 0);
            for (size_t p = i; p < indices.size(); p += 7)
                indices[p] = uint8_t(1 + i % 5);
            a.addGlobal(12, 10, indices);
        }
        a.document.currentIndex = 2;
        target = (files.path() / "target.gif").string();
        project = (files.path() / "saved.zll").string();
        gifOne = (files.path() / "one.gif").string();
        gifTwo = (files.path() / "two.gif").string();
        writeFile(target, {'o', 'l', 'd'});
        const GifOutput plain = GifOutput::fromSettings(a.document.settings, 0);
        EXPECT_TRUE(saveProject(a.document, project));
        EXPECT_TRUE(writeAnimatedGif(gifOne, a.document.frames, plain));
        EXPECT_TRUE(writeAnimatedGif(gifTwo, a.document.frames, plain));
    }
};

using Run = std::function<bool(Sample&, Progress*)>;

struct Case {
    const char* name;
    Run run;
};

bool importWith(Sample& s, int mode, Progress* p)
{
    ImportOptions options;
    options.insertMode = mode;
    options.loadGlobalTable = true;
    std::vector<std::string> failed;
    importFiles(s.a.document, {s.gifOne, s.gifTwo}, options, failed, nullptr, nullptr, p);
    return failed.empty() && !stopRequested(p);
}

bool unifyWith(Sample& s, std::vector<int> selected, Progress* p)
{
    UnifyOptions options;
    options.colorCount = 4;
    options.selectedOnly = !selected.empty();
    options.selected = std::move(selected);
    return unify(s.a.document, options, {}, nullptr, p);
}

bool exportWith(Sample& s, uint32_t options, Progress* p)
{
    const GifOutput out = GifOutput::fromSettings(s.a.document.settings, options);
    return writeAnimatedGif(s.target, s.a.document.frames, out, nullptr, p);
}

const std::vector<Case>& cases()
{
    constexpr uint32_t kOptimized = kSaveOptimize | kSaveTransparency;
    static const std::vector<Case> all = {
        {"optimize", [](Sample& s, Progress* p) {
             return optimize(s.a.document, kOptimized | kSaveDropUnchanged, {}, nullptr, p);
         }},
        {"unify", [](Sample& s, Progress* p) { return unifyWith(s, {}, p); }},
        // The frames left out are rewritten too, to keep their colours.
        {"unify some", [](Sample& s, Progress* p) { return unifyWith(s, {1, 4}, p); }},
        {"transition", [](Sample& s, Progress* p) {
             std::vector<std::unique_ptr<Transition>> list;
             if (!appendBuiltinTransitions(list) || list.empty())
                 return false;
             TransitionRequest request;
             request.steps = 5;
             return insertTransition(s.a.document, 2, *list.front(), request, nullptr, p);
         }},
        {"export", [](Sample& s, Progress* p) { return exportWith(s, 0, p); }},
        {"optimised export", [](Sample& s, Progress* p) { return exportWith(s, kOptimized, p); }},
        // Each frame is held back until the next one is known.
        {"optimised export keeping the timing", [](Sample& s, Progress* p) {
             return exportWith(s, kSaveLosslessDefault | kSaveDropUnchanged | kSaveKeepTiming, p);
         }},
        {"save project", [](Sample& s, Progress* p) { return saveProject(s.a.document, s.target, nullptr, p); }},
        {"open project", [](Sample& s, Progress* p) { return openProject(s.a.document, s.project, nullptr, p); }},
        {"import replacing", [](Sample& s, Progress* p) { return importWith(s, kReplaceAll, p); }},
        {"import at current", [](Sample& s, Progress* p) { return importWith(s, kInsertAtCurrent, p); }},
        {"open one GIF", [](Sample& s, Progress* p) {
             bool open = true;
             uint16_t w = 0, h = 0;
             std::string comment;
             return importImageFile(s.a.document, s.gifOne, {}, open, w, h, comment, nullptr, nullptr, p);
         }},
    };
    return all;
}

// Each run once to the end, then stopped after its first, middle and last
// report.
TEST(Progress, ReportsRiseToTheTotalAndAStopAnywhereChangesNothing)
{
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        Recorder recorder;
        {
            Sample s;
            ASSERT_TRUE(c.run(s, &recorder));
        }
        ASSERT_FALSE(recorder.reports.empty());
        const int64_t total = recorder.reports.front().second;
        int64_t last = 0;
        for (const auto& [done, each] : recorder.reports) {
            EXPECT_EQ(each, total);
            EXPECT_GE(done, last);
            last = done;
        }
        EXPECT_EQ(last, total);
        for (const int stopAfter : {0, int(recorder.reports.size()) / 2, int(recorder.reports.size())}) {
            SCOPED_TRACE(stopAfter);
            Sample s;
            const Document& d = s.a.document;
            const test::DocumentState before = test::snapshot(d);
            const GifSettings settings = d.settings;
            const std::vector<std::string> folder = test::namesIn(s.files.path());
            const uint64_t revision = d.revision();
            Recorder stopper(stopAfter);
            EXPECT_FALSE(c.run(s, &stopper));
            EXPECT_EQ(test::snapshot(d), before);
            EXPECT_EQ(d.currentIndex, 2);
            EXPECT_EQ(d.settings.screenWidth, settings.screenWidth);
            EXPECT_EQ(d.settings.comment, settings.comment);
            EXPECT_EQ(d.revision(), revision) << "no change announced";
            EXPECT_EQ(test::namesIn(s.files.path()), folder) << "no temporary left beside the target";
            EXPECT_EQ(readFile(s.target), (std::vector<uint8_t>{'o', 'l', 'd'}));
        }
    }
}

} // namespace
} // namespace zell
