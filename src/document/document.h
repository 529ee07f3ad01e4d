// The one editing state: whole-animation settings with the global colour
// table, and the frames. The GUI shows it, the CLI drives it, every import,
// export, operation and project file works on it.
#pragma once

#include <cstdint>
#include <functional>

#include "document/frame_list.h"
#include "document/gif_settings.h"
#include "document/work_directory.h"
#include "image/mapped_file.h"

namespace zell {

// What an edit changed, so that views refresh only that.
enum DocumentChange : unsigned {
    kFramesChanged = 1,      // frames added, removed, moved or rewritten
    kSettingsChanged = 2,    // screen, looping, comment
    kGlobalTableChanged = 4, // the global table, its use or its background
    kCurrentChanged = 8,     // currentIndex
};

// Why an engine operation failed, for messages; the operations return false
// and leave their outputs as they were.
enum class Failure {
    none,
    cannotRead,      // the file could not be opened or read
    empty,           // the file has no bytes
    fileTooLarge,    // more bytes than zell reads (kMaxReadBytes)
    changed,         // another process changed the file while it was read
    notSupported,    // not a format zell reads
    damaged,         // the format is known but the data are broken
    tooLarge,        // a picture or screen beyond the pixel limit
    noWorkDirectory, // no work directory or work file could be made
    cannotWrite,     // the output or a new work file could not be written
    noFrames,        // nothing to work on
    cancelled,       // the caller stopped the run
    tooManyFrames,   // a clip stretch longer than the frame limit asked for
};

// The failure of reading a whole input file.
inline Failure readFailure(FileReadError error)
{
    switch (error) {
    case FileReadError::none: return Failure::none;
    case FileReadError::empty: return Failure::empty;
    case FileReadError::tooLarge: return Failure::fileTooLarge;
    case FileReadError::changed: return Failure::changed;
    case FileReadError::cannotOpen: break;
    }
    return Failure::cannotRead;
}

class Document {
public:
    explicit Document(WorkDirectory& workDirectory = WorkDirectory::process()) : workDirectory_(&workDirectory) {}
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    GifSettings settings;
    FrameList frames;
    // The frame the user works on; -1 when there is none.
    int currentIndex = -1;

    WorkDirectory& workDirectory() const { return *workDirectory_; }

    // Every engine operation that edits the document reports what it changed
    // here; a view keeps the revision it last showed.
    void changed(unsigned what)
    {
        ++revision_;
        if (onChange)
            onChange(what);
    }
    uint64_t revision() const { return revision_; }
    std::function<void(unsigned what)> onChange;

    // Takes a table as the animation's global table and turns its use on.
    void takeGlobalTable(const ColorTable& table)
    {
        settings.globalColorTable = table;
        settings.useGlobalColorTable = true;
    }

private:
    WorkDirectory* workDirectory_;
    uint64_t revision_ = 0;
};

} // namespace zell
