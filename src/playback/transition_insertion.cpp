#include "playback/transition_insertion.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>

#include "document/gif_import.h"
#include "document/screen_composer.h"
#include "document/still_image.h"
#include "document/temporary_file.h"
#include "image/bmp_file.h"
#include "image/dib.h"
#include "image/raster_image.h"
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
    if (asBmp) {
        const std::vector<uint8_t> bmp = makeBmpFile(picture);
        if (bmp.empty() || !workDirectory.writeNewWorkFile("bmp", bmp, path))
            return false;
        file = {path, 0};
        return true;
    }
    ByteBuffer gif;
    if (!convertToGif(picture, gif, true) || !workDirectory.writeNewWorkFile("gif", gif.bytes(), path))
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

// Whether what a frame leaves on the screen depends on what was there before
// it: it leaves part of the screen uncovered, shows it through a transparent
// colour that one of its on-screen pixels uses, or puts it back afterwards.
// A frame that cannot be read counts as depending on it.
bool dependsOnScreenBeneath(const Document& document, int index)
{
    const Frame* frame = document.frames.frameAt(index);
    if (!frame)
        return false;
    RasterImage picture;
    DibHeader h;
    if (frame->disposal == 3 || !loadFramePicture(document, index, picture) || !checkDib(picture.image.bytes(), &h))
        return true;
    const uint32_t width = document.settings.screenWidth, height = document.settings.screenHeight;
    if (frame->left != 0 || frame->top != 0 || uint32_t(h.width) < width || h.absHeight() < height)
        return true;
    // An index beyond the table marks no pixel: the frame is drawn opaque.
    if (frame->transparentIndex == kNoIndex || h.bitCount != 8 || frame->transparentIndex >= dibColorCount(h))
        return false;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = picture.image.data() + dibRowOffset(h, y);
        if (std::find(row, row + width, uint8_t(frame->transparentIndex)) != row + width)
            return true;
    }
    return false;
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
    // The frame after the transition was made to be drawn over the screen its
    // predecessor left. When that screen shows through it or comes back after
    // it, the transition's pictures must put it back after themselves;
    // otherwise they may stay.
    const int count = document.frames.count();
    const uint8_t disposal = dependsOnScreenBeneath(document, current + 1 < count ? current + 1 : 0) ? 3 : 1;
    int inserted = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        std::unique_ptr<Frame> frame;
        try {
            frame = std::make_unique<Frame>();
            frame->workFile = WorkFile::adopt(files[i].path);
            frame->name = transitionFrameName(document, current, int(i) + 1);
        } catch (const std::bad_alloc&) {
            if (!frame || frame->workFile.empty())
                std::remove(files[i].path.c_str());
            continue; // the frame, if made, deletes the file itself
        }
        frame->width = document.settings.screenWidth;
        frame->height = document.settings.screenHeight;
        frame->delay = delay;
        frame->colorCount = files[i].colorCount;
        frame->transparentIndex = 0xFFFF;
        frame->disposal = disposal;
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
