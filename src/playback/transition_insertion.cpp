#include "playback/transition_insertion.h"

#include <cstdio>
#include <memory>
#include <new>

#include "document/gif_import.h"
#include "document/screen_composer.h"
#include "document/still_image.h"
#include "document/temporary_file.h"
#include "image/bmp_file.h"
#include "image/dib.h"
#include "playback/transition_run.h"

namespace zell {

namespace {

// Entries of the global table of a stream made by convertToGif.
uint16_t gifTableSize(std::span<const uint8_t> gif)
{
    if (gif.size() < 13 || !(gif[10] & 0x80))
        return 0;
    return uint16_t(2u << (gif[10] & 7));
}

bool writePicture(std::span<const uint8_t> picture, bool asBmp, WorkDirectory& workDirectory, GeneratedFile& file)
{
    std::string path;
    if (!workDirectory.newWorkFileName(asBmp ? "bmp" : "gif", path))
        return false;
    if (asBmp) {
        const std::vector<uint8_t> bmp = makeBmpFile(picture);
        if (bmp.empty() || !writeNewFile(path, bmp))
            return false;
        file = {path, 0};
        return true;
    }
    ByteBuffer gif;
    if (!convertToGif(picture, gif, true) || !writeNewFile(path, gif.bytes()))
        return false;
    file = {path, gifTableSize(gif.bytes())};
    return true;
}

void deleteFiles(std::vector<GeneratedFile>& files)
{
    for (const GeneratedFile& file : files)
        std::remove(file.path.c_str());
    files.clear();
}

// Appends to `made`, whose room the caller has reserved, so that no file is
// ever written without being recorded for clean-up.
bool writeAll(Transition& transition, std::span<const uint8_t> source, std::span<const uint8_t> destination,
              uint32_t steps, bool forPreview, WorkDirectory& workDirectory, std::vector<GeneratedFile>& made,
              Progress* progress)
{
    GeneratedFile file;
    if (forPreview) {
        if (!writePicture(source, true, workDirectory, file))
            return false;
        made.push_back(file);
    }
    const bool ran = runTransition(transition, source, destination, steps,
                                   [&](uint32_t step, const ByteBuffer& picture) {
                                       if (stopRequested(progress)
                                           || !writePicture(picture.bytes(), forPreview, workDirectory, file))
                                           return false;
                                       made.push_back(file);
                                       reportProgress(progress, int64_t(step) + 1, steps);
                                       return true;
                                   });
    if (!ran || !forPreview)
        return ran;
    if (!writePicture(destination, true, workDirectory, file))
        return false;
    made.push_back(file);
    return true;
}

} // namespace

bool composeScreens(const Document& document, int current, TransitionScreens& out)
{
    const int count = document.frames.count();
    if (current < 0 || current >= count)
        return false;
    ScreenComposer composer(document);
    for (int i = 0; i <= current; ++i) {
        if (!composer.composeNext())
            return false;
    }
    TransitionScreens screens;
    // The composer draws the next frame into a fresh display canvas, so the
    // source can be taken without a copy.
    screens.source.swap(composer.canvas().displayCanvas);
    if (count >= 2) {
        if (!composer.composeFrame(current + 1 < count ? current + 1 : 0))
            return false;
        screens.next.swap(composer.canvas().displayCanvas);
    }
    out.source.swap(screens.source);
    out.next.swap(screens.next);
    return true;
}

std::span<const uint8_t> transitionDestination(const TransitionScreens& screens, bool toColor, uint32_t color,
                                               ByteBuffer& solid)
{
    if (!toColor)
        return screens.next.bytes();
    DibHeader h;
    if (!checkDib(screens.source.bytes(), &h) || !createSolidImage(solid, uint32_t(h.width), h.absHeight(), color))
        return {};
    return solid.bytes();
}

bool generateTransition(Transition& transition, std::span<const uint8_t> source,
                        std::span<const uint8_t> destination, uint32_t steps, bool forPreview,
                        WorkDirectory& workDirectory, std::vector<GeneratedFile>& files, Progress* progress)
{
    files.clear();
    if (steps == 0 || steps > transition.maxSteps)
        return false;
    std::vector<GeneratedFile> made;
    try {
        made.reserve(size_t(steps) + 2);
        if (!writeAll(transition, source, destination, steps, forPreview, workDirectory, made, progress)
            || stopRequested(progress)) {
            deleteFiles(made);
            return false;
        }
    } catch (const std::bad_alloc&) {
        deleteFiles(made);
        return false;
    }
    files.swap(made);
    return true;
}

std::string transitionFrameName(const Document& document, int current, int step)
{
    const Frame* frame = document.frames.frameAt(current < 0 ? 0 : current);
    const std::string base = frame ? frame->name + " >>" : std::string("unknown >>");
    return " " + frameName(base, step);
}

int insertTransitionFrames(Document& document, int current, std::vector<GeneratedFile>& files, uint16_t delay)
{
    int inserted = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        std::unique_ptr<Frame> frame;
        try {
            frame = std::make_unique<Frame>();
            frame->workFilePath = files[i].path;
            frame->name = transitionFrameName(document, current, int(i) + 1);
        } catch (const std::bad_alloc&) {
            if (!frame || frame->workFilePath.empty())
                std::remove(files[i].path.c_str());
            continue; // the frame, if made, deletes the file itself
        }
        frame->width = document.settings.screenWidth;
        frame->height = document.settings.screenHeight;
        frame->delay = delay;
        frame->colorCount = files[i].colorCount;
        frame->transparentIndex = 0xFFFF;
        frame->disposal = 1;
        frame->useLocalColorTable = 1;
        // Counting the frames placed keeps the run together when one is dropped.
        if (document.frames.insert(current + 1 + inserted, frame) >= 0)
            ++inserted;
    }
    files.clear();
    if (inserted > 0)
        document.changed(kFramesChanged);
    return inserted;
}

bool insertTransition(Document& document, int current, Transition& transition, const TransitionRequest& request,
                      TransitionError* error, Progress* progress)
{
    TransitionError why = TransitionError::None;
    TransitionScreens screens;
    ByteBuffer solid;
    std::vector<GeneratedFile> files;
    if (!document.frames.frameAt(current))
        why = TransitionError::NoCurrentFrame;
    else if (request.steps == 0 || request.steps > transition.maxSteps)
        why = TransitionError::BadSteps;
    else if (!request.toColor && document.frames.count() < 2)
        why = TransitionError::NoNextFrame; // known before anything is composed
    else if (uint32_t w, h; exceedsPixelLimit(document, w, h))
        why = TransitionError::TooLarge;
    else if (!composeScreens(document, current, screens))
        why = TransitionError::ComposeFailed;
    else {
        const auto destination = transitionDestination(screens, request.toColor, request.color, solid);
        if (destination.empty() || !generateTransition(transition, screens.source.bytes(), destination,
                                                       request.steps, false, document.workDirectory(), files,
                                                       progress))
            why = stopRequested(progress) ? TransitionError::Cancelled : TransitionError::GenerateFailed;
    }
    if (error)
        *error = why;
    if (why != TransitionError::None)
        return false;
    commitStep(progress, [&] { insertTransitionFrames(document, current, files, request.delay); });
    return true;
}

} // namespace zell
